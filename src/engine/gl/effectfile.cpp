#include "engine/gl/effectfile.h"

#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

namespace {

constexpr std::uint32_t kTag = 0xFEFF0901;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kPoolStart = 8;
constexpr int kMaxStructDepth = 8;

constexpr std::uint32_t kClassScalar = 0;
constexpr std::uint32_t kClassVector = 1;
constexpr std::uint32_t kClassMatrixRows = 2;
constexpr std::uint32_t kClassMatrixColumns = 3;
constexpr std::uint32_t kClassObject = 4;
constexpr std::uint32_t kClassStruct = 5;
constexpr std::uint32_t kTypeBool = 1;
constexpr std::uint32_t kTypeFloat = 3;
constexpr std::uint32_t kTypeString = 4;
constexpr std::uint32_t kTypeTexture = 5;
constexpr std::uint32_t kTypeTextureCube = 9;
constexpr std::uint32_t kTypeSampler = 10;
constexpr std::uint32_t kTypeSamplerCube = 14;
constexpr std::uint32_t kTypePixelShader = 15;
constexpr std::uint32_t kTypeVertexShader = 16;
constexpr std::uint32_t kFirstSamplerState = 0xA0;
constexpr std::uint32_t kLastSamplerState = 0xB1;
constexpr std::uint32_t kVertexShaderState = 0x92;
constexpr std::uint32_t kPixelShaderState = 0x93;
constexpr std::uint32_t kUsageObject = 0;
constexpr std::uint32_t kUsageParameterName = 1;

struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool isShader(const EffectFile::Type& t) {
    return t.klass == kClassObject && (t.type == kTypePixelShader || t.type == kTypeVertexShader);
}

// What an object holds, with textures of every shape one kind and samplers another.
std::uint32_t objectKind(std::uint32_t type) {
    if (type >= kTypeTexture && type <= kTypeTextureCube) {
        return kTypeTexture;
    }
    if (type >= kTypeSampler && type <= kTypeSamplerCube) {
        return kTypeSampler;
    }
    return type;
}

// Reads little-endian words from a stretch of the file, every read checked against its end.
class Reader {
public:
    Reader(const std::uint8_t* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

    std::uint32_t word(std::size_t at) const {
        if (at > m_size || m_size - at < 4) {
            throw Invalid("effect file: a field lies past the end");
        }
        const std::uint8_t* p = m_bytes + at;
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }
    // count items of itemBytes each must fit from at on; checked before any of them is read.
    void require(std::size_t at, std::uint64_t count, std::uint64_t itemBytes) const {
        if (at > m_size || count * itemBytes > m_size - at ||
            (itemBytes != 0 && count > (m_size - at) / itemBytes)) {
            throw Invalid("effect file: a count is larger than the file");
        }
    }
    const std::uint8_t* at(std::size_t offset) const { return m_bytes + offset; }
    std::size_t size() const { return m_size; }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
};

class Parser {
public:
    Parser(const Reader& file, std::size_t poolSize) : m_file(file), m_poolSize(poolSize) {}

    // A word of the pool at a pool offset.
    std::uint32_t poolWord(std::uint64_t offset) const {
        if (offset > m_poolSize || m_poolSize - offset < 4) {
            throw Invalid("effect file: an offset points past its pool");
        }
        return m_file.word(kPoolStart + static_cast<std::size_t>(offset));
    }

    // A name: length (NUL included), bytes; offset 0 means none.
    std::string name(std::uint32_t offset) const {
        if (offset == 0) {
            return {};
        }
        const std::uint32_t length = poolWord(offset);
        if (length == 0 || length > m_poolSize - offset - 4) {
            throw Invalid("effect file: a name runs past its pool");
        }
        const char* text = reinterpret_cast<const char*>(m_file.at(kPoolStart + offset + 4));
        if (text[length - 1] != '\0') {
            throw Invalid("effect file: a name without its terminator");
        }
        return std::string(text, length - 1);
    }

