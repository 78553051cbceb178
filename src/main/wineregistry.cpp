#include "main/wineregistry.h"

#include "main/textcase.h"

#include <cstdint>
#include <string_view>

namespace {

// The lines of a text, each without its line feed and carriage return.
class Lines {
public:
    explicit Lines(std::string_view text) : m_text(text) {}

    // The next line; false at the end of the text.
    bool next(std::string_view& line) {
        if (m_pos >= m_text.size()) {
            return false;
        }
        std::size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos) {
            end = m_text.size();
        }
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// UTF-8 text built from raw bytes and from the UTF-16 code units that escapes and hex data give;
// a surrogate without its partner becomes U+FFFD.
class Utf8Builder {
public:
    void byte(char c) {
        flush();
        m_text += c;
    }

    void unit(std::uint32_t u) {
        if (m_high != 0 && u >= 0xDC00 && u <= 0xDFFF) {
            append(0x10000 + ((m_high - 0xD800) << 10) + (u - 0xDC00));
            m_high = 0;
            return;
        }
        flush();
        if (u >= 0xD800 && u <= 0xDBFF) {
            m_high = u;
        } else {
            append(u >= 0xDC00 && u <= 0xDFFF ? kReplacement : u);
        }
    }

    std::string finish() {
        flush();
        return std::move(m_text);
    }

private:
    static constexpr std::uint32_t kReplacement = 0xFFFD;

    void flush() {
        if (m_high != 0) {
            append(kReplacement);
            m_high = 0;
        }
    }

