#pragma once

#include <optional>
#include <string>

// The values of a registry file that Wine keeps in a prefix (system.reg, user.reg), read from its
// text. Key and value names match ignoring ASCII case; lines that do not read are passed over.
class WineRegistry {
public:
    // Keeps text, the whole file, for the lookups.
    explicit WineRegistry(std::string text);

    // The text of the string value name under key (a path below the file's root with single
    // backslashes; an empty name is the key's default value), in UTF-8 and without terminating
    // zeros. None when the key or the value is missing or the value is not a string.
    std::optional<std::string> stringValue(const std::string& key, const std::string& name) const;

private:
    std::string m_text;
};
