#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes compiled Direct3D 9 effects (.FXO, the binary form that D3DXCreateEffect reads):
// parameters with semantics, default values, annotations and sampler states, and techniques whose
// passes set render states and run a vertex and a pixel shader assembled from text. D3DX trusts
// every offset and id in such a file, so the writer checks its description and throws rather than
// write anything D3DX could misread.
class EffectWriter {
public:
    enum class Type { Float, Float4, Float4x4, Texture, Sampler };

    // A named value attached to a parameter, technique or pass.
    struct Annotation {
        enum class Kind { Int, Float, String };
        std::string name;
        Kind kind = Kind::Float;
        std::int32_t intValue = 0;
        float floatValue = 0.0f;
        std::string text;
    };

    // A render or sampler state by its effect-file name (ZEnable, SrcBlend, MinFilter, ...) and its
    // Direct3D value.
    struct State {
        std::string name;
        std::uint32_t value = 0;
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

    std::vector<Parameter> m_parameters;
    std::vector<Technique> m_techniques;
};
