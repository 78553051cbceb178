#pragma once

#include <cstdint>
#include <string>

// Appends little-endian fields to a byte string; the building block of the file writers.
class ByteWriter {
public:
    ByteWriter& u8(std::uint32_t value);
    ByteWriter& u16(std::uint32_t value);
    ByteWriter& u32(std::uint32_t value);
    ByteWriter& i32(std::int32_t value);
    ByteWriter& f32(float value);
    ByteWriter& bytes(const std::string& data);
    // The text followed by one zero byte.
    ByteWriter& cstring(const std::string& text);

    const std::string& data() const { return m_data; }

    // Writes bytes to the file at path, replacing it; false when it cannot be written.
    static bool saveFile(const std::string& path, const std::string& bytes);
    std::size_t size() const { return m_data.size(); }

private:
    std::string m_data;
};
