#pragma once

#include <ostream>
#include <string>
#include <vector>

// kestrin-info effect: a compiled effect file as JSON: its parameters with their annotations, its
// techniques, passes and states (each state's value a constant, a named parameter or an expression
// over parameters), the shaders the passes run and where they live, and on Linux whether the
// native renderer can draw each technique and why not.
class EffectCommand {
public:
    // Describes the effect in bytes (read from the file named name) on out. BadFileException
    // when the bytes are no effect our reader takes.
    static void describe(const std::string& name, const std::vector<unsigned char>& bytes, std::ostream& out,
                         std::ostream& err);
};
