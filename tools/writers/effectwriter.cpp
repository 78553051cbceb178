#include "writers/effectwriter.h"

#include "writers/bytewriter.h"
#include "writers/shaderassembler.h"

#include <map>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::uint32_t kEffectTag = 0xFEFF0901;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Type and class codes of type records, as D3DX numbers its parameter types and classes.
constexpr std::uint32_t kTypeInt = 2;
constexpr std::uint32_t kTypeFloat = 3;
constexpr std::uint32_t kTypeString = 4;
constexpr std::uint32_t kTypeTexture = 5;
constexpr std::uint32_t kTypeSampler2D = 12;
constexpr std::uint32_t kTypePixelShader = 15;
constexpr std::uint32_t kTypeVertexShader = 16;
constexpr std::uint32_t kClassScalar = 0;
constexpr std::uint32_t kClassVector = 1;
constexpr std::uint32_t kClassMatrixRows = 2;
constexpr std::uint32_t kClassMatrixColumns = 3;
constexpr std::uint32_t kClassObject = 4;

// Resource usages: the data is the object itself, or the name of the parameter a state refers to.
constexpr std::uint32_t kUsageObject = 0;
constexpr std::uint32_t kUsageParameterName = 1;

struct StateCode {
    const char* name;
    std::uint32_t operation;
};

// Operations are indices into D3DX's state table, whose render states follow D3DRENDERSTATETYPE's
// order without its gaps.
constexpr StateCode kRenderStates[] = {
    {"ZEnable", 0x00},  {"FillMode", 0x01},  {"ZWriteEnable", 0x03},     {"AlphaTestEnable", 0x04},
    {"SrcBlend", 0x06}, {"DestBlend", 0x07}, {"CullMode", 0x08},         {"ZFunc", 0x09},
    {"AlphaRef", 0x0A}, {"AlphaFunc", 0x0B}, {"AlphaBlendEnable", 0x0D},
};
constexpr StateCode kSamplerStates[] = {
    {"AddressU", 0xA5},  {"AddressV", 0xA6},  {"AddressW", 0xA7},
    {"MagFilter", 0xA9}, {"MinFilter", 0xAA}, {"MipFilter", 0xAB},
};
constexpr std::uint32_t kTextureState = 0xA4;
constexpr std::uint32_t kVertexShaderState = 0x92;
constexpr std::uint32_t kPixelShaderState = 0x93;

template <std::size_t N>
const StateCode* findState(const StateCode (&table)[N], const std::string& name) {
    for (const StateCode& s : table) {
        if (name == s.name) {
            return &s;
        }
    }
    return nullptr;
}

std::size_t componentCount(EffectWriter::Type type) {
    switch (type) {
    case EffectWriter::Type::Float:
        return 1;
    case EffectWriter::Type::Float4:
        return 4;
    case EffectWriter::Type::Float4x4:
        return 16;
    default:
        return 0;
    }
}

std::string quoted(const std::string& name) {
    return "'" + name + "'";
}

void checkAnnotations(const std::vector<EffectWriter::Annotation>& annotations, const std::string& owner) {
    for (const EffectWriter::Annotation& a : annotations) {
        if (a.name.empty()) {
            throw std::invalid_argument("an annotation of " + owner + " has no name");
        }
    }
}

// The pool, records and object tables of one effect file as it is built. Offsets handed out count
// from the start of the pool, which is where the file's offsets count from.
class Encoder {
public:
    Encoder() { m_pool.u32(0); }

    // A name in the pool; 0 (none) for an empty one.
    std::uint32_t name(const std::string& text) {
        if (text.empty()) {
            return 0;
        }
        const std::uint32_t offset = here();
        m_pool.u32(static_cast<std::uint32_t>(text.size() + 1)).cstring(text);
        pad(m_pool);
        return offset;
    }

    std::uint32_t numericType(std::uint32_t type, std::uint32_t typeClass, std::uint32_t nameOffset,
                              std::uint32_t semanticOffset, std::uint32_t rows, std::uint32_t columns) {
        const std::uint32_t offset = here();
        m_pool.u32(type).u32(typeClass).u32(nameOffset).u32(semanticOffset).u32(0);
        if (typeClass == kClassVector) {
            m_pool.u32(columns).u32(rows);
        } else {
            m_pool.u32(rows).u32(columns);
        }
        return offset;
    }

    std::uint32_t objectType(std::uint32_t type, std::uint32_t nameOffset, std::uint32_t semanticOffset) {
        const std::uint32_t offset = here();
        m_pool.u32(type).u32(kClassObject).u32(nameOffset).u32(semanticOffset).u32(0);
        return offset;
    }

