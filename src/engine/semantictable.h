#pragma once

#include "model/effectparameter.h"

#include <map>
#include <string>

// The scene values offered to effects for one mesh, by semantic name (case-sensitive).
using SemanticTable = std::map<std::string, EffectParameter>;
