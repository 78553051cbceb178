#include "engine/gl/effectfile.h"

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/effectstates.h"
#include "main/hextext.h"

#include <stdexcept>

using namespace d3d;

namespace {

constexpr std::uint32_t kTag = 0xFEFF0901;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kPoolStart = 8;
constexpr int kMaxStructDepth = 8;

constexpr std::uint32_t kUsageObject = 0;
constexpr std::uint32_t kUsageParameterName = 1;
constexpr std::uint32_t kUsageArraySelector = 2;

struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool isSampler(const EffectFile::Type& t) {
    return t.type >= D3DXPT_SAMPLER && t.type <= D3DXPT_SAMPLERCUBE;
}

bool isTexture(const EffectFile::Type& t) {
    return t.type >= D3DXPT_TEXTURE && t.type <= D3DXPT_TEXTURECUBE;
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
        if (at > m_size || (itemBytes != 0 && count > (m_size - at) / itemBytes)) {
            throw Invalid("effect file: a count is larger than the file");
        }
    }
    const std::uint8_t* at(std::size_t offset) const { return m_bytes + offset; }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
};

class Parser {
public:
    Parser(const Reader& file, std::size_t poolSize, std::uint32_t objectCount)
        : m_file(file), m_poolSize(poolSize), m_objectCount(objectCount) {}

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
        case D3DXPC_VECTOR:
            t.columns = poolWord(end);
            t.rows = poolWord(end + 4);
            end += 8;
            break;
        case D3DXPC_SCALAR:
        case D3DXPC_MATRIX_ROWS:
        case D3DXPC_MATRIX_COLUMNS:
            t.rows = poolWord(end);
            t.columns = poolWord(end + 4);
            end += 8;
            break;
        case D3DXPC_OBJECT:
            break;
        case D3DXPC_STRUCT: {
            const std::uint32_t members = poolWord(end);
            end += 4;
            // Each member takes at least 20 bytes: never loop longer than the pool could hold.
            if (members > m_poolSize / 20) {
                throw Invalid("effect file: a structure with more members than its pool holds");
            }
            for (std::uint32_t i = 0; i < members; ++i) {
                t.members.push_back(type(end, end, depth + 1));
                // Values are counted a number per component; object ids inside structures are
                // not offered.
                if (t.members.back().klass == D3DXPC_OBJECT) {
                    throw Invalid("effect file: a structure holding objects");
                }
            }
            break;
        }
        default:
            throw Invalid("effect file: a type of unknown class " + hexText(t.klass));
        }
        if (t.rows > 4 || t.columns > 4) {
            throw Invalid("effect file: a numeric type larger than 4 x 4");
        }
        if (t.klass <= D3DXPC_MATRIX_COLUMNS && (t.type < D3DXPT_BOOL || t.type > D3DXPT_FLOAT)) {
            throw Invalid("effect file: a number of a type that is no number");
        }
        if (t.klass == D3DXPC_OBJECT && (t.type < D3DXPT_STRING || t.type > D3DXPT_VERTEXSHADER)) {
            throw Invalid("effect file: an object of a type that is no object");
        }
        // Arrays are bounded by the pool their values take at least a word each of.
        if (t.elements > m_poolSize / 4) {
            throw Invalid("effect file: an array with more elements than its pool holds");
        }
        return t;
    }

    EffectFile::Type type(std::uint32_t offset) const {
        std::uint64_t end = 0;
        return type(offset, end, 0);
    }

    // Words of one element of a numeric type.
    static std::uint64_t numericWords(const EffectFile::Type& t) {
        if (t.klass != D3DXPC_STRUCT) {
            return std::uint64_t{t.rows} * t.columns;
        }
        std::uint64_t words = 0;
        for (const EffectFile::Type& m : t.members) {
            words += (m.elements == 0 ? 1 : m.elements) * numericWords(m);
        }
        return words;
    }

    // The words of a value of type t at offset: numbers, or one object id per element. Samplers
    // are read by sampler().
    std::vector<std::uint32_t> value(const EffectFile::Type& t, std::uint64_t offset) const {
        const std::uint64_t elements = t.elements == 0 ? 1 : t.elements;
        const std::uint64_t words = t.klass == D3DXPC_OBJECT ? elements : elements * numericWords(t);
        if (words > m_poolSize / 4) {
            throw Invalid("effect file: a value larger than its pool");
        }
        std::vector<std::uint32_t> v;
        v.reserve(static_cast<std::size_t>(words));
        for (std::uint64_t i = 0; i < words; ++i) {
            v.push_back(poolWord(offset + 4 * i));
        }
        if (t.klass == D3DXPC_OBJECT) {
            for (const std::uint32_t id : v) {
                if (id >= m_objectCount) {
                    throw Invalid("effect file: an object id past the object count");
                }
            }
        }
        return v;
    }

    // The states of a sampler at offset: a count, then state records inline; its end goes to end.
    std::vector<EffectFile::State> sampler(std::uint64_t offset, std::uint64_t& end, int depth) const {
        const std::uint32_t count = poolWord(offset);
        if (count > m_poolSize / 16) {
            throw Invalid("effect file: a sampler with more states than its pool holds");
        }
        std::vector<EffectFile::State> states;
        for (std::uint32_t s = 0; s < count; ++s) {
            const std::uint64_t record = offset + 4 + 16 * std::uint64_t{s};
            states.push_back(state(poolWord(record), poolWord(record + 4), poolWord(record + 8),
                                   poolWord(record + 12), depth + 1));
        }
        end = offset + 4 + 16 * std::uint64_t{count};
        return states;
    }

    // The samplers of a sampler parameter: one per element, one after another.
    std::vector<std::vector<EffectFile::State>> samplers(const EffectFile::Type& t,
                                                         std::uint64_t offset) const {
        std::vector<std::vector<EffectFile::State>> all;
        const std::uint32_t elements = t.elements == 0 ? 1 : t.elements;
        for (std::uint32_t i = 0; i < elements; ++i) {
            all.push_back(sampler(offset, offset, 0));
        }
        return all;
    }

    EffectFile::State state(std::uint32_t operation, std::uint32_t index, std::uint32_t typeOffset,
                            std::uint32_t valueOffset, int depth) const {
        const EffectStates::Entry* entry = EffectStates::find(operation);
        if (entry == nullptr) {
            throw Invalid("effect file: a state of unknown operation " + hexText(operation));
        }
        EffectFile::State s;
        s.operation = operation;
        s.index = index;
        s.type = type(typeOffset);
        if (s.type.klass == D3DXPC_STRUCT) {
            throw Invalid("effect file: a state of a type no state takes");
        }
        using Kind = EffectStates::Kind;
        if (isSampler(s.type)) {
            // A sampler given in place, for the pass state that sets a whole sampler.
            if (entry->kind != Kind::Sampler || depth > 0 || s.type.elements != 0) {
                throw Invalid("effect file: a sampler in a state that takes none");
            }
            std::uint64_t end = 0;
            s.sampler = sampler(valueOffset, end, depth);
            return s;
        }
        // Shader and texture states hold an object of their kind, or the number 0 for none.
        const std::uint32_t wanted = entry->kind == Kind::VertexShader  ? D3DXPT_VERTEXSHADER
                                     : entry->kind == Kind::PixelShader ? D3DXPT_PIXELSHADER
                                     : entry->kind == Kind::Texture     ? D3DXPT_TEXTURE
                                                                        : 0;
        s.value = value(s.type, valueOffset);
        if (wanted != 0) {
            const bool object = s.type.klass == D3DXPC_OBJECT &&
                                (wanted == D3DXPT_TEXTURE ? isTexture(s.type) : s.type.type == wanted);
            const bool none = s.type.klass != D3DXPC_OBJECT && s.type.type == D3DXPT_INT &&
                              s.value.size() == 1 && s.value[0] == 0;
            if ((!object && !none) || s.value.size() != 1) {
                throw Invalid("effect file: a " + std::string(entry->name) +
                              " state that holds no object of its kind");
            }
        } else if (s.type.klass == D3DXPC_OBJECT) {
            throw Invalid("effect file: an object in a state that takes a number");
        }
        return s;
    }

