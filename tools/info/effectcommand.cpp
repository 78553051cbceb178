#include "info/effectcommand.h"

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/constanttable.h"
#include "engine/gl/effectfile.h"
#include "engine/gl/effectstates.h"
#include "info/jsonwriter.h"
#include "info/shadercode.h"
#include "main/badfileexception.h"
#ifndef _WIN32
#include "info/nativeeffectcheck.h"
#endif

#include <algorithm>
#include <cstring>
#include <optional>

using namespace d3d;

namespace {

std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> w(bytes.size() / 4);
    for (std::size_t i = 0; i < w.size(); ++i) {
        w[i] = std::uint32_t{bytes[i * 4]} | std::uint32_t{bytes[i * 4 + 1]} << 8 |
               std::uint32_t{bytes[i * 4 + 2]} << 16 | std::uint32_t{bytes[i * 4 + 3]} << 24;
    }
    return w;
}

class Describer {
public:
    Describer(const EffectFile& file, JsonWriter& json) : m_file(file), m_json(json) {}

    void type(const EffectFile::Type& t) {
        const char* klass = EffectFile::className(t.klass);
        const char* type = EffectFile::typeName(t.type);
        m_json.key("class").value(klass != nullptr ? klass : "unknown");
        m_json.key("type").value(type != nullptr ? type : "unknown");
        m_json.key("rows").value(std::uint64_t{t.rows}).key("columns").value(std::uint64_t{t.columns});
        m_json.key("elements").value(std::uint64_t{t.elements});
    }

    // Numbers as their type reads them, one or an array; a string object as its text.
    void value(const EffectFile::Type& t, const std::vector<std::uint32_t>& v) {
        if (t.klass == D3DXPC_OBJECT) {
            const auto text =
                t.type == D3DXPT_STRING && v.size() == 1 ? m_file.objects.find(v[0]) : m_file.objects.end();
            if (text != m_file.objects.end()) {
                const std::vector<std::uint8_t>& bytes = text->second;
                m_json.value(std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0)));
            } else {
                m_json.null();
            }
            return;
        }
        if (v.size() != 1) {
            m_json.beginArray();
        }
        for (const std::uint32_t word : v) {
            if (t.type == D3DXPT_BOOL) {
                m_json.value(word != 0);
            } else if (t.type == D3DXPT_INT) {
                m_json.value(std::int64_t{static_cast<std::int32_t>(word)});
            } else {
                float f;
                std::memcpy(&f, &word, sizeof f);
                m_json.value(f);
            }
        }
        if (v.size() != 1) {
            m_json.endArray();
        }
    }

    void annotations(const std::vector<EffectFile::Annotation>& list) {
        m_json.key("annotations").beginArray();
        for (const EffectFile::Annotation& a : list) {
            m_json.beginObject().key("name").value(a.type.name);
            type(a.type);
            m_json.key("value");
            value(a.type, a.value);
            m_json.endObject();
        }
        m_json.endArray();
    }

    void parameter(const EffectFile::Parameter& p) {
        m_json.beginObject().key("name").value(p.type.name).key("semantic");
        if (p.type.semantic.empty()) {
            m_json.null();
        } else {
            m_json.value(p.type.semantic);
        }
        type(p.type);
        annotations(p.annotations);
        if (p.type.type >= D3DXPT_SAMPLER && p.type.type <= D3DXPT_SAMPLERCUBE) {
            m_json.key("samplers").beginArray();
            for (const std::vector<EffectFile::State>& sampler : p.samplers) {
                states(sampler);
            }
            m_json.endArray();
        }
        m_json.endObject();
    }

    void states(const std::vector<EffectFile::State>& list) {
        m_json.beginArray();
        for (const EffectFile::State& s : list) {
            state(s);
        }
        m_json.endArray();
    }

    void state(const EffectFile::State& s) {
        const EffectStates::Entry& entry = *EffectStates::find(s.operation);
        const bool shader =
            entry.kind == EffectStates::Kind::VertexShader || entry.kind == EffectStates::Kind::PixelShader;
        m_json.beginObject().key("state").value(entry.name).key("index").value(std::uint64_t{s.index});
        if (s.type.type >= D3DXPT_SAMPLER && s.type.type <= D3DXPT_SAMPLERCUBE) {
            m_json.key("sampler");
            states(s.sampler);
        } else if (s.source == EffectFile::Source::Constant && s.type.klass == D3DXPC_OBJECT) {
            m_json.key(shader ? "shader" : "object");
            if (shader) {
                shaderOf(s.value.at(0), "pass");
            } else {
                m_json.value(std::uint64_t{s.value.at(0)});
            }
        } else if (s.source == EffectFile::Source::Constant) {
            m_json.key("value");
            value(s.type, s.value);
        } else {
            if (s.source != EffectFile::Source::Expression) {
                m_json.key("parameter").value(s.parameter);
            }
            if (s.source != EffectFile::Source::Parameter) {
                expression(s.code);
            }
            const int named = m_file.parameterNamed(s.parameter);
            if (shader && named >= 0) {
                const std::vector<std::uint32_t>& ids = m_file.parameters[named].value;
                const bool one = s.source == EffectFile::Source::Parameter;
                m_json.key(one ? "shader" : "shaders");
                if (!one) {
                    m_json.beginArray();
                }
                for (std::size_t i = 0; i < (one ? std::min<std::size_t>(1, ids.size()) : ids.size()); ++i) {
                    shaderOf(ids[i], one ? "variable" : "array");
                }
                if (!one) {
                    m_json.endArray();
                }
            }
        }
        m_json.endObject();
    }

    // The parameters an expression's constant table names: the values it is computed from.
    void expression(const std::vector<std::uint8_t>& code) {
        const std::vector<std::uint32_t> w = words(code);
        ConstantTable table;
        std::string error;
        m_json.key("expression").beginObject().key("reads");
        if (ConstantTable::read(w.data(), w.size(), table, error)) {
            m_json.beginArray();
            for (const ConstantTable::Constant& c : table.constants) {
                m_json.value(c.name);
            }
            m_json.endArray();
        } else {
            m_json.null();
        }
        m_json.endObject();
    }

    // The shader object of an id: its model, its instructions and where it lives.
    void shaderOf(std::uint32_t id, const char* lives) {
        const auto code = m_file.objects.find(id);
        if (code == m_file.objects.end()) {
            m_json.null();
            return;
        }
        const ShaderCode shader(code->second);
        m_json.beginObject().key("model");
        if (shader.model().empty()) {
            m_json.null();
        } else {
            m_json.value(shader.model());
        }
        m_json.key("instructions").value(std::uint64_t{shader.instructions()}).key("lives").value(lives);
        m_json.endObject();
    }

