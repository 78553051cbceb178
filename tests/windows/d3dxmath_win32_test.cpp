// Our D3DX math and camera against the real D3DX 9 (d3dx9_43) over many pseudo-random inputs.
//
// Both sides compute in single precision but may order their operations differently and take
// sine, cosine and square roots from different libraries, so results are compared within float
// rounding: an entry may differ by at most 16 float epsilons (FLT_EPSILON, 2^-23) times the
// magnitude of the terms that make it up (for a product entry, the sum of the absolute values of
// the products summed). Transposition moves values without arithmetic and must match exactly.

#include "engine/camera.h"
#include "engine/d3d/d3dxmath.h"

#include <windows.h>

#include <d3dx9math.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace {

constexpr float kEpsilons = 16;
constexpr int kCases = 500;

// Uniform floats from a fixed seed, the same sequence on every run.
class Inputs {
public:
    explicit Inputs(std::uint32_t seed) : m_engine(seed) {}

    // A float in [low, high).
    float in(float low, float high) {
        const float unit = static_cast<float>(m_engine() >> 8) * (1.0f / 16777216.0f);
        return low + (high - low) * unit;
    }
    d3d::D3DXVECTOR3 vector(float range) { return {in(-range, range), in(-range, range), in(-range, range)}; }
    d3d::D3DXMATRIX matrix(float range) {
        d3d::D3DXMATRIX m;
        for (auto& row : m.m) {
            for (float& entry : row) {
                entry = in(-range, range);
            }
        }
        return m;
    }

private:
    std::mt19937 m_engine;
};

::D3DXVECTOR3 real(const d3d::D3DXVECTOR3& v) {
    return ::D3DXVECTOR3(v.x, v.y, v.z);
}

::D3DXMATRIX real(const d3d::D3DXMATRIX& m) {
    ::D3DXMATRIX r;
    std::memcpy(&r.m[0][0], &m.m[0][0], sizeof r.m);
    return r;
}

float tolerance(float magnitude) {
    return kEpsilons * FLT_EPSILON * std::max(magnitude, FLT_MIN);
}

