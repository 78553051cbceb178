#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A compiled Direct3D 9 effect file (the fx_2_0 binary form) read into its parameters,
// techniques, passes, states and objects. Every offset, count and size is checked against the
// file before it is followed, and every name and piece of code against what it belongs to.
class EffectFile {
public:
    struct Type {
        std::uint32_t type = 0;  // 3 float, 5 texture, 12 sampler2D, 15 pixel shader, ...
        std::uint32_t klass = 0; // 0 scalar, 1 vector, 2 and 3 matrix, 4 object, 5 struct
        std::string name;
        std::string semantic; // empty when none
        std::uint32_t elements = 0;
        std::uint32_t rows = 0;
        std::uint32_t columns = 0;
        std::vector<Type> members;
    };

    // Where a state's value comes from when its pass runs.
    enum class Source {
        Constant,      // value, as the file gives it
        Expression,    // code, an expression over the parameters
        Parameter,     // the current value of the parameter named
        ArraySelector, // the element of the parameter named that code's expression selects
    };

    struct State {
        std::uint32_t operation = 0;
        std::uint32_t index = 0;
        Type type;
        std::vector<std::uint32_t> value; // numbers' bits, or object ids
        std::vector<State> sampler;       // the states of a sampler given in place
        Source source = Source::Constant;
        std::string parameter;
        std::vector<std::uint8_t> code;
    };

    struct Annotation {
        Type type;
        std::vector<std::uint32_t> value;
    };

    struct Parameter {
        Type type;
        std::vector<std::uint32_t> value;         // numbers' bits or object ids; empty for samplers
        std::vector<std::vector<State>> samplers; // a sampler's states, per element
        std::vector<Annotation> annotations;
    };

    struct Pass {
        std::string name;
        std::vector<Annotation> annotations;
        std::vector<State> states;
    };

    struct Technique {
        std::string name;
        std::vector<Annotation> annotations;
        std::vector<Pass> passes;
    };

    std::uint32_t objectCount = 0;
    std::vector<Parameter> parameters;
    std::vector<Technique> techniques;
    // The bytes of objects by id: strings, and the code of shaders.
    std::map<std::uint32_t, std::vector<std::uint8_t>> objects;

    // Reads bytes into file; false with the reason in error when the layout does not hold.
    static bool read(const std::uint8_t* bytes, std::size_t size, EffectFile& file, std::string& error);
    // The index of the top-level parameter of that name, or -1.
    int parameterNamed(const std::string& name) const;
    // The names an effect's source gives a type ("float", "texture2D", "sampler2D", "vertexshader")
    // and D3DX a class ("scalar", "matrix_rows", "object"); none past the known ones.
    static const char* typeName(std::uint32_t type);
    static const char* className(std::uint32_t klass);
};
