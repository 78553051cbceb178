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

// What a state's value is: an integer (a Direct3D value), floats of a shape, or an object.
enum class Shape { Int, Float, Vector3, Colour, Matrix, Texture, VertexShader, PixelShader };

struct StateCode {
    const char* name;
    std::uint32_t operation;
    Shape shape;
    std::uint32_t indices; // indices the state takes: 1 for a state without one
    bool sampler;          // also a state of sampler parameters
};

constexpr std::uint32_t kStages = 8;
constexpr std::uint32_t kLights = 8;
constexpr std::uint32_t kSamplers = 16;
constexpr std::uint32_t kWorldMatrices = 256;

// Operations are indices into D3DX's state table, whose render states follow D3DRENDERSTATETYPE's
// order without its gaps.
constexpr StateCode kStates[] = {
    {"ZEnable", 0x00, Shape::Int, 1, false},
    {"FillMode", 0x01, Shape::Int, 1, false},
    {"ShadeMode", 0x02, Shape::Int, 1, false},
    {"ZWriteEnable", 0x03, Shape::Int, 1, false},
    {"AlphaTestEnable", 0x04, Shape::Int, 1, false},
    {"SrcBlend", 0x06, Shape::Int, 1, false},
    {"DestBlend", 0x07, Shape::Int, 1, false},
    {"CullMode", 0x08, Shape::Int, 1, false},
    {"ZFunc", 0x09, Shape::Int, 1, false},
    {"AlphaRef", 0x0A, Shape::Int, 1, false},
    {"AlphaFunc", 0x0B, Shape::Int, 1, false},
    {"AlphaBlendEnable", 0x0D, Shape::Int, 1, false},
    {"FogEnable", 0x0E, Shape::Int, 1, false},
    {"SpecularEnable", 0x0F, Shape::Int, 1, false},
    {"TextureFactor", 0x1E, Shape::Int, 1, false},
    {"Lighting", 0x30, Shape::Int, 1, false},
    {"Ambient", 0x31, Shape::Int, 1, false},
    {"ColorVertex", 0x33, Shape::Int, 1, false},
    {"NormalizeNormals", 0x35, Shape::Int, 1, false},
    {"DiffuseMaterialSource", 0x36, Shape::Int, 1, false},
    {"SpecularMaterialSource", 0x37, Shape::Int, 1, false},
    {"AmbientMaterialSource", 0x38, Shape::Int, 1, false},
    {"EmissiveMaterialSource", 0x39, Shape::Int, 1, false},
    {"ColorWriteEnable", 0x49, Shape::Int, 1, false},
    {"BlendOp", 0x4B, Shape::Int, 1, false},
    {"ColorOp", 0x67, Shape::Int, kStages, false},
    {"ColorArg0", 0x68, Shape::Int, kStages, false},
    {"ColorArg1", 0x69, Shape::Int, kStages, false},
    {"ColorArg2", 0x6A, Shape::Int, kStages, false},
    {"AlphaOp", 0x6B, Shape::Int, kStages, false},
    {"AlphaArg0", 0x6C, Shape::Int, kStages, false},
    {"AlphaArg1", 0x6D, Shape::Int, kStages, false},
    {"AlphaArg2", 0x6E, Shape::Int, kStages, false},
    {"ResultArg", 0x6F, Shape::Int, kStages, false},
    {"TexCoordIndex", 0x74, Shape::Int, kStages, false},
    {"TextureTransformFlags", 0x77, Shape::Int, kStages, false},
    {"ProjectionTransform", 0x7B, Shape::Matrix, 1, false},
    {"ViewTransform", 0x7C, Shape::Matrix, 1, false},
    {"WorldTransform", 0x7D, Shape::Matrix, kWorldMatrices, false},
    {"TextureTransform", 0x7E, Shape::Matrix, kStages, false},
    {"MaterialDiffuse", 0x7F, Shape::Colour, 1, false},
    {"MaterialAmbient", 0x80, Shape::Colour, 1, false},
    {"MaterialSpecular", 0x81, Shape::Colour, 1, false},
    {"MaterialEmissive", 0x82, Shape::Colour, 1, false},
    {"MaterialPower", 0x83, Shape::Float, 1, false},
    {"LightType", 0x84, Shape::Int, kLights, false},
    {"LightDiffuse", 0x85, Shape::Colour, kLights, false},
    {"LightSpecular", 0x86, Shape::Colour, kLights, false},
    {"LightAmbient", 0x87, Shape::Colour, kLights, false},
    {"LightPosition", 0x88, Shape::Vector3, kLights, false},
    {"LightDirection", 0x89, Shape::Vector3, kLights, false},
    {"LightRange", 0x8A, Shape::Float, kLights, false},
    {"LightFalloff", 0x8B, Shape::Float, kLights, false},
    {"LightAttenuation0", 0x8C, Shape::Float, kLights, false},
    {"LightAttenuation1", 0x8D, Shape::Float, kLights, false},
    {"LightAttenuation2", 0x8E, Shape::Float, kLights, false},
    {"LightTheta", 0x8F, Shape::Float, kLights, false},
    {"LightPhi", 0x90, Shape::Float, kLights, false},
    {"LightEnable", 0x91, Shape::Int, kLights, false},
    {"VertexShader", 0x92, Shape::VertexShader, 1, false},
    {"PixelShader", 0x93, Shape::PixelShader, 1, false},
    {"Texture", 0xA4, Shape::Texture, kSamplers, false},
    {"AddressU", 0xA5, Shape::Int, kSamplers, true},
    {"AddressV", 0xA6, Shape::Int, kSamplers, true},
    {"AddressW", 0xA7, Shape::Int, kSamplers, true},
    {"BorderColor", 0xA8, Shape::Int, kSamplers, true},
    {"MagFilter", 0xA9, Shape::Int, kSamplers, true},
    {"MinFilter", 0xAA, Shape::Int, kSamplers, true},
    {"MipFilter", 0xAB, Shape::Int, kSamplers, true},
    {"MaxMipLevel", 0xAD, Shape::Int, kSamplers, true},
    {"MaxAnisotropy", 0xAE, Shape::Int, kSamplers, true},
    {"SRGBTexture", 0xAF, Shape::Int, kSamplers, true},
};
constexpr std::uint32_t kTextureState = 0xA4;
constexpr std::uint32_t kVertexShaderState = 0x92;
constexpr std::uint32_t kPixelShaderState = 0x93;