    // A type record at offset; its size in the pool goes to end.
    EffectFile::Type type(std::uint64_t offset, std::uint64_t& end, int depth) const {
        if (depth > kMaxStructDepth) {
            throw Invalid("effect file: structures nested too deep");
        }
        EffectFile::Type t;
        t.type = poolWord(offset);
        t.klass = poolWord(offset + 4);
        t.name = name(poolWord(offset + 8));
        t.semantic = name(poolWord(offset + 12));
        t.elements = poolWord(offset + 16);
        end = offset + 20;
        switch (t.klass) {
        case kClassVector:
            t.columns = poolWord(end);
            t.rows = poolWord(end + 4);
            end += 8;
            break;
        case kClassScalar:
        case kClassMatrixRows:
        case kClassMatrixColumns:
            t.rows = poolWord(end);
            t.columns = poolWord(end + 4);
            end += 8;
            break;
        case kClassObject:
            break;
        case kClassStruct: {
            const std::uint32_t members = poolWord(end);
            end += 4;
            // Each member takes at least 20 bytes: never loop longer than the pool could hold.
            if (members > m_poolSize / 20) {
                throw Invalid("effect file: a structure with more members than its pool holds");
            }
            for (std::uint32_t i = 0; i < members; ++i) {
                t.members.push_back(type(end, end, depth + 1));
                // Their values are counted a number per component; the object ids and nested
                // values the shader library would read besides are refused rather than checked.
                if (t.members.back().klass >= kClassObject) {
                    throw Invalid("effect file: a structure holding objects or structures");
                }
            }
            break;
        }
        default:
            throw Invalid("effect file: a type of unknown class");
        }
        if (t.rows > 4 || t.columns > 4) {
            throw Invalid("effect file: a numeric type larger than 4 x 4");
        }
        // The shader library asserts on a type its class does not take.
        if (t.klass <= kClassMatrixColumns && (t.type < kTypeBool || t.type > kTypeFloat)) {
            throw Invalid("effect file: a number of a type that is no number");
        }
        if (t.klass == kClassObject && (t.type < kTypeString || t.type > kTypeVertexShader)) {
            throw Invalid("effect file: an object of a type that is no object");
        }
        return t;
    }

    EffectFile::Type type(std::uint32_t offset) const {
        std::uint64_t end = 0;
        return type(offset, end, 0);
    }

    // The words of a value of type t at offset: numbers, or one object id per element.
    std::vector<std::uint32_t> value(const EffectFile::Type& t, std::uint32_t offset,
                                     std::uint32_t objectCount) {
        const std::uint64_t elements = t.elements == 0 ? 1 : t.elements;
        std::uint64_t words = 0;
        if (t.klass == kClassObject) {
            words = elements;
        } else if (t.klass == kClassStruct) {
            words = 0;
            for (const EffectFile::Type& m : t.members) {
                words +=
                    (m.elements == 0 ? 1 : m.elements) * (m.klass == kClassObject ? 1 : m.rows * m.columns);
            }
            words *= elements;
        } else {
            words = elements * t.rows * t.columns;
        }
        if (words > m_poolSize / 4) {
            throw Invalid("effect file: a value larger than its pool");
        }
        std::vector<std::uint32_t> v;
        for (std::uint64_t i = 0; i < words; ++i) {
            v.push_back(poolWord(std::uint64_t{offset} + 4 * i));
        }
        if (t.klass == kClassObject) {
            for (const std::uint32_t id : v) {
                if (id >= objectCount) {
                    throw Invalid("effect file: an object id past the object count");
                }
                claim(id, t.type);
            }
        }
        return v;
    }

    // Records what object id holds (0 is none); the shader library keeps one record per object,
    // which two kinds would overwrite with each other's.
    void claim(std::uint32_t id, std::uint32_t type) {
        if (id == 0) {
            return;
        }
        const auto [known, fresh] = m_objectKinds.emplace(id, objectKind(type));
        if (!fresh && known->second != objectKind(type)) {
            throw Invalid("effect file: an object taken for two kinds of object");
        }
    }

