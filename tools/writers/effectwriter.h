#pragma once

#include "writers/expressionassembler.h"

#include <cstdint>
#include <string>
#include <vector>

// Writes compiled Direct3D 9 effects (.FXO, the binary form that D3DXCreateEffect reads):
// parameters with semantics, default values, annotations and sampler states, shader variables
// whose code lies in the object section, and techniques whose passes set states (render, texture
// stage, sampler, transform, material, light, texture and shader states, each with its index)
// from a constant, from a parameter they name, or from an expression over the parameters, and run
// shaders assembled from text: named shader variables, shaders given in the pass, or none (the
// fixed-function pipeline). D3DX trusts every offset and id in such a file, so the writer checks
// its description and throws rather than write anything D3DX could misread.
class EffectWriter {
public:
    enum class Type { Float, Float4, Float4x4, Texture, Sampler, VertexShader, PixelShader };

    // A named value attached to a parameter, technique or pass.
    struct Annotation {
        enum class Kind { Int, Float, String };
        std::string name;
        Kind kind = Kind::Float;
        std::int32_t intValue = 0;
        float floatValue = 0.0f;
        std::string text;
    };

    // Constant registers (c# for numbers, s# for samplers) from reg on, bound to the parameter of the
    // same name; a matrix takes four.
    struct Binding {
        std::string parameter;
        std::uint32_t reg = 0;
    };

    // Shader assembly (empty: no shader) and the parameters it reads.
    struct Shader {
        std::string assembly;
        std::vector<Binding> bindings;
    };

    // A parameter read into the expression's input registers from c# reg on; a matrix takes four
    // registers, by rows, or by columns (transposed) when byColumns is set.
    struct Input {
        std::string parameter;
        std::uint32_t reg = 0;
        bool byColumns = false;
    };

    // A state's value computed when its pass runs (see ExpressionAssembler).
    struct Expression {
        std::vector<Input> inputs;
        std::vector<double> literals;
        std::vector<ExpressionAssembler::Instruction> instructions;
    };

    // A state by its effect-file name (ZEnable, ColorOp, WorldTransform, LightDiffuse, MinFilter,
    // VertexShader, Texture, ...) and its index (the texture stage, sampler, light or world matrix).
    // Its value is one of: an expression (when it has instructions), the parameter named, numbers
    // (for states that take floats), or value (a Direct3D value; 0 for a shader state: none).
    struct State {
        std::string name;
        std::uint32_t value = 0;
        std::uint32_t index = 0;
        std::vector<float> numbers{};
        std::string parameter{};
        Expression expression{};
    };

    struct Parameter {
        std::string name;
        Type type = Type::Float4;
        std::string semantic; // empty: none
        // Numeric types: empty (all zero) or every component, a matrix row by row.
        std::vector<float> defaults;
        // Samplers: the texture parameter sampled (empty: none) and the other sampler states.
        std::string texture;
        std::vector<State> samplerStates;
        std::vector<Annotation> annotations;
        // Shader variables: the code, written to the object section.
        Shader shader{};
    };

    // A pass: its states, then the shaders written in the pass itself, set after the states. A pass
    // without such shaders sets them with VertexShader and PixelShader states or leaves them be.
    struct Pass {
        std::string name;
        std::vector<State> states;
        Shader vertexShader;
        Shader pixelShader;
        std::vector<Annotation> annotations;
    };

    struct Technique {
        std::string name;
        std::vector<Pass> passes;
        std::vector<Annotation> annotations;
    };

    // Adds a parameter; parameters are written in the order added.
    void addParameter(const Parameter& parameter);
    // Adds a technique; techniques are written in the order added.
    void addTechnique(const Technique& technique);
    // The whole effect file, the same bytes for the same description. Throws std::invalid_argument
    // naming the problem when the description cannot be encoded.
    std::string build() const;
    // Writes the effect to path; false when the file cannot be written. Throws as build does.
    bool write(const std::string& path) const;

private:
    void validate() const;
    const Parameter* findParameter(const std::string& name) const;
    std::string assembleShader(const Shader& shader, bool pixel, const std::string& owner) const;
    std::string assembleExpression(const Expression& expression, std::uint32_t outputs,
                                   const std::string& owner) const;

    std::vector<Parameter> m_parameters;
    std::vector<Technique> m_techniques;
};
