#include "engine/gl/constanttable.h"

#include "engine/d3d/d3dx9effect.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::uint32_t kFourCCCtab = 0x42415443; // 'CTAB'
constexpr std::uint32_t kCommentToken = 0xFFFE;
constexpr std::uint32_t kHeaderSize = 28;
constexpr std::uint32_t kConstantInfoSize = 20;
constexpr std::uint32_t kTypeInfoSize = 16;
constexpr int kMaxDepth = 8;
// Arrays of arrays of structures could ask for billions of parts; no real table has this many.
constexpr std::uint32_t kMaxParts = 65536;

struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The table's bytes; offsets inside count from its first byte.
class Bytes {
public:
    Bytes(const std::uint8_t* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

    std::uint32_t word(std::uint64_t at) const {
        check(at, 4);
        const std::uint8_t* p = m_bytes + at;
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }
    std::uint16_t half(std::uint64_t at) const {
        check(at, 2);
        return static_cast<std::uint16_t>(m_bytes[at] | m_bytes[at + 1] << 8);
    }
    std::string text(std::uint64_t at) const {
        check(at, 1);
        const auto* begin = reinterpret_cast<const char*>(m_bytes + at);
        const auto* end =
            static_cast<const char*>(std::memchr(begin, 0, static_cast<std::size_t>(m_size - at)));
        if (end == nullptr) {
            throw Invalid("constant table: a name without its terminator");
        }
        return std::string(begin, end);
    }

private:
    void check(std::uint64_t at, std::uint64_t size) const {
        if (at > m_size || m_size - at < size) {
            throw Invalid("constant table: an offset points past the table");
        }
    }

    const std::uint8_t* m_bytes;
    std::uint64_t m_size;
};

// Registers one element of a type takes, as D3DX counts them.
std::uint32_t leafSize(std::uint16_t set, std::uint16_t klass, std::uint16_t rows, std::uint16_t columns) {
    if (set == ConstantTable::Bool) {
        return std::uint32_t{rows} * columns;
    }
    if (set == ConstantTable::Sampler) {
        return 1;
    }
    switch (klass) {
    case d3d::D3DXPC_VECTOR:
        return 1;
    case d3d::D3DXPC_SCALAR:
    case d3d::D3DXPC_MATRIX_ROWS:
        return rows;
    case d3d::D3DXPC_MATRIX_COLUMNS:
        return columns;
    default:
        return 0;
    }
}

// The constant of the type record at typeOffset, first register index, registers available up to
// maxIndex; arrays and structures recurse, each part taking the registers after the one before.
ConstantTable::Constant constant(const Bytes& table, std::uint32_t typeOffset, bool isElement,
                                 std::uint32_t index, std::uint32_t maxIndex, std::string name,
                                 ConstantTable::RegisterSet set, int depth, std::uint32_t& parts) {
    if (depth > kMaxDepth || ++parts > kMaxParts) {
        throw Invalid("constant table: types nested too deep or too large");
    }
    ConstantTable::Constant c;
    c.name = std::move(name);
    c.set = set;
    c.registerIndex = index;
    c.klass = table.half(typeOffset);
    c.type = table.half(typeOffset + 2);
    c.rows = table.half(typeOffset + 4);
    c.columns = table.half(typeOffset + 6);
    const std::uint16_t elements = table.half(typeOffset + 8);
    const std::uint16_t members = table.half(typeOffset + 10);
    const std::uint32_t memberInfo = table.word(typeOffset + 12);
    c.elements = isElement ? 1 : elements;
    std::uint32_t size = 0;
    if (elements > 1 && !isElement) {
        for (std::uint16_t i = 0; i < elements; ++i) {
            c.members.push_back(
                constant(table, typeOffset, true, index + size, maxIndex, c.name, set, depth + 1, parts));
            size += c.members.back().registerCount;
        }
    } else if (c.klass == d3d::D3DXPC_STRUCT && members > 0) {
        for (std::uint16_t i = 0; i < members; ++i) {
            const std::uint64_t info = std::uint64_t{memberInfo} + 8u * i;
            c.members.push_back(constant(table, table.word(info + 4), false, index + size, maxIndex,
                                         table.text(table.word(info)), set, depth + 1, parts));
            size += c.members.back().registerCount;
        }
    } else {
        if (c.klass == d3d::D3DXPC_OBJECT && set != ConstantTable::Sampler) {
            throw Invalid("constant table: an object outside the sampler registers");
        }
        size = leafSize(set, c.klass, c.rows, c.columns);
    }
    c.registerCount = index >= maxIndex ? 0 : std::min(maxIndex - index, size);
    return c;
}

} // namespace

const std::uint32_t* ConstantTable::findComment(const std::uint32_t* code, std::size_t words,
                                                std::uint32_t fourCC, std::size_t& length) {
    std::size_t at = 1;
    while (at < words && (code[at] & 0xFFFF) == kCommentToken) {
        const std::size_t blockWords = code[at] >> 16;
        if (blockWords == 0 || blockWords > words - at - 1) {
            return nullptr;
        }
        if (code[at + 1] == fourCC) {
            length = blockWords;
            return code + at + 1;
        }
        at += blockWords + 1;
    }
    return nullptr;
}

// Layout (offsets in bytes from the first byte after 'CTAB'):
//   header       size 28, creator, version, constant count, constant info offset, flags, target
//   constant     name, register set (16 bits), register index (16), register count (16),
//                reserved (16), type info offset, default value offset: 20 bytes each
//   type info    class, type, rows, columns, elements, struct members (16 bits each),
//                struct member info offset
//   member info  name, type info offset: 8 bytes each
bool ConstantTable::read(const std::uint32_t* code, std::size_t words, ConstantTable& result,
                         std::string& error) {
    result = ConstantTable{};
    std::size_t length = 0;
    const std::uint32_t* block = findComment(code, words, kFourCCCtab, length);
    if (block == nullptr) {
        return true;
    }
    try {
        const Bytes table(reinterpret_cast<const std::uint8_t*>(block + 1), (length - 1) * 4);
        if (table.word(0) != kHeaderSize) {
            throw Invalid("constant table: a header of another size");
        }
        const std::uint32_t count = table.word(12);
        const std::uint32_t infos = table.word(16);
        if (count > (length * 4) / kConstantInfoSize) {
            throw Invalid("constant table: more constants than the table holds");
        }
        std::uint32_t parts = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t info = std::uint64_t{infos} + std::uint64_t{kConstantInfoSize} * i;
            const std::uint16_t set = table.half(info + 4);
            if (set > Sampler) {
                throw Invalid("constant table: a constant of unknown register set");
            }
            const std::uint32_t index = table.half(info + 6);
            const std::uint32_t registers = table.half(info + 8);
            const std::uint32_t typeInfo = table.word(info + 12);
            table.half(std::uint64_t{typeInfo} + kTypeInfoSize - 2); // the whole record is there
            result.constants.push_back(constant(table, typeInfo, false, index, index + registers,
                                                table.text(table.word(info)), static_cast<RegisterSet>(set),
                                                0, parts));
        }
    } catch (const Invalid& e) {
        error = e.what();
        result = ConstantTable{};
        return false;
    }
    return true;
}