    EffectFile::State state(std::uint32_t operation, std::uint32_t index, std::uint32_t typeOffset,
                            std::uint32_t valueOffset, std::uint32_t objectCount) {
        EffectFile::State s;
        s.operation = operation;
        s.index = index;
        s.type = type(typeOffset);
        if (s.type.klass == kClassStruct ||
            (s.type.type >= kTypeSampler && s.type.type <= kTypeSamplerCube)) {
            throw Invalid("effect file: a state of a type no state takes");
        }
        // The shader library binds what these states hold as shaders of their kind.
        if ((operation == kVertexShaderState && !(isShader(s.type) && s.type.type == kTypeVertexShader)) ||
            (operation == kPixelShaderState && !(isShader(s.type) && s.type.type == kTypePixelShader))) {
            throw Invalid("effect file: a shader state that holds no shader of its kind");
        }
        s.value = value(s.type, valueOffset, objectCount);
        return s;
    }

private:
    const Reader& m_file;
    std::size_t m_poolSize;
    std::map<std::uint32_t, std::uint32_t> m_objectKinds;
};

} // namespace

// Layout, little-endian words; pool offsets count from file offset 8:
//
//   0        tag 0xFEFF0901
//   4        pool size h; the pool (names, type records, values) is bytes 8 .. 8 + h
//   8 + h    parameter count, technique count, unused, object count
//            parameters: type, value, flags, annotation count, (type, value) per annotation
//            techniques: name, annotation count, pass count, annotation pairs, passes:
//              name, annotation count, state count, annotation pairs, states:
//              operation, index, type, value
//            string count, resource count
//            strings: object id, size, bytes padded to 4
//            resources: technique, index, element, state, usage, size, bytes padded to 4
bool EffectFile::read(const std::uint8_t* bytes, std::size_t size, EffectFile& file, std::string& error) {
    file = EffectFile{};
    try {
        const Reader in(bytes, size);
        if (in.word(0) != kTag) {
            throw Invalid("not a compiled effect file");
        }
        const std::uint32_t poolSize = in.word(4);
        if (poolSize > size - kPoolStart) {
            throw Invalid("effect file: the pool runs past the end");
        }
        Parser pool(in, poolSize);
        std::size_t at = kPoolStart + poolSize;
        const std::uint32_t parameterCount = in.word(at);
        const std::uint32_t techniqueCount = in.word(at + 4);
        file.objectCount = in.word(at + 12);
        at += 16;

        auto annotations = [&](std::uint32_t count) {
            in.require(at, count, 8);
            for (std::uint32_t i = 0; i < count; ++i) {
                pool.value(pool.type(in.word(at)), in.word(at + 4), file.objectCount);
                at += 8;
            }
        };

        in.require(at, parameterCount, 16);
        for (std::uint32_t i = 0; i < parameterCount; ++i) {
            Parameter p;
            p.type = pool.type(in.word(at));
            // Shaders' constants are looked up by name among the parameters.
            if (p.type.name.empty()) {
                throw Invalid("effect file: a parameter without a name");
            }
            const std::uint32_t valueOffset = in.word(at + 4);
            p.annotations = in.word(at + 12);
            at += 16;
            if (p.type.type >= kTypeSampler && p.type.type <= kTypeSamplerCube) {
                // A sampler's value is its state count and the states, inline in the pool.
                const std::uint32_t states = pool.poolWord(valueOffset);
                if (states > poolSize / 16) {
                    throw Invalid("effect file: a sampler with more states than its pool holds");
                }
                for (std::uint32_t s = 0; s < states; ++s) {
                    const std::uint64_t record = std::uint64_t{valueOffset} + 4 + 16 * std::uint64_t{s};
                    p.samplerStates.push_back(pool.state(pool.poolWord(record), pool.poolWord(record + 4),
                                                         pool.poolWord(record + 8),
                                                         pool.poolWord(record + 12), file.objectCount));
                    // The shader library frees a state's value by its kind, which it takes from
                    // this range: another operation has its value leak.
                    const std::uint32_t operation = p.samplerStates.back().operation;
                    if (operation < kFirstSamplerState || operation > kLastSamplerState) {
                        throw Invalid("effect file: a sampler state that is none");
                    }
                }
            } else {
                p.value = pool.value(p.type, valueOffset, file.objectCount);
            }
            annotations(p.annotations);
            file.parameters.push_back(std::move(p));
        }

        in.require(at, techniqueCount, 12);
        for (std::uint32_t t = 0; t < techniqueCount; ++t) {
            Technique technique;
            technique.name = pool.name(in.word(at));
            const std::uint32_t techniqueAnnotations = in.word(at + 4);
            const std::uint32_t passCount = in.word(at + 8);
            at += 12;
            annotations(techniqueAnnotations);
            in.require(at, passCount, 12);
            for (std::uint32_t p = 0; p < passCount; ++p) {
                Pass pass;
                pass.name = pool.name(in.word(at));
                const std::uint32_t passAnnotations = in.word(at + 4);
                const std::uint32_t stateCount = in.word(at + 8);
                at += 12;
                annotations(passAnnotations);
                in.require(at, stateCount, 16);
                for (std::uint32_t s = 0; s < stateCount; ++s) {
                    pass.states.push_back(pool.state(in.word(at), in.word(at + 4), in.word(at + 8),
                                                     in.word(at + 12), file.objectCount));
                    at += 16;
                }
                technique.passes.push_back(std::move(pass));
            }
            file.techniques.push_back(std::move(technique));
        }

        const std::uint32_t stringCount = in.word(at);
        const std::uint32_t resourceCount = in.word(at + 4);
        at += 8;
        auto padded = [](std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; };
        in.require(at, stringCount, 8);
        for (std::uint32_t i = 0; i < stringCount; ++i) {
            const std::uint32_t id = in.word(at);
            const std::uint32_t bytesCount = in.word(at + 4);
            if (id >= file.objectCount) {
                throw Invalid("effect file: a string of an object id past the object count");
            }
            pool.claim(id, kTypeString);
            in.require(at + 8, padded(bytesCount), 1);
            at += 8 + static_cast<std::size_t>(padded(bytesCount));
        }
        in.require(at, resourceCount, 24);
        // The states given shader code: technique (kNone for a parameter), pass or parameter, state.
        std::set<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> coded;
        for (std::uint32_t i = 0; i < resourceCount; ++i) {
            Resource r;
            r.technique = in.word(at);
            r.index = in.word(at + 4);
            r.element = in.word(at + 8);
            r.state = in.word(at + 12);
            r.usage = in.word(at + 16);
            const std::uint32_t bytesCount = in.word(at + 20);
            at += 24;
            in.require(at, padded(bytesCount), 1);
            // The state a resource belongs to must exist: a parameter's sampler state or a pass's.
            const State* state = nullptr;
            if (r.technique == kNone) {
                if (r.index >= file.parameters.size() ||
                    r.state >= file.parameters[r.index].samplerStates.size()) {
                    throw Invalid("effect file: a resource of a sampler state that does not exist");
                }
                state = &file.parameters[r.index].samplerStates[r.state];
            } else if (r.technique >= file.techniques.size() ||
                       r.index >= file.techniques[r.technique].passes.size() ||
                       r.state >= file.techniques[r.technique].passes[r.index].states.size()) {
                throw Invalid("effect file: a resource of a pass state that does not exist");
            } else {
                state = &file.techniques[r.technique].passes[r.index].states[r.state];
            }
            if (r.usage > kUsageParameterName) {
                throw Invalid("effect file: a resource of an unknown usage");
            }
            // A name is copied as it stands and then read up to its terminator; the texture state
            // of a sampler is what the shader library names by it.
            if (r.usage == kUsageParameterName) {
                if (bytesCount == 0 || in.at(at)[bytesCount - 1] != 0) {
                    throw Invalid("effect file: a parameter name without its terminator");
                }
                if (state->type.klass != kClassObject || objectKind(state->type.type) != kTypeTexture) {
                    throw Invalid("effect file: a parameter name for a state that holds no texture");
                }
            }
            // Code is compiled as a shader of the kind its state holds, whatever the code is; its
            // version token tells its own kind (0xFFFE vertex, 0xFFFF pixel shader).
            if (r.usage == kUsageObject) {
                if (!isShader(state->type)) {
                    throw Invalid("effect file: shader code for a state that holds no shader");
                }
                const std::uint32_t kind = state->type.type == kTypeVertexShader ? 0xFFFE : 0xFFFF;
                if (bytesCount < 4 ||
                    (std::uint32_t{in.at(at)[2]} | std::uint32_t{in.at(at)[3]} << 8) != kind) {
                    throw Invalid("effect file: shader code of another kind than its state");
                }
                coded.emplace(r.technique, r.index, r.state);
            }
            r.data.assign(in.at(at), in.at(at) + bytesCount);
            at += static_cast<std::size_t>(padded(bytesCount));
            file.resources.push_back(std::move(r));
        }
        // A shader state naming an object (id 0 is none) must have its code: the shader library
        // would draw with a shader it never made.
        auto needsCode = [](const State& s) {
            if (!isShader(s.type)) {
                return false;
            }
            for (const std::uint32_t id : s.value) {
                if (id != 0) {
                    return true;
                }
            }
            return false;
        };
        for (std::uint32_t p = 0; p < file.parameters.size(); ++p) {
            for (std::uint32_t s = 0; s < file.parameters[p].samplerStates.size(); ++s) {
                if (needsCode(file.parameters[p].samplerStates[s]) && coded.count({kNone, p, s}) == 0) {
                    throw Invalid("effect file: a shader state without its code");
                }
            }
        }
        for (std::uint32_t t = 0; t < file.techniques.size(); ++t) {
            for (std::uint32_t p = 0; p < file.techniques[t].passes.size(); ++p) {
                const Pass& pass = file.techniques[t].passes[p];
                for (std::uint32_t s = 0; s < pass.states.size(); ++s) {
                    if (needsCode(pass.states[s]) && coded.count({t, p, s}) == 0) {
                        throw Invalid("effect file: a shader state without its code");
                    }
                }
            }
        }
    } catch (const Invalid& e) {
        error = e.what();
        file = EffectFile{};
        return false;
    }
    return true;
}
