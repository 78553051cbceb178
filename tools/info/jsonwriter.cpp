#include "info/jsonwriter.h"

#include <cmath>
#include <cstdio>

JsonWriter& JsonWriter::beginObject() {
    separate();
    m_out << '{';
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    m_out << '}';
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    m_out << '[';
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    m_out << ']';
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(const std::string& name) {
    separate();
    writeString(name);
    m_out << ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& text) {
    separate();
    writeString(text);
    return *this;
}

JsonWriter& JsonWriter::value(std::uint64_t number) {
    separate();
    m_out << number;
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    m_out << number;
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    m_out << (flag ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::value(float number) {
    if (!std::isfinite(number)) {
        return null();
    }
    separate();
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(number));
    m_out << text;
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    m_out << "null";
    return *this;
}

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) {
            m_out << ',';
        }
        m_first.back() = false;
    }
}

void JsonWriter::writeString(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    // Built whole and written in one go: a stream takes one call per piece it is given.
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                quoted += "\\u00";
                quoted += kHex[byte >> 4];
                quoted += kHex[byte & 0xF];
            } else {
                quoted += c;
            }
        }
    }
    quoted += '"';
    m_out.write(quoted.data(), static_cast<std::streamsize>(quoted.size()));
}
