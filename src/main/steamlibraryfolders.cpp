#include "main/steamlibraryfolders.h"

#include "main/textcase.h"

#include <optional>

namespace {

enum class Token { Text, Open, Close, End };

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next token from pos: a quoted string (with \\, \", \n and \t escapes; a backslash before
// anything else is kept) or a bare word, a brace, or End at the end of the text or inside an
// unclosed quote. Comments run from // to the end of the line.
Token nextToken(const std::string& text, std::size_t& pos, std::string& value) {
    for (;;) {
        while (pos < text.size() && isSpace(text[pos])) {
            ++pos;
        }
        if (text.compare(pos, 2, "//") != 0) {
            break;
        }
        pos = text.find('\n', pos);
        if (pos == std::string::npos) {
            pos = text.size();
        }
    }
    if (pos >= text.size()) {
        return Token::End;
    }
    const char first = text[pos++];
    if (first == '{') {
        return Token::Open;
    }
    if (first == '}') {
        return Token::Close;
    }
    value.clear();
    if (first != '"') {
        value += first;
        while (pos < text.size() && !isSpace(text[pos]) && text[pos] != '"' && text[pos] != '{' &&
               text[pos] != '}') {
            value += text[pos++];
        }
        return Token::Text;
    }
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') {
            return Token::Text;
        }
        if (c != '\\' || pos == text.size()) {
            value += c;
            continue;
        }
        const char escaped = text[pos++];
        if (escaped == 'n') {
            value += '\n';
        } else if (escaped == 't') {
            value += '\t';
        } else if (escaped == '\\' || escaped == '"') {
            value += escaped;
        } else {
            value += '\\';
            value += escaped;
        }
    }
    return Token::End;
}

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

std::vector<std::string> steamLibraryFolders(const std::string& vdf) {
    std::vector<std::string> folders;
    std::size_t pos = 0;
    std::size_t depth = 0;
    std::optional<std::string> key;
    std::string value;
    for (;;) {
        const Token token = nextToken(vdf, pos, value);
        if (token == Token::End) {
            break;
        }
        if (token == Token::Text && !key) {
            key = value;
            continue;
        }
        if (token == Token::Text) {
            // Depth 1 is inside the root block, depth 2 inside one library's block.
            if ((depth == 2 && toLowerAscii(*key) == "path") || (depth == 1 && isNumber(*key))) {
                folders.push_back(value);
            }
        } else if (token == Token::Open) {
            ++depth;
        } else if (depth == 0) {
            break;
        } else {
            --depth;
        }
        key.reset();
    }
    return folders;
}