private:
    const Reader& m_file;
    std::size_t m_poolSize;
    std::uint32_t m_objectCount;
};

// The NUL-terminated text at the start of bytes, which must hold its terminator.
std::string text(const std::uint8_t* bytes, std::size_t size, const char* what) {
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] == 0) {
            return std::string(reinterpret_cast<const char*>(bytes), i);
        }
    }
    throw Invalid(std::string("effect file: ") + what + " without its terminator");
}

// Gives a state the resource that completes it: shader code, an expression, or a parameter's name.
void attach(EffectFile& file, EffectFile::State& state, std::uint32_t usage, const std::uint8_t* data,
            std::uint32_t size) {
    const EffectStates::Kind kind = EffectStates::find(state.operation)->kind;
    const bool shaderState =
        kind == EffectStates::Kind::VertexShader || kind == EffectStates::Kind::PixelShader;
    switch (usage) {
    case kUsageObject:
        if (shaderState && state.type.klass == D3DXPC_OBJECT) {
            // The code of the shader object the state names.
            file.objects[state.value.at(0)].assign(data, data + size);
        } else if (state.type.klass != D3DXPC_OBJECT && state.sampler.empty() && !shaderState &&
                   kind != EffectStates::Kind::Texture) {
            state.source = EffectFile::Source::Expression;
            state.code.assign(data, data + size);
        } else {
            throw Invalid("effect file: code for a state that takes none");
        }
        break;
    case kUsageParameterName:
        state.source = EffectFile::Source::Parameter;
        state.parameter = text(data, size, "a parameter's name");
        break;
    case kUsageArraySelector: {
        // The name's length (its own word included), the name, a word, then the index expression.
        if (size < 4) {
            throw Invalid("effect file: an array selector without its name");
        }
        const std::uint32_t nameEnd = std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                                      std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24;
        if (nameEnd < 4 || nameEnd > size - 4) {
            throw Invalid("effect file: an array selector whose name runs past it");
        }
        state.source = EffectFile::Source::ArraySelector;
        state.parameter = text(data + 4, nameEnd - 4, "an array selector's name");
        state.code.assign(data + nameEnd + 4, data + size);
        break;
    }
    default:
        throw Invalid("effect file: a resource of unknown usage " + hexText(usage));
    }
}

} // namespace

