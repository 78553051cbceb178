#include "engine/gl/pixelshader1x.h"

bool PixelShader1x::translate(const std::uint32_t*, std::size_t, GlslStage&, std::string& error) {
    error = "pixel shaders 1.x are not offered yet";
    return false;
}
