#include "render/picturecomparison.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

PictureComparison::PictureComparison(const std::vector<std::uint8_t>& reference,
                                     const std::vector<std::uint8_t>& other)
    : m_difference(reference.size(), 255) {
    if (reference.size() != other.size() || reference.size() % 4 != 0) {
        throw std::invalid_argument("pictures of different sizes");
    }
    const std::size_t pixels = reference.size() / 4;
    std::size_t within = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        int worst = 0;
        bool lit[2] = {};
        for (std::size_t c = 0; c < 3; ++c) {
            const int d = std::abs(reference[i * 4 + c] - other[i * 4 + c]);
            worst = std::max(worst, d);
            lit[0] = lit[0] || reference[i * 4 + c] != 0;
            lit[1] = lit[1] || other[i * 4 + c] != 0;
            m_difference[i * 4 + c] = static_cast<std::uint8_t>(std::min(255, d * 8));
        }
        m_largest = std::max(m_largest, worst);
        within += worst <= kTolerance ? 1 : 0;
        m_lit[0] += lit[0] ? 1 : 0;
        m_lit[1] += lit[1] ? 1 : 0;
    }
    m_share = pixels == 0 ? 1.0 : static_cast<double>(within) / static_cast<double>(pixels);
}
