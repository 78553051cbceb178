#pragma once

#include <array>
#include <cstdint>

// One bone of a model's skeleton: its parent's index (-1 for none) and the row-major matrix that
// maps the bone's space into its parent's, translation in the fourth column.
struct Bone {
    std::int32_t parent = -1;
    std::array<float, 16> matrix{};
};
