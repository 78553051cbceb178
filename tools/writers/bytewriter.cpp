#include "writers/bytewriter.h"

#include <cstring>
#include <fstream>

ByteWriter& ByteWriter::u8(std::uint32_t value) {
    m_data.push_back(static_cast<char>(value & 0xFFu));
    return *this;
}

ByteWriter& ByteWriter::u16(std::uint32_t value) {
    return u8(value).u8(value >> 8);
}

ByteWriter& ByteWriter::u32(std::uint32_t value) {
    return u16(value).u16(value >> 16);
}

ByteWriter& ByteWriter::i32(std::int32_t value) {
    return u32(static_cast<std::uint32_t>(value));
}

ByteWriter& ByteWriter::f32(float value) {
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value, "32-bit floats");
    std::memcpy(&bits, &value, sizeof bits);
    return u32(bits);
}

ByteWriter& ByteWriter::bytes(const std::string& data) {
    m_data += data;
    return *this;
}

ByteWriter& ByteWriter::cstring(const std::string& text) {
    m_data += text;
    m_data.push_back('\0');
    return *this;
}

bool ByteWriter::saveFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