    void append(std::uint32_t c) {
        if (c < 0x80) {
            m_text += static_cast<char>(c);
        } else if (c < 0x800) {
            m_text += static_cast<char>(0xC0 | (c >> 6));
            m_text += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            m_text += static_cast<char>(0xE0 | (c >> 12));
            m_text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            m_text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            m_text += static_cast<char>(0xF0 | (c >> 18));
            m_text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            m_text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            m_text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::string m_text;
    std::uint32_t m_high = 0;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// Reads the escaped text that starts at pos and ends at the first unescaped end character, and
// leaves pos after it. Wine writes code units above 127 as \x with up to four hex digits (the
// shorter form only when no hex digit follows), control characters as C or octal escapes, and a
// backslash before the end characters; any other escaped character stands for itself. False when
// the line ends first.
bool readEscaped(std::string_view line, std::size_t& pos, char end, std::string& out) {
    Utf8Builder text;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == end) {
            out = text.finish();
            return true;
        }
        if (c != '\\') {
            text.byte(c);
            continue;
        }
        if (pos == line.size()) {
            break;
        }
        c = line[pos++];
        switch (c) {
        case 'a':
            text.unit('\a');
            break;
        case 'b':
            text.unit('\b');
            break;
        case 'e':
            text.unit(0x1B);
            break;
        case 'f':
            text.unit('\f');
            break;
        case 'n':
            text.unit('\n');
            break;
        case 'r':
            text.unit('\r');
            break;
        case 't':
            text.unit('\t');
            break;
        case 'v':
            text.unit('\v');
            break;
        case 'x': {
            if (pos == line.size() || hexDigit(line[pos]) < 0) {
                text.byte('x');
                break;
            }
            std::uint32_t u = 0;
            for (int i = 0; i < 4 && pos < line.size() && hexDigit(line[pos]) >= 0; ++i) {
                u = u * 16 + static_cast<std::uint32_t>(hexDigit(line[pos++]));
            }
            text.unit(u);
            break;
        }
        default:
            if (isOctal(c)) {
                std::uint32_t u = static_cast<std::uint32_t>(c - '0');
                for (int i = 0; i < 2 && pos < line.size() && isOctal(line[pos]); ++i) {
                    u = u * 8 + static_cast<std::uint32_t>(line[pos++] - '0');
                }
                text.unit(u);
            } else {
                text.byte(c);
            }
            break;
        }
    }
    return false;
}

std::string withoutTerminatingZeros(std::string text) {
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

bool startsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

// The number in hex digits between "type(" and "):" at the start of data, and the position
// after the colon; false when data does not start so.
bool readType(std::string_view data, std::string_view type, std::uint32_t& number, std::size_t& pos) {
    if (!startsWith(data, type) || data.size() <= type.size() || data[type.size()] != '(') {
        return false;
    }
    number = 0;
    std::size_t i = type.size() + 1;
    const std::size_t first = i;
    for (; i < data.size() && hexDigit(data[i]) >= 0 && i - first < 8; ++i) {
        number = number * 16 + static_cast<std::uint32_t>(hexDigit(data[i]));
    }
    if (i == first || data.substr(i, 2) != "):") {
        return false;
    }
    pos = i + 2;
    return true;
}

// The bytes of hex data ("xx,xx,..."), where a line that ends with a backslash goes on in the
// next line of lines. False on anything else, or when the text ends inside the data.
bool readHexBytes(std::string_view part, Lines& lines, std::string& bytes) {
    for (;;) {
        const bool more = !part.empty() && part.back() == '\\';
        if (more) {
            part.remove_suffix(1);
        }
        int value = 0;
        int digits = 0;
        for (const char c : part) {
            const int d = hexDigit(c);
            if (d >= 0) {
                if (++digits > 2) {
                    return false;
                }
                value = value * 16 + d;
            } else if (c == ',') {
                if (digits == 0) {
                    return false;
                }
                bytes += static_cast<char>(value);
                value = 0;
                digits = 0;
            } else if (c != ' ' && c != '\t') {
                return false;
            }
        }
        if (digits > 0) {
            bytes += static_cast<char>(value);
        }
        if (!more) {
            return true;
        }
        if (!lines.next(part)) {
            return false;
        }
    }
}

// The text of a value's data (what follows its '='), reading the continuation lines of hex data
// from lines. Strings are written quoted, with str(type): before the quote unless they are plain
// REG_SZ; a string value that was stored without its terminator is written as hex(type): bytes of
// UTF-16. None for data of other types.
std::optional<std::string> readStringData(std::string_view data, Lines& lines) {
    constexpr std::uint32_t kString = 1;
    constexpr std::uint32_t kExpandString = 2;
    constexpr std::uint32_t kMultiString = 7;
    std::uint32_t type = 0;
    std::size_t pos = 0;
    if (readType(data, "hex", type, pos)) {
        std::string bytes;
        if ((type != kString && type != kExpandString && type != kMultiString) ||
            !readHexBytes(data.substr(pos), lines, bytes)) {
            return std::nullopt;
        }
        Utf8Builder text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto low = static_cast<unsigned char>(bytes[i]);
            const auto high = static_cast<unsigned char>(bytes[i + 1]);
            text.unit(static_cast<std::uint32_t>(low | high << 8));
        }
        return withoutTerminatingZeros(text.finish());
    }
    if (!readType(data, "str", type, pos)) {
        pos = 0;
    }
    if (pos >= data.size() || data[pos] != '"') {
        return std::nullopt;
    }
    ++pos;
    std::string text;
    if (!readEscaped(data, pos, '"', text)) {
        return std::nullopt;
    }
    return withoutTerminatingZeros(std::move(text));
}

} // namespace

WineRegistry::WineRegistry(std::string text) : m_text(std::move(text)) {}

std::optional<std::string> WineRegistry::stringValue(const std::string& key, const std::string& name) const {
    const std::string wantedKey = toLowerAscii(key);
    const std::string wantedName = toLowerAscii(name);
    Lines lines(m_text);
    std::string_view line;
    bool inKey = false;
    std::optional<std::string> found;
    while (lines.next(line)) {
        if (line.empty()) {
            continue;
        }
        std::size_t pos = 1;
        if (line[0] == '[') {
            // The key's name; its modification time follows the bracket.
            std::string keyName;
            inKey = readEscaped(line, pos, ']', keyName) && toLowerAscii(keyName) == wantedKey;
            continue;
        }
        std::string valueName;
        if (!inKey || (line[0] != '@' && line[0] != '"') ||
            (line[0] == '"' && !readEscaped(line, pos, '"', valueName))) {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=' || toLowerAscii(valueName) != wantedName) {
            continue;
        }
        // A name given twice keeps the last value that reads, as loading the file would.
        std::optional<std::string> value = readStringData(line.substr(pos + 1), lines);
        if (value) {
            found = std::move(value);
        }
    }
    return found;
}
