#pragma once

#include "engine/gl/fixedfunctionstate.h"
#include "engine/gl/glslstage.h"

#include <string>

// Direct3D 9's fixed-function pipeline as GLSL stages.
class FixedFunctionShaders {
public:
    // The vertex stage for what state asks of transform and lighting.
    static GlslStage vertexStage(const FixedFunctionState& state);
    // The pixel stage for what state asks of the texture stages.
    static GlslStage pixelStage(const FixedFunctionState& state);
    // Texts that differ exactly when the generated sources differ.
    static std::string vertexKey(const FixedFunctionState& state);
    static std::string pixelKey(const FixedFunctionState& state);
    // Sets the uniforms the stages read on a linked program that is in use.
    static void setUniforms(unsigned program, const FixedFunctionState& state);
};