    // The nameless type of state values, one record per kind.
    std::uint32_t stateType(std::uint32_t type) {
        auto found = m_stateTypes.find(type);
        if (found == m_stateTypes.end()) {
            const std::uint32_t offset =
                type == kTypeInt ? numericType(kTypeInt, kClassScalar, 0, 0, 1, 1) : objectType(type, 0, 0);
            found = m_stateTypes.emplace(type, offset).first;
        }
        return found->second;
    }

    // count floats: values, or zeros when there are none.
    std::uint32_t numbers(const std::vector<float>& values, std::size_t count) {
        const std::uint32_t offset = here();
        for (std::size_t i = 0; i < count; ++i) {
            m_pool.f32(values.empty() ? 0.0f : values[i]);
        }
        return offset;
    }

    std::uint32_t word(std::uint32_t value) {
        const std::uint32_t offset = here();
        m_pool.u32(value);
        return offset;
    }

    std::uint32_t newObject() { return m_objectCount++; }

    // A new string object holding text; returns its id.
    std::uint32_t stringObject(const std::string& text) {
        const std::uint32_t id = newObject();
        m_strings.u32(id).u32(static_cast<std::uint32_t>(text.size() + 1)).cstring(text);
        pad(m_strings);
        ++m_stringCount;
        return id;
    }

    void resource(std::uint32_t technique, std::uint32_t index, std::uint32_t state, std::uint32_t usage,
                  const std::string& data) {
        m_resources.u32(technique).u32(index).u32(kNone).u32(state).u32(usage);
        m_resources.u32(static_cast<std::uint32_t>(data.size())).bytes(data);
        pad(m_resources);
        ++m_resourceCount;
    }

    // Writes each annotation's type and value to the pool and its pair to the records.
    void annotationPairs(const std::vector<EffectWriter::Annotation>& annotations) {
        for (const EffectWriter::Annotation& a : annotations) {
            const std::uint32_t nameOffset = name(a.name);
            std::uint32_t typeOffset = 0;
            std::uint32_t valueOffset = 0;
            switch (a.kind) {
            case EffectWriter::Annotation::Kind::Int:
                typeOffset = numericType(kTypeInt, kClassScalar, nameOffset, 0, 1, 1);
                valueOffset = word(static_cast<std::uint32_t>(a.intValue));
                break;
            case EffectWriter::Annotation::Kind::Float:
                typeOffset = numericType(kTypeFloat, kClassScalar, nameOffset, 0, 1, 1);
                valueOffset = numbers({a.floatValue}, 1);
                break;
            case EffectWriter::Annotation::Kind::String:
                typeOffset = objectType(kTypeString, nameOffset, 0);
                valueOffset = word(stringObject(a.text));
                break;
            }
            m_records.u32(typeOffset).u32(valueOffset);
        }
    }

    ByteWriter& records() { return m_records; }
    ByteWriter& pool() { return m_pool; }
    std::uint32_t here() const { return static_cast<std::uint32_t>(m_pool.size()); }

    std::string finish(std::size_t parameterCount, std::size_t techniqueCount) const {
        ByteWriter out;
        out.u32(kEffectTag).u32(here()).bytes(m_pool.data());
        out.u32(static_cast<std::uint32_t>(parameterCount)).u32(static_cast<std::uint32_t>(techniqueCount));
        out.u32(0).u32(m_objectCount);
        out.bytes(m_records.data());
        out.u32(m_stringCount).u32(m_resourceCount).bytes(m_strings.data()).bytes(m_resources.data());
        return out.data();
    }

private:
    static void pad(ByteWriter& w) {
        while (w.size() % 4 != 0) {
            w.u8(0);
        }
    }

    ByteWriter m_pool;
    ByteWriter m_records;
    ByteWriter m_strings;
    ByteWriter m_resources;
    std::uint32_t m_stringCount = 0;
    std::uint32_t m_resourceCount = 0;
    std::uint32_t m_objectCount = 1; // id 0 means none but is counted
    std::map<std::uint32_t, std::uint32_t> m_stateTypes;
};

} // namespace

void EffectWriter::addParameter(const Parameter& parameter) {
    m_parameters.push_back(parameter);
}

void EffectWriter::addTechnique(const Technique& technique) {
    m_techniques.push_back(technique);
}

const EffectWriter::Parameter* EffectWriter::findParameter(const std::string& name) const {
    for (const Parameter& p : m_parameters) {
        if (p.name == name) {
            return &p;
        }
    }
    return nullptr;
}

