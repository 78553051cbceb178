#pragma once

#include <string>
#include <vector>

// One stage of a program the native device draws with: GLSL 1.20 source and what the device binds
// to it. Whatever made a stage (the shader translator, the 1.x pixel shader translator, the
// fixed-function generator), it keeps the same interface, so that any vertex stage links with any
// pixel stage:
//   vertex stage   outputs gl_Position in Direct3D's clip space (the device appends its own last
//                  step: half a pixel and depth), gl_FrontColor (oD0), gl_FrontSecondaryColor
//                  (oD1) and gl_TexCoord[n] (oTn);
//   pixel stage    reads gl_Color (v0), gl_SecondaryColor (v1) and gl_TexCoord[n] (tn), writes
//                  gl_FragColor.
struct GlslStage {
    // Register files of Direct3D 9 shader constants.
    enum class Registers { Bool, Int4, Float4 };

    // A run of constant registers uploaded into elements of a uniform array (bool, ivec4 or vec4):
    // registers firstRegister .. firstRegister + count - 1 go to uniform[firstElement ...].
    struct Constants {
        Registers set;
        unsigned firstRegister;
        unsigned count;
        std::string uniform;
        unsigned firstElement;
    };

    // A sampler2D uniform drawing from a texture stage's texture and sampler states.
    struct Sampler {
        std::string uniform;
        unsigned stage;
    };

    // A vertex attribute fed from the declaration's element of that usage (D3DDECLUSAGE) and index;
    // an attribute the declaration lacks reads (0, 0, 0, 1).
    struct Attribute {
        std::string name;
        unsigned usage;
        unsigned usageIndex;
    };

    std::string source;
    std::vector<Constants> constants;
    std::vector<Sampler> samplers;
    std::vector<Attribute> attributes; // vertex stages only
};
