#pragma once

#include "model/effectparameter.h"

#include <string>
#include <vector>

// The effect a mesh is drawn with and the values to set on it, in file order.
struct Material {
    std::string effectName;
    std::vector<EffectParameter> parameters;
};