void EffectWriter::validate() const {
    if (m_techniques.empty()) {
        throw std::invalid_argument("an effect needs at least one technique");
    }
    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        const Parameter& p = m_parameters[i];
        if (p.name.empty()) {
            throw std::invalid_argument("parameter " + std::to_string(i) + " has no name");
        }
        const std::string owner = "parameter " + quoted(p.name);
        if (findParameter(p.name) != &p) {
            throw std::invalid_argument("two parameters are named " + quoted(p.name));
        }
        const std::size_t components = componentCount(p.type);
        if (!p.defaults.empty() && p.defaults.size() != components) {
            throw std::invalid_argument(owner + " has " + std::to_string(p.defaults.size()) +
                                        " default values but takes " + std::to_string(components));
        }
        if (p.type != Type::Sampler && (!p.texture.empty() || !p.samplerStates.empty())) {
            throw std::invalid_argument(owner + " has sampler states but is not a sampler");
        }
        if (!p.texture.empty()) {
            const Parameter* texture = findParameter(p.texture);
            if (texture == nullptr || texture->type != Type::Texture) {
                throw std::invalid_argument(owner + " samples " + quoted(p.texture) +
                                            ", which is not a texture parameter");
            }
        }
        for (const State& s : p.samplerStates) {
            if (findState(kSamplerStates, s.name) == nullptr) {
                throw std::invalid_argument(owner + " sets unknown sampler state " + quoted(s.name));
            }
        }
        checkAnnotations(p.annotations, owner);
    }
    for (std::size_t t = 0; t < m_techniques.size(); ++t) {
        const Technique& technique = m_techniques[t];
        if (technique.name.empty()) {
            throw std::invalid_argument("technique " + std::to_string(t) + " has no name");
        }
        const std::string owner = "technique " + quoted(technique.name);
        checkAnnotations(technique.annotations, owner);
        for (std::size_t p = 0; p < technique.passes.size(); ++p) {
            const Pass& pass = technique.passes[p];
            if (pass.name.empty()) {
                throw std::invalid_argument("pass " + std::to_string(p) + " of " + owner + " has no name");
            }
            const std::string passOwner = "pass " + quoted(pass.name) + " of " + owner;
            for (const State& s : pass.states) {
                if (findState(kRenderStates, s.name) == nullptr) {
                    throw std::invalid_argument(passOwner + " sets unknown render state " + quoted(s.name));
                }
            }
            checkAnnotations(pass.annotations, passOwner);
        }
    }
}

