#pragma once

#include <cstdint>

// The table of states a compiled effect's passes and samplers set: an operation number of the
// file names a kind of state, the Direct3D 9 number it sets, and the name D3DX gives it.
class EffectStates {
public:
    enum class Kind {
        RenderState,  // code: D3DRENDERSTATETYPE
        TextureStage, // code: D3DTEXTURESTAGESTATETYPE; the state's index is the stage
        NPatchMode,
        Fvf,
        Transform,   // code: D3DTRANSFORMSTATETYPE, plus the index for world matrices
        Material,    // code: 0 diffuse, 1 ambient, 2 specular, 3 emissive, 4 power
        Light,       // code: a D3DLIGHT9 member, 0 type .. 12 phi; the index is the light
        LightEnable, // the index is the light
        VertexShader,
        PixelShader,
        ShaderConstant, // code: 0 vs float, 1 vs bool, 2 vs int, 3 ps float, 4 ps bool, 5 ps int
        Texture,        // the index (or the sampler's register) is the stage
        SamplerState,   // code: D3DSAMPLERSTATETYPE
        Sampler,        // a whole sampler; the index is the stage
    };

    struct Entry {
        Kind kind;
        std::uint32_t code;
        const char* name;
    };

    // The entry of an operation number; none past the table.
    static const Entry* find(std::uint32_t operation);
    // Number of operations in the table.
    static std::uint32_t count();
};