const StateCode* findState(const std::string& name, bool inSampler) {
    for (const StateCode& s : kStates) {
        if (name == s.name && (s.sampler || !inSampler)) {
            return &s;
        }
    }
    return nullptr;
}

// Floats a state of that shape takes; 0 for integers and objects.
std::uint32_t floatCount(Shape shape) {
    switch (shape) {
    case Shape::Float:
        return 1;
    case Shape::Vector3:
        return 3;
    case Shape::Colour:
        return 4;
    case Shape::Matrix:
        return 16;
    default:
        return 0;
    }
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

// The type of values a state of that shape holds, as D3DX reads it.
EffectWriter::Type parameterTypeOf(Shape shape, bool& any) {
    any = true;
    switch (shape) {
    case Shape::Float:
        return EffectWriter::Type::Float;
    case Shape::Colour:
        return EffectWriter::Type::Float4;
    case Shape::Matrix:
        return EffectWriter::Type::Float4x4;
    case Shape::Texture:
        return EffectWriter::Type::Texture;
    case Shape::VertexShader:
        return EffectWriter::Type::VertexShader;
    case Shape::PixelShader:
        return EffectWriter::Type::PixelShader;
    default:
        any = false; // no parameter type holds integers or three floats
        return EffectWriter::Type::Float;
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

    // The nameless type of state values of a shape, one record per shape.
    std::uint32_t stateType(Shape shape) {
        auto found = m_stateTypes.find(shape);
        if (found == m_stateTypes.end()) {
            std::uint32_t offset = 0;
            switch (shape) {
            case Shape::Int:
                offset = numericType(kTypeInt, kClassScalar, 0, 0, 1, 1);
                break;
            case Shape::Float:
                offset = numericType(kTypeFloat, kClassScalar, 0, 0, 1, 1);
                break;
            case Shape::Vector3:
                offset = numericType(kTypeFloat, kClassVector, 0, 0, 1, 3);
                break;
            case Shape::Colour:
                offset = numericType(kTypeFloat, kClassVector, 0, 0, 1, 4);
                break;
            case Shape::Matrix:
                offset = numericType(kTypeFloat, kClassMatrixRows, 0, 0, 4, 4);
                break;
            case Shape::Texture:
                offset = objectType(kTypeTexture, 0, 0);
                break;
            case Shape::VertexShader:
                offset = objectType(kTypeVertexShader, 0, 0);
                break;
            case Shape::PixelShader:
                offset = objectType(kTypePixelShader, 0, 0);
                break;
            }
            found = m_stateTypes.emplace(shape, offset).first;
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

    // The bytes of object id (a string or a shader variable's code) in the object section.
    void object(std::uint32_t id, const std::string& bytes) {
        m_objects.u32(id).u32(static_cast<std::uint32_t>(bytes.size())).bytes(bytes);
        pad(m_objects);
        ++m_objectEntries;
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
            case EffectWriter::Annotation::Kind::String: {
                typeOffset = objectType(kTypeString, nameOffset, 0);
                const std::uint32_t id = newObject();
                object(id, a.text + '\0');
                valueOffset = word(id);
                break;
            }
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
        out.u32(m_objectEntries).u32(m_resourceCount).bytes(m_objects.data()).bytes(m_resources.data());
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
    ByteWriter m_objects;
    ByteWriter m_resources;
    std::uint32_t m_objectEntries = 0;
    std::uint32_t m_resourceCount = 0;
    std::uint32_t m_objectCount = 1; // id 0 means none but is counted
    std::map<Shape, std::uint32_t> m_stateTypes;
};

// A state record and the resource that completes it, if any.
struct EncodedState {
    std::uint32_t operation = 0;
    std::uint32_t index = 0;
    std::uint32_t type = 0;
    std::uint32_t value = 0;
    std::uint32_t usage = kNone; // kNone: no resource
    std::string data;
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
        const bool shader = p.type == Type::VertexShader || p.type == Type::PixelShader;
        if (shader && p.shader.assembly.empty()) {
            throw std::invalid_argument(owner + " is a shader without code");
        }
        if (!shader && (!p.shader.assembly.empty() || !p.shader.bindings.empty())) {
            throw std::invalid_argument(owner + " has shader code but is not a shader");
        }
        if (!p.texture.empty()) {
            const Parameter* texture = findParameter(p.texture);
            if (texture == nullptr || texture->type != Type::Texture) {
                throw std::invalid_argument(owner + " samples " + quoted(p.texture) +
                                            ", which is not a texture parameter");
            }
        }
        for (const State& s : p.samplerStates) {
            if (findState(s.name, true) == nullptr) {
                throw std::invalid_argument(owner + " sets unknown sampler state " + quoted(s.name));
            }
            if (s.index != 0 || !s.numbers.empty() || !s.parameter.empty() ||
                !s.expression.instructions.empty()) {
                throw std::invalid_argument(owner + " sets " + quoted(s.name) +
                                            " other than by a value, which samplers here take alone");
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
            for (std::size_t i = 0; i < pass.states.size(); ++i) {
                const State& s = pass.states[i];
                if (findState(s.name, false) == nullptr) {
                    throw std::invalid_argument(passOwner + " sets unknown state " + quoted(s.name));
                }
                for (std::size_t j = 0; j < i; ++j) {
                    if (pass.states[j].name == s.name && pass.states[j].index == s.index) {
                        throw std::invalid_argument(passOwner + " sets " + quoted(s.name) + "[" +
                                                    std::to_string(s.index) + "] twice");
                    }
                }
                if ((s.name == "VertexShader" && !pass.vertexShader.assembly.empty()) ||
                    (s.name == "PixelShader" && !pass.pixelShader.assembly.empty())) {
                    throw std::invalid_argument(passOwner + " sets " + quoted(s.name) +
                                                " and also gives that shader's code");
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
//                   operation, index, type, value
//   ...     8     object entry count, resource count
//   ...           objects: id, size, bytes padded to 4 (strings, and the code of shader variables)
//   ...           resources: technique (~0 for a parameter's sampler), pass or parameter index,
//                   element ~0, state index, usage, size, bytes padded to 4. Usage 0 is the code
//                   of a shader given in place (the state's value is its object id) or, for a
//                   state that takes numbers, an expression; usage 1 the NUL-terminated name of the
//                   parameter whose value the state takes.
//
// Pool records:
//   name    length including the NUL, the bytes, padded to 4
//   type    type, class, name, semantic, element count 0, then columns and rows for a vector,
//           rows and columns for a scalar or matrix, nothing for an object
//   value   4 bytes per number; an object id for textures, strings and shaders; for a sampler the
//           state count and its states inline (operation, index 0, type, value). A state whose
//           value a resource gives holds zeros of its type, or a new object id for an object.
std::string EffectWriter::build() const {
    validate();
    Encoder enc;

    for (std::size_t i = 0; i < m_parameters.size(); ++i) {
        const Parameter& p = m_parameters[i];
        const std::string owner = "parameter " + quoted(p.name);
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
        case Type::VertexShader:
        case Type::PixelShader: {
            const bool pixel = p.type == Type::PixelShader;
            const std::uint32_t id = enc.newObject();
            enc.object(id, assembleShader(p.shader, pixel, owner));
            typeOffset =
                enc.objectType(pixel ? kTypePixelShader : kTypeVertexShader, nameOffset, semanticOffset);
            valueOffset = enc.word(id);
            break;
        }
        case Type::Sampler: {
            // The states' types and values go first; the sampler's value holds the states inline.
            struct Entry {
                std::uint32_t operation, type, value;
            };
            std::vector<Entry> states;
            if (!p.texture.empty()) {
                const std::uint32_t id = enc.newObject();
                states.push_back({kTextureState, enc.stateType(Shape::Texture), enc.word(id)});
                enc.resource(kNone, static_cast<std::uint32_t>(i), 0, kUsageParameterName, p.texture + '\0');
            }
            for (const State& s : p.samplerStates) {
                states.push_back(
                    {findState(s.name, true)->operation, enc.stateType(Shape::Int), enc.word(s.value)});
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

    // A pass state's record, its value from one of the ways a state can take it.
    auto encodeState = [&](const State& s, const std::string& passOwner) {
        const StateCode& code = *findState(s.name, false);
        const std::string where = passOwner + ", state " + s.name +
                                  (code.indices > 1 ? "[" + std::to_string(s.index) + "]" : "") + ": ";
        if (s.index >= code.indices) {
            throw std::invalid_argument(
                where + (code.indices == 1 ? "takes no index"
                                           : "takes an index below " + std::to_string(code.indices)));
        }
        const bool computed = !s.expression.instructions.empty();
        const int ways = (computed ? 1 : 0) + (s.parameter.empty() ? 0 : 1) + (s.numbers.empty() ? 0 : 1) +
                         (s.value != 0 ? 1 : 0);
        if (ways > 1) {
            throw std::invalid_argument(where + "given its value in more than one way");
        }
        if (!computed && (!s.expression.inputs.empty() || !s.expression.literals.empty())) {
            throw std::invalid_argument(where + "an expression without instructions");
        }
        EncodedState e;
        e.operation = code.operation;
        e.index = s.index;
        e.type = enc.stateType(code.shape);
        const std::uint32_t floats = floatCount(code.shape);
        bool takesParameters = false;
        const Type parameterType = parameterTypeOf(code.shape, takesParameters);
        if (!s.parameter.empty()) {
            const Parameter* named = findParameter(s.parameter);
            if (!takesParameters || named == nullptr || named->type != parameterType) {
                throw std::invalid_argument(where + "names " + quoted(s.parameter) +
                                            ", which is no parameter of the type the state takes");
            }
            e.usage = kUsageParameterName;
            e.data = s.parameter + '\0';
            e.value = floats > 0 ? enc.numbers({}, floats) : enc.word(enc.newObject());
            return e;
        }
        if (code.shape == Shape::Texture) {
            throw std::invalid_argument(where + "must name a texture parameter");
        }
        if (code.shape == Shape::VertexShader || code.shape == Shape::PixelShader) {
            if (computed || !s.numbers.empty() || s.value != 0) {
                throw std::invalid_argument(where + "takes a shader parameter, or 0 for none");
            }
            // No shader: the integer 0, the fixed-function pipeline's stage.
            e.type = enc.stateType(Shape::Int);
            e.value = enc.word(0);
            return e;
        }
        if (computed) {
            e.usage = kUsageObject;
            e.data = assembleExpression(s.expression, floats > 0 ? floats : 1, where);
            e.value = floats > 0 ? enc.numbers({}, floats) : enc.word(0);
            return e;
        }
        if (floats == 0) {
            if (!s.numbers.empty()) {
                throw std::invalid_argument(where + "takes an integer, not numbers");
            }
            e.value = enc.word(s.value);
            return e;
        }
        if (s.numbers.size() != floats) {
            throw std::invalid_argument(where + "takes " + std::to_string(floats) + " numbers, not " +
                                        std::to_string(s.numbers.size()));
        }
        e.value = enc.numbers(s.numbers, floats);
        return e;
    };

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
            std::vector<EncodedState> states;
            for (const State& s : pass.states) {
                states.push_back(encodeState(s, owner));
            }
            for (const bool pixel : {false, true}) {
                const Shader& shader = pixel ? pass.pixelShader : pass.vertexShader;
                if (shader.assembly.empty()) {
                    continue;
                }
                EncodedState e;
                e.operation = pixel ? kPixelShaderState : kVertexShaderState;
                e.type = enc.stateType(pixel ? Shape::PixelShader : Shape::VertexShader);
                e.value = enc.word(enc.newObject());
                e.usage = kUsageObject;
                e.data = assembleShader(shader, pixel, owner);
                states.push_back(std::move(e));
            }

            enc.records()
                .u32(enc.name(pass.name))
                .u32(static_cast<std::uint32_t>(pass.annotations.size()))
                .u32(static_cast<std::uint32_t>(states.size()));
            enc.annotationPairs(pass.annotations);
            for (std::size_t i = 0; i < states.size(); ++i) {
                const EncodedState& e = states[i];
                enc.records().u32(e.operation).u32(e.index).u32(e.type).u32(e.value);
                if (e.usage != kNone) {
                    enc.resource(static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(p),
                                 static_cast<std::uint32_t>(i), e.usage, e.data);
                }
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
        case Type::VertexShader:
        case Type::PixelShader:
            throw std::invalid_argument(where + "binds shader " + quoted(p->name) +
                                        ", which holds no constants");
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

std::string EffectWriter::assembleExpression(const Expression& expression, std::uint32_t outputs,
                                             const std::string& where) const {
    std::vector<ShaderAssembler::Constant> constants;
    for (const Input& in : expression.inputs) {
        const Parameter* p = findParameter(in.parameter);
        if (p == nullptr || componentCount(p->type) == 0) {
            throw std::invalid_argument(where + "the expression reads " + quoted(in.parameter) +
                                        ", which is no parameter holding numbers");
        }
        if (in.byColumns && p->type != Type::Float4x4) {
            throw std::invalid_argument(where + "the expression reads " + quoted(in.parameter) +
                                        " by columns, but it is no matrix");
        }
        ShaderAssembler::Constant c;
        c.name = p->name;
        c.registerIndex = in.reg;
        if (p->type == Type::Float4) {
            c.typeClass = kClassVector;
            c.columns = 4;
        } else if (p->type == Type::Float4x4) {
            c.registerCount = 4;
            c.typeClass = in.byColumns ? kClassMatrixColumns : kClassMatrixRows;
            c.rows = 4;
            c.columns = 4;
        }
        constants.push_back(c);
    }
    try {
        return ExpressionAssembler::assemble({expression.literals, expression.instructions}, constants,
                                             outputs);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(where + e.what());
    }
}

bool EffectWriter::write(const std::string& path) const {
    return ByteWriter::saveFile(path, build());
}
