#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A compiled Direct3D 9 effect file (the fx_2_0 binary form) read into its parameters,
// techniques, passes, states and attached objects. Every offset, count and size is checked
// against the file before it is followed, and every type, name and piece of shader code against
// what it belongs to, so that only files whose layout holds are handed to a shader library that
// trusts them.
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

    struct State {
        std::uint32_t operation = 0;
        std::uint32_t index = 0;
        Type type;
        std::vector<std::uint32_t> value; // the value's words (numbers' bits, or object ids)
    };

    struct Parameter {
        Type type;
        std::vector<std::uint32_t> value; // numbers' bits or object ids; empty for samplers
        std::vector<State> samplerStates;
        std::uint32_t annotations = 0;
    };

    struct Pass {
        std::string name;
        std::vector<State> states;
    };

    struct Technique {
        std::string name;
        std::vector<Pass> passes;
    };

    struct Resource {
        std::uint32_t technique = 0; // 0xFFFFFFFF: index names a parameter
        std::uint32_t index = 0;
        std::uint32_t element = 0;
        std::uint32_t state = 0;
        std::uint32_t usage = 0; // 0 the object itself, 1 the name of a parameter
        std::vector<std::uint8_t> data;
    };

    std::uint32_t objectCount = 0;
    std::vector<Parameter> parameters;
    std::vector<Technique> techniques;
    std::vector<Resource> resources;

    // Reads bytes into file; false with the reason in error when the layout does not hold.
    static bool read(const std::uint8_t* bytes, std::size_t size, EffectFile& file, std::string& error);
};
