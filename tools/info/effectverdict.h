#pragma once

#include <map>
#include <string>
#include <vector>

// What a renderer made of one compiled effect file: whether it accepted the file, the technique it
// draws with (the first) and whether it can, and the type of each parameter the effect declares.
struct EffectVerdict {
    bool accepted = false;
    bool hasTechnique = false;
    std::string technique;
    // Why the file is refused, or why its first technique cannot be drawn; empty when it can.
    std::string problem;
    // Why each technique cannot be drawn, in the file's order; empty where it can.
    std::vector<std::string> techniqueProblems;
    // Top-level parameters by name, each with its type as the effect's source would spell it
    // ("float", "float4", "float4x4", "texture2D", "sampler2D", "float[4]", ...).
    std::map<std::string, std::string> parameters;
};
