#pragma once

#include <string>

// Root of every error the program raises: where it was raised and what to tell the user.
// Raise sites pass __FILE__ and __LINE__ and throw by value; catch points take a reference.
class Exception {
public:
    Exception(std::string file, int line, std::string message);
    virtual ~Exception();

    // Source file of the raising statement, as the compiler names it.
    const std::string& getFile() const { return m_file; }
    // Text for the user; may contain line breaks.
    const std::string& getMessage() const { return m_message; }
    // Line of the raising statement.
    int getLine() const { return m_line; }

private:
    std::string m_file;
    std::string m_message;
    int m_line;
};
