#include "engine/gl/glshader.h"

#include "engine/gl/gldevice.h"
#include "engine/gl/pixelshader1x.h"
#include "main/hextext.h"

#include <mojoshader.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace {

constexpr std::uint32_t kVertexKind = 0xFFFE;
constexpr std::uint32_t kPixelKind = 0xFFFF;
constexpr std::uint32_t kEndToken = 0x0000FFFF;
constexpr std::uint32_t kCommentToken = 0xFFFE;
constexpr std::uint32_t kOpcodeDcl = 31;
constexpr std::uint32_t kRegisterInput = 1;
constexpr std::uint32_t kUsageTexcoord = 5;
constexpr std::uint32_t kUsageColor = 10;
constexpr std::uint32_t kUsageFog = 11;

// The usage and index that a 3.0 pixel shader declares for each input register, from its dcl
// instructions (opcode, usage token, register token; lengths in bits 24 to 27 of the opcode).
std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> declaredInputs(const std::uint32_t* tokens,
                                                                                std::size_t count) {
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> inputs;
    std::size_t at = 1;
    while (at < count && tokens[at] != kEndToken) {
        const std::uint32_t token = tokens[at];
        if ((token & 0xFFFF) == kCommentToken) {
            at += 1 + (token >> 16);
            continue;
        }
        const std::size_t length = (token >> 24) & 0xF;
        if ((token & 0xFFFF) == kOpcodeDcl && length == 2 && at + 2 < count) {
            const std::uint32_t usage = tokens[at + 1];
            const std::uint32_t reg = tokens[at + 2];
            const std::uint32_t type = ((reg >> 28) & 0x7) | ((reg >> 8) & 0x18);
            if (type == kRegisterInput) {
                inputs[reg & 0x7FF] = {usage & 0x1F, (usage >> 16) & 0xF};
            }
        }
        at += 1 + length;
    }
    return inputs;
}

// MojoShader names every input of a 3.0 pixel shader alike; they become the built-in varyings
// that vertex stages write.
bool fixPixelInputs(const std::uint32_t* tokens, std::size_t count, std::string& source, std::string& error) {
    const auto inputs = declaredInputs(tokens, count);
    std::istringstream in(source);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("varying vec4 io_", 0) == 0) {
            continue;
        }
        unsigned reg = 0;
        char name[64] = {};
        if (std::sscanf(line.c_str(), "#define ps_v%u %63s", &reg, name) == 2 &&
            std::string(name).rfind("io_", 0) == 0) {
            const auto found = inputs.find(reg);
            if (found == inputs.end()) {
                error = "a pixel shader input without its declaration";
                return false;
            }
            const auto [usage, index] = found->second;
            std::string builtin;
            if (usage == kUsageTexcoord && index < 8) {
                builtin = "gl_TexCoord[" + std::to_string(index) + "]";
            } else if (usage == kUsageColor && index < 2) {
                builtin = index == 0 ? "gl_Color" : "gl_SecondaryColor";
            } else if (usage == kUsageFog) {
                builtin = "vec4(gl_FogFragCoord)";
            } else {
                error = "a pixel shader input of usage " + std::to_string(usage) + " is not offered";
                return false;
            }
            line = "#define ps_v" + std::to_string(reg) + " " + builtin;
        }
        out += line;
        out += '\n';
    }
    source = out;
    return true;
}

// The stage of a shader MojoShader translates: its uniform arrays take the registers in the order
// it lists them, each as many slots as it has registers; its def constants are part of the source.
bool translated(const std::uint32_t* tokens, std::size_t count, bool vertex, GlslStage& stage,
                std::string& error) {
    const MOJOSHADER_parseData* parsed =
        MOJOSHADER_parse(MOJOSHADER_PROFILE_GLSL120, nullptr, reinterpret_cast<const unsigned char*>(tokens),
                         static_cast<unsigned>(count * 4), nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr);
    if (parsed->error_count > 0) {
        error = std::string("the shader cannot be translated: ") +
                (parsed->errors[0].error != nullptr ? parsed->errors[0].error : "unknown error");
        MOJOSHADER_freeParseData(parsed);
        return false;
    }
    const std::string prefix = vertex ? "vs_" : "ps_";
    stage.source = parsed->output != nullptr ? parsed->output : "";
    unsigned slots[3] = {};
    for (int i = 0; i < parsed->uniform_count; ++i) {
        const MOJOSHADER_uniform& u = parsed->uniforms[i];
        if (u.constant != 0) {
            continue;
        }
        const unsigned registers = u.array_count > 0 ? static_cast<unsigned>(u.array_count) : 1;
        GlslStage::Constants c;
        switch (u.type) {
        case MOJOSHADER_UNIFORM_FLOAT:
            c = {GlslStage::Registers::Float4, static_cast<unsigned>(u.index), registers,
                 prefix + "uniforms_vec4", slots[0]};
            slots[0] += registers;
            break;
        case MOJOSHADER_UNIFORM_INT:
            c = {GlslStage::Registers::Int4, static_cast<unsigned>(u.index), registers,
                 prefix + "uniforms_ivec4", slots[1]};
            slots[1] += registers;
            break;
        default:
            c = {GlslStage::Registers::Bool, static_cast<unsigned>(u.index), registers,
                 prefix + "uniforms_bool", slots[2]};
            slots[2] += registers;
            break;
        }
        stage.constants.push_back(c);
    }
    for (int i = 0; i < parsed->sampler_count; ++i) {
        stage.samplers.push_back(
            {parsed->samplers[i].name, static_cast<unsigned>(parsed->samplers[i].index)});
    }
    if (vertex) {
        for (int i = 0; i < parsed->attribute_count; ++i) {
            const MOJOSHADER_attribute& a = parsed->attributes[i];
            stage.attributes.push_back(
                {a.name, static_cast<unsigned>(a.usage), static_cast<unsigned>(a.index)});
        }
    }
    MOJOSHADER_freeParseData(parsed);
    return true;
}

} // namespace

GlShader::GlShader(GlDevice* device, bool vertex, std::uint32_t version, GlslStage stage)
    : m_device(device), m_vertex(vertex), m_version(version), m_stage(std::move(stage)),
      m_id(device->newStageId()) {}

GlShader::~GlShader() {
    m_device->forgetStage(m_id);
}

std::unique_ptr<GlShader> GlShader::create(GlDevice* device, const std::uint32_t* tokens, std::size_t count,
                                           std::string& error) {
    if (tokens == nullptr || count < 2) {
        error = "a shader without code";
        return nullptr;
    }
    const std::uint32_t kind = tokens[0] >> 16;
    const std::uint32_t version = tokens[0] & 0xFFFF;
    if (kind != kVertexKind && kind != kPixelKind) {
        error = "shader code of unknown kind " + hexText(tokens[0]);
        return nullptr;
    }
    const bool vertex = kind == kVertexKind;
    GlslStage stage;
    if (!vertex && version < 0x0200) {
        if (!PixelShader1x::translate(tokens, count, stage, error)) {
            return nullptr;
        }
    } else {
        if (!translated(tokens, count, vertex, stage, error)) {
            return nullptr;
        }
        if (!vertex && version >= 0x0300 && !fixPixelInputs(tokens, count, stage.source, error)) {
            return nullptr;
        }
    }
    return std::unique_ptr<GlShader>(new GlShader(device, vertex, version, std::move(stage)));
}
