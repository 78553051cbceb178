#include "parsedeffect.h"

#include <gtest/gtest.h>

#include <cstring>

ParsedEffect::ParsedEffect(const std::string& bytes) {
    // Only compiling and deleting shaders is needed to parse; nothing is drawn.
    MOJOSHADER_effectShaderContext context{};
    context.compileShader = [](const char* mainfn, const unsigned char* tokens, unsigned int size,
                               const MOJOSHADER_swizzle* swizzles, unsigned int swizzleCount,
                               const MOJOSHADER_samplerMap* samplers, unsigned int samplerCount) -> void* {
        return const_cast<MOJOSHADER_parseData*>(MOJOSHADER_parse("bytecode", mainfn, tokens, size, swizzles,
                                                                  swizzleCount, samplers, samplerCount,
                                                                  nullptr, nullptr, nullptr));
    };
    context.deleteShader = [](void* shader) {
        MOJOSHADER_freeParseData(static_cast<MOJOSHADER_parseData*>(shader));
    };
    context.getParseData = [](void* shader) { return static_cast<MOJOSHADER_parseData*>(shader); };
    m_effect =
        MOJOSHADER_compileEffect(reinterpret_cast<const unsigned char*>(bytes.data()),
                                 static_cast<unsigned int>(bytes.size()), nullptr, 0, nullptr, 0, &context);
}

std::string ParsedEffect::error() const {
    if (m_effect->error_count == 0) {
        return "";
    }
    return m_effect->errors[0].error ? m_effect->errors[0].error : "error";
}

const MOJOSHADER_effectParam* ParsedEffect::parameter(const std::string& name) const {
    for (int i = 0; i < m_effect->param_count; ++i) {
        const char* n = m_effect->params[i].value.name;
        if (n != nullptr && name == n) {
            return &m_effect->params[i];
        }
    }
    return nullptr;
}

const MOJOSHADER_effectState* ParsedEffect::state(const MOJOSHADER_effectPass& pass,
                                                  MOJOSHADER_renderStateType type) {
    for (unsigned int i = 0; i < pass.state_count; ++i) {
        if (pass.states[i].type == type) {
            return &pass.states[i];
        }
    }
    return nullptr;
}

const MOJOSHADER_parseData& ParsedEffect::shader(const MOJOSHADER_effectState& state) const {
    return *static_cast<const MOJOSHADER_parseData*>(m_effect->objects[state.value.valuesI[0]].shader.shader);
}

std::string ParsedEffect::samplerTexture(const MOJOSHADER_effectParam& sampler) const {
    for (unsigned int i = 0; i < sampler.value.value_count; ++i) {
        const MOJOSHADER_effectSamplerState& s = sampler.value.valuesSS[i];
        if (s.type == MOJOSHADER_SAMP_TEXTURE) {
            const char* name = m_effect->objects[s.value.valuesI[0]].mapping.name;
            return name ? name : "";
        }
    }
    return "";
}

EffectFile readEffectFile(const std::string& bytes) {
    EffectFile file;
    std::string error;
    EXPECT_TRUE(
        EffectFile::read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file, error))
        << error;
    return file;
}

std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> w(bytes.size() / 4);
    std::memcpy(w.data(), bytes.data(), w.size() * 4);
    return w;
}
