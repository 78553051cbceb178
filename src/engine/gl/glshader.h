#pragma once

#include "engine/gl/glslstage.h"

#include <cstdint>
#include <memory>
#include <string>

class GlDevice;

// A vertex or pixel shader of the native device, made from Direct3D 9 shader bytecode: the GLSL
// stage it runs as. Pixel shaders 1.x go through our own translator, everything else through
// MojoShader's. The device links stages into programs by their ids, and is told when one goes.
class GlShader {
public:
    // The shader of the bytecode's words on device; none, with the reason in error, when the code
    // is no shader or cannot be translated.
    static std::unique_ptr<GlShader> create(GlDevice* device, const std::uint32_t* tokens, std::size_t count,
                                            std::string& error);
    ~GlShader();
    GlShader(const GlShader&) = delete;
    GlShader& operator=(const GlShader&) = delete;

    // Whether it is a vertex shader (else a pixel shader).
    bool isVertex() const { return m_vertex; }
    // The version token's low half: 0x0101 for 1.1, 0x0200 for 2.0, ...
    std::uint32_t version() const { return m_version; }
    // The stage it runs as.
    const GlslStage& stage() const { return m_stage; }
    // A number no other stage of the device has.
    std::uint64_t id() const { return m_id; }

private:
    GlShader(GlDevice* device, bool vertex, std::uint32_t version, GlslStage stage);

    GlDevice* m_device;
    bool m_vertex;
    std::uint32_t m_version;
    GlslStage m_stage;
    std::uint64_t m_id;
};
