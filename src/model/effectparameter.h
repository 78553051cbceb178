#pragma once

#include <cstdint>
#include <string>

// One named value to set on an effect. Fields the type does not use hold no defined value.
struct EffectParameter {
    static constexpr std::int32_t kFloat = 0;
    static constexpr std::int32_t kTexture = 1;
    static constexpr std::int32_t kFloat4 = 2;
    static constexpr std::int32_t kMatrix = 3;

    std::string name;
    std::int32_t type = kFloat;
    float floatValue = 0;
    float float4Value[4] = {0, 0, 0, 0};
    float matrixValue[16] = {};
    std::string textureName;
};
