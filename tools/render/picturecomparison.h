#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How far one picture is from another of the same size, as the two renderers are held to agree: the
// share of pixels within 8/255 of the reference in every channel must reach 99%, and neither
// picture may be black where the other is not.
class PictureComparison {
public:
    static constexpr int kTolerance = 8;
    static constexpr double kAgreeingShare = 0.99;

    // Compares two pictures of the same number of RGBA pixels (alpha is not compared).
    PictureComparison(const std::vector<std::uint8_t>& reference, const std::vector<std::uint8_t>& other);

    // The share of pixels within the tolerance in every channel, 0 to 1.
    double share() const { return m_share; }
    // The largest difference of a channel, 0 to 255.
    int largest() const { return m_largest; }
    // Pixels that are not black, of the reference and of the other.
    std::size_t lit() const { return m_lit[0]; }
    std::size_t otherLit() const { return m_lit[1]; }
    // Whether enough pixels are within the tolerance and both pictures show something or neither.
    bool agrees() const { return m_share >= kAgreeingShare && (m_lit[0] == 0) == (m_lit[1] == 0); }
    // The differences, eight times as strong, as RGBA pixels: black where the pictures are equal.
    const std::vector<std::uint8_t>& difference() const { return m_difference; }

private:
    double m_share = 0;
    int m_largest = 0;
    std::size_t m_lit[2] = {};
    std::vector<std::uint8_t> m_difference;
};
