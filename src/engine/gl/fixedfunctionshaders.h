#pragma once

#include "engine/gl/fixedfunctionstate.h"
#include "engine/gl/glslstage.h"

#include <string>

// Direct3D 9's fixed-function pipeline as GLSL stages, drawing what Direct3D 9 draws under Wine 8:
// transform and vertex lighting in the vertex stage, the texture stages in the pixel stage. The
// sources depend only on what the state asks for (operations, light types, material sources, which
// attributes the declaration has); values (matrices, colours, lights) are uniforms named "ffp_...",
// so that they change without a new program. Samplers are "ffp_sampler_<stage>"; binding them to
// their texture units is the device's, as for any stage.
class FixedFunctionShaders {
public:
    // The vertex stage for what state asks of transform and lighting; std::runtime_error for an
    // enabled light of no known type.
    static GlslStage vertexStage(const FixedFunctionState& state);
    // The pixel stage for what state asks of the texture stages; std::runtime_error for an operation
    // or argument it cannot draw (bump mapping, values Direct3D does not define).
    static GlslStage pixelStage(const FixedFunctionState& state);
    // Texts that are equal exactly when the generated vertex sources are, for caching stages.
    static std::string vertexKey(const FixedFunctionState& state);
    // Texts that are equal exactly when the generated pixel sources are, for caching stages.
    static std::string pixelKey(const FixedFunctionState& state);
    // Sets the "ffp_" uniforms of both stages on a linked program that is in use; uniforms the
    // program lacks are skipped, so a program with only one fixed-function stage takes it too.
    static void setUniforms(unsigned program, const FixedFunctionState& state);
};
