#pragma once

#include "engine/gl/effectfile.h"

#include <mojoshader.h>

#include <cstdint>
#include <string>
#include <vector>

// An effect file as MojoShader's effect parser reads it, each shader parsed from its bytecode
// (profile "bytecode", whose output is the bytecode itself): a reader independent of ours.
class ParsedEffect {
public:
    explicit ParsedEffect(const std::string& bytes);
    ~ParsedEffect() { MOJOSHADER_deleteEffect(m_effect); }
    ParsedEffect(const ParsedEffect&) = delete;
    ParsedEffect& operator=(const ParsedEffect&) = delete;

    const MOJOSHADER_effect& effect() const { return *m_effect; }
    // The first error, or empty when the file parsed cleanly.
    std::string error() const;
    // The top-level parameter of that name, or null.
    const MOJOSHADER_effectParam* parameter(const std::string& name) const;
    // The state of that type in a pass, or null.
    static const MOJOSHADER_effectState* state(const MOJOSHADER_effectPass& pass,
                                               MOJOSHADER_renderStateType type);
    // The parsed shader that a VertexShader or PixelShader state refers to.
    const MOJOSHADER_parseData& shader(const MOJOSHADER_effectState& state) const;
    // The name of the parameter that a sampler's Texture state refers to.
    std::string samplerTexture(const MOJOSHADER_effectParam& sampler) const;

private:
    const MOJOSHADER_effect* m_effect;
};

// The file as the native renderer's own reader reads it, for the shapes MojoShader does not know;
// the test fails when the reader refuses it.
EffectFile readEffectFile(const std::string& bytes);
// Bytes as the words they hold.
std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes);