private:
    const EffectFile& m_file;
    JsonWriter& m_json;
};

} // namespace

void EffectCommand::describe(const std::string& name, const std::vector<unsigned char>& bytes,
                             std::ostream& out, std::ostream& err) {
    EffectFile file;
    std::string error;
    if (!EffectFile::read(bytes.data(), bytes.size(), file, error)) {
        throw BadFileException(__FILE__, __LINE__, name + "\n" + error);
    }
    // The native renderer's reason for each technique, where it can be asked.
    std::optional<std::vector<std::string>> problems;
#ifdef _WIN32
    static_cast<void>(err);
#else
    NativeEffectCheck native;
    if (const std::optional<EffectVerdict> verdict = native.check(bytes)) {
        problems = verdict->accepted ? verdict->techniqueProblems
                                     : std::vector<std::string>(file.techniques.size(), verdict->problem);
    } else {
        err << "kestrin-info: the effect was not tried on the native renderer: " << native.unavailable()
            << "\n";
    }
#endif
    JsonWriter json(out);
    Describer describer(file, json);
    json.beginObject().key("parameters").beginArray();
    for (const EffectFile::Parameter& p : file.parameters) {
        describer.parameter(p);
    }
    json.endArray().key("techniques").beginArray();
    for (std::size_t t = 0; t < file.techniques.size(); ++t) {
        const EffectFile::Technique& technique = file.techniques[t];
        json.beginObject().key("name").value(technique.name);
        describer.annotations(technique.annotations);
        if (problems && t < problems->size()) {
            json.key("native").beginObject().key("drawable").value((*problems)[t].empty());
            if (!(*problems)[t].empty()) {
                json.key("problem").value((*problems)[t]);
            }
            json.endObject();
        }
        json.key("passes").beginArray();
        for (const EffectFile::Pass& pass : technique.passes) {
            json.beginObject().key("name").value(pass.name);
            describer.annotations(pass.annotations);
            json.key("states");
            describer.states(pass.states);
            json.endObject();
        }
        json.endArray().endObject();
    }
    json.endArray().endObject();
    out << '\n';
}