// Every entry within the tolerance of the same magnitude.
::testing::AssertionResult matches(const d3d::D3DXMATRIX& ours, const ::D3DXMATRIX& theirs, float magnitude) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!(std::fabs(ours.m[r][c] - theirs.m[r][c]) <= tolerance(magnitude))) {
                return ::testing::AssertionFailure() << "entry " << r << "," << c << ": ours " << ours.m[r][c]
                                                     << ", D3DX " << theirs.m[r][c];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult matches(const d3d::D3DXVECTOR3& ours, const ::D3DXVECTOR3& theirs,
                                   const float magnitude[3]) {
    const float o[3] = {ours.x, ours.y, ours.z};
    const float t[3] = {theirs.x, theirs.y, theirs.z};
    for (int i = 0; i < 3; ++i) {
        if (!(std::fabs(o[i] - t[i]) <= tolerance(magnitude[i]))) {
            return ::testing::AssertionFailure()
                   << "component " << i << ": ours " << o[i] << ", D3DX " << t[i];
        }
    }
    return ::testing::AssertionSuccess();
}

float largestEntry(const ::D3DXMATRIX& m) {
    float largest = 0;
    for (const auto& row : m.m) {
        for (const float entry : row) {
            largest = std::max(largest, std::fabs(entry));
        }
    }
    return largest;
}

float component(const d3d::D3DXVECTOR3& v, int k) {
    return k == 0 ? v.x : k == 1 ? v.y : v.z;
}

float length(const d3d::D3DXVECTOR3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

} // namespace

TEST(D3DXMathOnWine, LookAtAndPerspectiveMatchD3DX) {
    Inputs inputs(1);
    for (int i = 0; i < kCases; ++i) {
        const d3d::D3DXVECTOR3 eye = inputs.vector(1000);
        const d3d::D3DXVECTOR3 at = inputs.vector(200);
        const d3d::D3DXVECTOR3 up = i % 2 == 0 ? d3d::D3DXVECTOR3(0, 0, 1) : inputs.vector(2);
        const d3d::D3DXVECTOR3 d = at - eye;
        d3d::D3DXVECTOR3 side;
        d3d::D3DXVec3Cross(&side, &up, &d);
        if (length(side) < 0.1f * length(up) * length(d)) {
            continue; // nearly along up: the view is ill-conditioned on both sides
        }
        d3d::D3DXMATRIX ours;
        ::D3DXMATRIX theirs;
        const ::D3DXVECTOR3 realEye = real(eye), realAt = real(at), realUp = real(up);
        d3d::D3DXMatrixLookAtLH(&ours, &eye, &at, &up);
        ::D3DXMatrixLookAtLH(&theirs, &realEye, &realAt, &realUp);
        // The axes are unit vectors; the last row is the eye's coordinates along them.
        EXPECT_TRUE(matches(ours, theirs, std::max(1.0f, length(eye)))) << "look-at case " << i;

        const float fov = inputs.in(0.1f, 3.0f);
        const float aspect = inputs.in(0.2f, 5.0f);
        const float zNear = inputs.in(0.1f, 10.0f);
        const float zFar = zNear * inputs.in(2.0f, 10000.0f);
        d3d::D3DXMatrixPerspectiveFovLH(&ours, fov, aspect, zNear, zFar);
        ::D3DXMatrixPerspectiveFovLH(&theirs, fov, aspect, zNear, zFar);
        EXPECT_TRUE(matches(ours, theirs, largestEntry(theirs))) << "perspective case " << i;
    }
}

TEST(D3DXMathOnWine, RotationsMatchD3DX) {
    Inputs inputs(2);
    for (int i = 0; i < kCases; ++i) {
        // Axes of any length, normalized on both sides; angles of several turns either way.
        d3d::D3DXVECTOR3 axis = inputs.vector(1) * std::pow(10.0f, inputs.in(-3, 3));
        if (length(axis) == 0) {
            continue;
        }
        const float angle = inputs.in(-20, 20);
        d3d::D3DXMATRIX ours;
        ::D3DXMATRIX theirs;
        const ::D3DXVECTOR3 realAxis = real(axis);
        d3d::D3DXMatrixRotationAxis(&ours, &axis, angle);
        ::D3DXMatrixRotationAxis(&theirs, &realAxis, angle);
        EXPECT_TRUE(matches(ours, theirs, 2)) << "axis case " << i;
        d3d::D3DXMatrixRotationZ(&ours, angle);
        ::D3DXMatrixRotationZ(&theirs, angle);
        EXPECT_TRUE(matches(ours, theirs, 1)) << "Z case " << i;
    }
    // The turns the camera makes most: none, quarter and half turns, and half a degree.
    for (const float angle : {0.0f, 1.5707964f, -1.5707964f, 3.1415927f, 0.0087266462f}) {
        d3d::D3DXMATRIX ours;
        ::D3DXMATRIX theirs;
        d3d::D3DXMatrixRotationZ(&ours, angle);
        ::D3DXMatrixRotationZ(&theirs, angle);
        EXPECT_TRUE(matches(ours, theirs, 1)) << angle;
    }
}

TEST(D3DXMathOnWine, MultiplyAndTransposeMatchD3DXAlsoInPlace) {
    Inputs inputs(3);
    for (int i = 0; i < kCases; ++i) {
        const d3d::D3DXMATRIX a = inputs.matrix(i % 2 == 0 ? 1.0f : 1000.0f);
        const d3d::D3DXMATRIX b = inputs.matrix(10);
        const ::D3DXMATRIX realA = real(a), realB = real(b);
        d3d::D3DXMATRIX ours;
        ::D3DXMATRIX theirs;
        d3d::D3DXMatrixMultiply(&ours, &a, &b);
        ::D3DXMatrixMultiply(&theirs, &realA, &realB);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                float magnitude = 0;
                for (int k = 0; k < 4; ++k) {
                    magnitude += std::fabs(a.m[r][k] * b.m[k][c]);
                }
                EXPECT_LE(std::fabs(ours.m[r][c] - theirs.m[r][c]), tolerance(magnitude))
                    << "case " << i << " entry " << r << "," << c;
            }
        }
        // Writing over either input gives the same product as a separate output.
        d3d::D3DXMATRIX overA = a;
        d3d::D3DXMatrixMultiply(&overA, &overA, &b);
        EXPECT_EQ(overA, ours);
        d3d::D3DXMATRIX overB = b;
        d3d::D3DXMatrixMultiply(&overB, &a, &overB);
        EXPECT_EQ(overB, ours);

        d3d::D3DXMATRIX transposed = a;
        d3d::D3DXMatrixTranspose(&transposed, &transposed);
        ::D3DXMatrixTranspose(&theirs, &realA);
        EXPECT_EQ(std::memcmp(&transposed.m[0][0], &theirs.m[0][0], sizeof transposed.m), 0) << "case " << i;
    }
}

