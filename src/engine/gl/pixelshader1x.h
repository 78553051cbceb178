#pragma once

#include "engine/gl/glslstage.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Translates the bytecode of a Direct3D pixel shader of version 1.1 to 1.4 into a GLSL 1.20 pixel
// stage that computes what Direct3D 9 under Wine computes: the texture, texture-addressing and
// arithmetic instructions with their modifiers, float constants clamped to [-1, 1] (from the
// uniform ps_c or from the shader's own def), r0 as the colour written.
class PixelShader1x {
public:
    // The GLSL stage of a pixel shader of version 1.1 to 1.4 given as its bytecode words; false
    // with the reason in error when the code is malformed or uses what is not offered.
    static bool translate(const std::uint32_t* tokens, std::size_t count, GlslStage& stage,
                          std::string& error);
};
