#pragma once

#include "engine/gl/glslstage.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Pixel shaders of versions 1.1 to 1.4 as GLSL stages.
class PixelShader1x {
public:
    // The GLSL stage of a pixel shader of version 1.1 to 1.4 given as its bytecode words; false
    // with the reason in error when the code is malformed or uses what is not offered.
    static bool translate(const std::uint32_t* tokens, std::size_t count, GlslStage& stage,
                          std::string& error);
};