TEST(D3DXMathOnWine, NormalizeAndTransformCoordMatchD3DX) {
    Inputs inputs(4);
    for (int i = 0; i < kCases; ++i) {
        const d3d::D3DXVECTOR3 v = inputs.vector(1) * std::pow(10.0f, inputs.in(-6, 6));
        const ::D3DXVECTOR3 realV = real(v);
        d3d::D3DXVECTOR3 ours;
        ::D3DXVECTOR3 theirs;
        d3d::D3DXVec3Normalize(&ours, &v);
        ::D3DXVec3Normalize(&theirs, &realV);
        const float unit[3] = {1, 1, 1};
        EXPECT_TRUE(matches(ours, theirs, unit)) << "normalize case " << i;

        // A projective matrix and a point whose w stays clear of 0, so that the division is tame.
        const d3d::D3DXMATRIX m = inputs.matrix(i % 2 == 0 ? 2.0f : 500.0f);
        const d3d::D3DXVECTOR3 p = inputs.vector(100);
        const float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
        float wTerms = std::fabs(m.m[3][3]);
        for (int k = 0; k < 3; ++k) {
            wTerms += std::fabs(component(p, k) * m.m[k][3]);
        }
        if (std::fabs(w) < 0.25f * wTerms) {
            continue;
        }
        const ::D3DXMATRIX realM = real(m);
        const ::D3DXVECTOR3 realP = real(p);
        d3d::D3DXVec3TransformCoord(&ours, &p, &m);
        ::D3DXVec3TransformCoord(&theirs, &realP, &realM);
        // Each component is (sum of terms) / w: the terms' error grows by 1/|w|, and w's own error by
        // the quotient.
        float magnitude[3];
        for (int c = 0; c < 3; ++c) {
            float terms = std::fabs(m.m[3][c]);
            for (int k = 0; k < 3; ++k) {
                terms += std::fabs(component(p, k) * m.m[k][c]);
            }
            magnitude[c] = (terms + std::fabs(theirs[c]) * wTerms) / std::fabs(w);
        }
        EXPECT_TRUE(matches(ours, theirs, magnitude)) << "transform case " << i;
    }
    // The zero vector stays zero on both sides.
    const d3d::D3DXVECTOR3 zero(0, 0, 0);
    const ::D3DXVECTOR3 realZero(0, 0, 0);
    d3d::D3DXVECTOR3 ours(1, 1, 1);
    ::D3DXVECTOR3 theirs(1, 1, 1);
    d3d::D3DXVec3Normalize(&ours, &zero);
    ::D3DXVec3Normalize(&theirs, &realZero);
    EXPECT_EQ(ours, d3d::D3DXVECTOR3(0, 0, 0));
    EXPECT_TRUE(theirs.x == 0 && theirs.y == 0 && theirs.z == 0);
}

// The camera builds its view, projection and orbit from the D3DX operations as D3DX defines them:
// the same steps taken with the real D3DX give the same matrices and eye.
TEST(D3DXMathOnWine, CameraMatricesAndOrbitMatchTheSameStepsInD3DX) {
    Inputs inputs(5);
    for (int i = 0; i < kCases; ++i) {
        Camera start;
        if (i > 0) {
            start.eye = inputs.vector(1000);
            start.target = inputs.vector(100);
        }
        const d3d::D3DXVECTOR3 d = start.eye - start.target;
        if (std::fabs(d.z) > 0.9f * length(d)) {
            continue; // nearly above or below the target, where the horizontal axis is ill-conditioned
        }
        const float scale = std::max(1.0f, length(start.eye) + length(start.target));

        ::D3DXMATRIX theirs;
        const ::D3DXVECTOR3 eye = real(start.eye), target = real(start.target), up = real(start.up);
        ::D3DXMatrixLookAtLH(&theirs, &eye, &target, &up);
        EXPECT_TRUE(matches(start.viewMatrix(), theirs, scale)) << "view case " << i;

        const int width = static_cast<int>(inputs.in(1, 2000));
        const int height = static_cast<int>(inputs.in(1, 2000));
        ::D3DXMatrixPerspectiveFovLH(&theirs, 3.1415927f / 4,
                                     static_cast<float>(width) / static_cast<float>(height), 1, 3000);
        EXPECT_TRUE(matches(Camera::projectionMatrix(width, height), theirs, largestEntry(theirs)))
            << "projection case " << i;

        // Orbit: the turn about the camera's horizontal axis, then about Z, applied to eye - target.
        const int dx = static_cast<int>(inputs.in(-1000, 1000));
        const int dy = static_cast<int>(inputs.in(-1000, 1000));
        const Camera moved = Camera::orbit(start, dx, dy);
        ::D3DXVECTOR3 realD = eye - target;
        ::D3DXVECTOR3 axis;
        ::D3DXVec3Cross(&axis, &realD, &up);
        ::D3DXVec3Normalize(&axis, &axis);
        ::D3DXMATRIX tilt, turn, rotation;
        ::D3DXMatrixRotationAxis(&tilt, &axis, static_cast<float>(dy) * 0.5f * 0.017453292f);
        ::D3DXMatrixRotationZ(&turn, static_cast<float>(dx) * 0.5f * 0.017453292f);
        ::D3DXMatrixMultiply(&rotation, &tilt, &turn);
        ::D3DXVECTOR3 expected;
        ::D3DXVec3TransformCoord(&expected, &realD, &rotation);
        expected += target;
        const float magnitude[3] = {scale, scale, scale};
        EXPECT_TRUE(matches(moved.eye, expected, magnitude)) << "orbit case " << i;
        EXPECT_EQ(moved.target, start.target);
        EXPECT_EQ(moved.up, start.up);
    }
}