// Effect file layout, little-endian 32-bit words; every offset in it counts from BASE, file offset 8:
//
//   offset  size  field
//   0       4     tag 0xFEFF0901
//   4       4     h: size of the pool
//   8       h     pool: a zero word (so that offset 0 means none), then names, type records, values
//   8+h     16    parameter count, technique count, 0, object count (ids 1..n-1 and the unused 0)
//   ...           parameters: type, value, flags 0, annotation count, (type, value) per annotation
//   ...           techniques: name, annotation count, pass count, annotation pairs, then the passes:
//                   name, annotation count, state count, annotation pairs, then the states:
//                   operation, index 0, type, value
//   ...     8     string count, resource count
//   ...           strings: object id, size, bytes padded to 4
//   ...           resources: technique (~0 for a parameter's sampler), pass or parameter index,
//                   element ~0, state index, usage (0 object, 1 parameter name), size, bytes padded
//
// Pool records:
//   name    length including the NUL, the bytes, padded to 4
//   type    type, class, name, semantic, element count 0, then columns and rows for a vector,
//           rows and columns for a scalar or matrix, nothing for an object
//   value   4 bytes per number; an object id for textures, strings and shaders; for a sampler the
//           state count and its states inline (operation, index 0, type, value)
std::string EffectWriter::build() const {
    validate();
    Encoder enc;

    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        const Parameter& p = m_parameters[i];
        const std::uint32_t nameOffset = enc.name(p.name);
        const std::uint32_t semanticOffset = enc.name(p.semantic);
        std::uint32_t typeOffset = 0;
        std::uint32_t valueOffset = 0;
        switch (p.type) {
        case Type::Float:
            typeOffset = enc.numericType(kTypeFloat, kClassScalar, nameOffset, semanticOffset, 1, 1);
            valueOffset = enc.numbers(p.defaults, 1);
            break;
        case Type::Float4:
            typeOffset = enc.numericType(kTypeFloat, kClassVector, nameOffset, semanticOffset, 1, 4);
            valueOffset = enc.numbers(p.defaults, 4);
            break;
        case Type::Float4x4:
            typeOffset = enc.numericType(kTypeFloat, kClassMatrixRows, nameOffset, semanticOffset, 4, 4);
            valueOffset = enc.numbers(p.defaults, 16);
            break;
        case Type::Texture:
            typeOffset = enc.objectType(kTypeTexture, nameOffset, semanticOffset);
            valueOffset = enc.word(enc.newObject());
            break;
        case Type::Sampler: {
            // The states' types and values go first; the sampler's value holds the states inline.
            struct Entry {
                std::uint32_t operation, type, value;
            };
            std::vector<Entry> states;
            if (!p.texture.empty()) {
                const std::uint32_t id = enc.newObject();
                states.push_back({kTextureState, enc.stateType(kTypeTexture), enc.word(id)});
                enc.resource(kNone, static_cast<std::uint32_t>(i), 0, kUsageParameterName, p.texture + '\0');
            }
            for (const State& s : p.samplerStates) {
                states.push_back({findState(kSamplerStates, s.name)->operation, enc.stateType(kTypeInt),
                                  enc.word(s.value)});
            }
            typeOffset = enc.objectType(kTypeSampler2D, nameOffset, semanticOffset);
            valueOffset = enc.word(static_cast<std::uint32_t>(states.size()));
            for (const Entry& e : states) {
                enc.pool().u32(e.operation).u32(0).u32(e.type).u32(e.value);
            }
            break;
        }
        }
        enc.records()
            .u32(typeOffset)
            .u32(valueOffset)
            .u32(0)
            .u32(static_cast<std::uint32_t>(p.annotations.size()));
        enc.annotationPairs(p.annotations);
    }

    for (std::size_t t = 0; t < m_techniques.size(); ++t) {
        const Technique& technique = m_techniques[t];
        enc.records()
            .u32(enc.name(technique.name))
            .u32(static_cast<std::uint32_t>(technique.annotations.size()))
            .u32(static_cast<std::uint32_t>(technique.passes.size()));
        enc.annotationPairs(technique.annotations);

        for (std::size_t p = 0; p < technique.passes.size(); ++p) {
            const Pass& pass = technique.passes[p];
            const std::string owner = "pass " + quoted(pass.name) + " of technique " + quoted(technique.name);
            std::vector<std::pair<std::uint32_t, std::string>> shaders;
            if (!pass.vertexShader.assembly.empty()) {
                shaders.emplace_back(kVertexShaderState, assembleShader(pass.vertexShader, false, owner));
            }
            if (!pass.pixelShader.assembly.empty()) {
                shaders.emplace_back(kPixelShaderState, assembleShader(pass.pixelShader, true, owner));
            }

            const std::uint32_t stateCount = static_cast<std::uint32_t>(pass.states.size() + shaders.size());
            enc.records()
                .u32(enc.name(pass.name))
                .u32(static_cast<std::uint32_t>(pass.annotations.size()))
                .u32(stateCount);
            enc.annotationPairs(pass.annotations);
            for (const State& s : pass.states) {
                enc.records()
                    .u32(findState(kRenderStates, s.name)->operation)
                    .u32(0)
                    .u32(enc.stateType(kTypeInt))
                    .u32(enc.word(s.value));
            }
            std::uint32_t stateIndex = static_cast<std::uint32_t>(pass.states.size());
            for (const auto& [operation, bytecode] : shaders) {
                const std::uint32_t type =
                    operation == kVertexShaderState ? kTypeVertexShader : kTypePixelShader;
                const std::uint32_t id = enc.newObject();
                enc.records().u32(operation).u32(0).u32(enc.stateType(type)).u32(enc.word(id));
                enc.resource(static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(p), stateIndex++,
                             kUsageObject, bytecode);
            }
        }
    }
    return enc.finish(m_parameters.size(), m_techniques.size());
}

std::string EffectWriter::assembleShader(const Shader& shader, bool pixel, const std::string& owner) const {
    const std::string where = owner + ", " + (pixel ? "pixel" : "vertex") + " shader: ";
    std::vector<ShaderAssembler::Constant> constants;
    for (const Binding& b : shader.bindings) {
        const Parameter* p = findParameter(b.parameter);
        if (p == nullptr) {
            throw std::invalid_argument(where + "binds " + quoted(b.parameter) +
                                        ", which is not a parameter");
        }
        ShaderAssembler::Constant c;
        c.name = p->name;
        c.registerIndex = b.reg;
        switch (p->type) {
        case Type::Float:
            break;
        case Type::Float4:
            c.typeClass = kClassVector;
            c.columns = 4;
            break;
        case Type::Float4x4:
            // Declared by columns against the parameter's rows, so D3DX transposes on upload and
            // m4x4 with c# computes the row vector times the matrix.
            c.registerCount = 4;
            c.typeClass = kClassMatrixColumns;
            c.rows = 4;
            c.columns = 4;
            break;
        case Type::Sampler:
            c.registerSet = ShaderAssembler::RegisterSet::Sampler;
            c.typeClass = kClassObject;
            c.type = kTypeSampler2D;
            break;
        case Type::Texture:
            throw std::invalid_argument(where + "binds texture " + quoted(p->name) +
                                        "; shaders read textures through a sampler parameter");
        }
        constants.push_back(c);
    }
    const auto stage = pixel ? ShaderAssembler::Stage::Pixel : ShaderAssembler::Stage::Vertex;
    try {
        return ShaderAssembler::assemble(shader.assembly, stage, constants);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(where + e.what());
    }
}

bool EffectWriter::write(const std::string& path) const {
    return ByteWriter::saveFile(path, build());
}