int EffectFile::parameterNamed(const std::string& name) const {
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].type.name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const char* EffectFile::typeName(std::uint32_t type) {
    static const char* const names[] = {"void",         "bool",          "int",           "float",
                                        "string",       "texture",       "texture1D",     "texture2D",
                                        "texture3D",    "textureCUBE",   "sampler",       "sampler1D",
                                        "sampler2D",    "sampler3D",     "samplerCUBE",   "pixelshader",
                                        "vertexshader", "pixelfragment", "vertexfragment"};
    return type < sizeof names / sizeof names[0] ? names[type] : nullptr;
}

const char* EffectFile::className(std::uint32_t klass) {
    static const char* const names[] = {"scalar",         "vector", "matrix_rows",
                                        "matrix_columns", "object", "struct"};
    return klass < sizeof names / sizeof names[0] ? names[klass] : nullptr;
}

// Layout, little-endian words; pool offsets count from file offset 8:
//
//   0        tag 0xFEFF0901
//   4        pool size h; the pool (names, type records, values) is bytes 8 .. 8 + h
//   8 + h    parameter count, technique count, unused, object count
//            parameters: type, value, flags, annotation count, (type, value) per annotation
//            techniques: name, annotation count, pass count, annotation pairs, passes:
//              name, annotation count, state count, annotation pairs, states:
//              operation, index, type, value
//            object count n, resource count
//            n objects: id, size, bytes padded to 4 (strings and the code of shader variables)
//            resources: technique (0xFFFFFFFF: index names a parameter), index (pass or
//              parameter), element, state, usage (0 code, 1 a parameter's name, 2 an array
//              selector), size, bytes padded to 4
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
        std::size_t at = kPoolStart + poolSize;
        const std::uint32_t parameterCount = in.word(at);
        const std::uint32_t techniqueCount = in.word(at + 4);
        file.objectCount = in.word(at + 12);
        const Parser pool(in, poolSize, file.objectCount);
        at += 16;

        auto annotations = [&](std::uint32_t count) {
            in.require(at, count, 8);
            std::vector<Annotation> list;
            for (std::uint32_t i = 0; i < count; ++i) {
                Annotation a;
                a.type = pool.type(in.word(at));
                if (isSampler(a.type)) {
                    throw Invalid("effect file: a sampler as an annotation");
                }
                a.value = pool.value(a.type, in.word(at + 4));
                list.push_back(std::move(a));
                at += 8;
            }
            return list;
        };

        in.require(at, parameterCount, 16);
        for (std::uint32_t i = 0; i < parameterCount; ++i) {
            Parameter p;
            p.type = pool.type(in.word(at));
            // Parameters are found by name: by states, by shaders' constants and by callers.
            if (p.type.name.empty()) {
                throw Invalid("effect file: a parameter without a name");
            }
            const std::uint32_t valueOffset = in.word(at + 4);
            const std::uint32_t annotationCount = in.word(at + 12);
            at += 16;
            if (isSampler(p.type)) {
                p.samplers = pool.samplers(p.type, valueOffset);
            } else {
                p.value = pool.value(p.type, valueOffset);
            }
            p.annotations = annotations(annotationCount);
            file.parameters.push_back(std::move(p));
        }

        in.require(at, techniqueCount, 12);
        for (std::uint32_t t = 0; t < techniqueCount; ++t) {
            Technique technique;
            technique.name = pool.name(in.word(at));
            const std::uint32_t techniqueAnnotations = in.word(at + 4);
            const std::uint32_t passCount = in.word(at + 8);
            at += 12;
            technique.annotations = annotations(techniqueAnnotations);
            in.require(at, passCount, 12);
            for (std::uint32_t p = 0; p < passCount; ++p) {
                Pass pass;
                pass.name = pool.name(in.word(at));
                const std::uint32_t passAnnotations = in.word(at + 4);
                const std::uint32_t stateCount = in.word(at + 8);
                at += 12;
                pass.annotations = annotations(passAnnotations);
                in.require(at, stateCount, 16);
                for (std::uint32_t s = 0; s < stateCount; ++s) {
                    pass.states.push_back(
                        pool.state(in.word(at), in.word(at + 4), in.word(at + 8), in.word(at + 12), 0));
                    at += 16;
                }
                technique.passes.push_back(std::move(pass));
            }
            file.techniques.push_back(std::move(technique));
        }

        const std::uint32_t objectEntries = in.word(at);
        const std::uint32_t resourceCount = in.word(at + 4);
        at += 8;
        auto padded = [](std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; };
        in.require(at, objectEntries, 8);
        for (std::uint32_t i = 0; i < objectEntries; ++i) {
            const std::uint32_t id = in.word(at);
            const std::uint32_t bytesCount = in.word(at + 4);
            if (id >= file.objectCount) {
                throw Invalid("effect file: an object of an id past the object count");
            }
            in.require(at + 8, padded(bytesCount), 1);
            file.objects[id].assign(in.at(at + 8), in.at(at + 8) + bytesCount);
            at += 8 + static_cast<std::size_t>(padded(bytesCount));
        }
        in.require(at, resourceCount, 24);
        for (std::uint32_t i = 0; i < resourceCount; ++i) {
            const std::uint32_t technique = in.word(at);
            const std::uint32_t index = in.word(at + 4);
            const std::uint32_t element = in.word(at + 8);
            const std::uint32_t stateIndex = in.word(at + 12);
            const std::uint32_t usage = in.word(at + 16);
            const std::uint32_t bytesCount = in.word(at + 20);
            at += 24;
            in.require(at, padded(bytesCount), 1);
            // The state a resource belongs to must exist: a parameter's sampler state or a pass's.
            State* state = nullptr;
            if (technique == kNone) {
                if (index >= file.parameters.size() || file.parameters[index].samplers.empty()) {
                    throw Invalid("effect file: a resource of a sampler that does not exist");
                }
                auto& samplers = file.parameters[index].samplers;
                const std::size_t e = element == kNone ? 0 : element;
                if (e >= samplers.size() || stateIndex >= samplers[e].size()) {
                    throw Invalid("effect file: a resource of a sampler state that does not exist");
                }
                state = &samplers[e][stateIndex];
            } else {
                if (technique >= file.techniques.size() ||
                    index >= file.techniques[technique].passes.size() ||
                    stateIndex >= file.techniques[technique].passes[index].states.size()) {
                    throw Invalid("effect file: a resource of a pass state that does not exist");
                }
                state = &file.techniques[technique].passes[index].states[stateIndex];
            }
            attach(file, *state, usage, in.at(at), bytesCount);
            at += static_cast<std::size_t>(padded(bytesCount));
        }
    } catch (const Invalid& e) {
        error = e.what();
        file = EffectFile{};
        return false;
    } catch (const std::out_of_range&) {
        error = "effect file: code for a state without an object";
        file = EffectFile{};
        return false;
    }
    return true;
}
