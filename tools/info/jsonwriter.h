#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Writes compact JSON to a stream, placing the commas. Strings are byte strings: bytes of 0x80
// and above are written as \u00XX, so the output is plain ASCII and valid UTF-8 whatever the input.
class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(const std::string& name);
    JsonWriter& value(const std::string& text);
    JsonWriter& value(const char* text) { return value(std::string(text)); }
    JsonWriter& value(std::uint64_t number);
    JsonWriter& value(std::int64_t number);
    // Nine significant digits, enough for a 32-bit float to read back exactly; null when not finite.
    JsonWriter& value(float number);
    JsonWriter& value(bool flag);
    JsonWriter& null();

private:
    void separate();
    void writeString(const std::string& text);

    std::ostream& m_out;
    std::vector<bool> m_first;
    bool m_afterKey = false;
};
