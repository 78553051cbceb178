#include "engine/d3d/d3dxmath.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace d3d;

namespace {

void expectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
    EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

void expectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-4f) << "entry " << i / 4 << "," << i % 4;
    }
}

D3DXVECTOR3 transform(D3DXVECTOR3 v, const D3DXMATRIX& m) {
    return *D3DXVec3TransformCoord(&v, &v, &m);
}

} // namespace

TEST(D3DXMath, LookAtLHPutsTheEyeAtTheOriginLookingDownZ) {
    const D3DXVECTOR3 eye(-500, -500, 500), origin(0, 0, 0), up(0, 0, 1);
    D3DXMATRIX view;
    EXPECT_EQ(D3DXMatrixLookAtLH(&view, &eye, &origin, &up), &view);
    // Right is (-1, 1, 0)/sqrt 2, up is (1, 1, 2)/sqrt 6, forward is (1, 1, -1)/sqrt 3.
    expectNear(view, D3DXMATRIX(-0.707107f, 0.408248f, 0.577350f, 0, 0.707107f, 0.408248f, 0.577350f, 0, 0,
                                0.816497f, -0.577350f, 0, 0, 0, 866.025404f, 1));
}

TEST(D3DXMath, PerspectiveFovLHMapsNearAndFarPlanesToDepthZeroAndOne) {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 0.7853982f, 4.0f / 3, 1, 3000);
    expectNear(projection, D3DXMATRIX(1.810660f, 0, 0, 0, 0, 2.414214f, 0, 0, 0, 0, 3000.0f / 2999, 1, 0, 0,
                                      -3000.0f / 2999, 0));
    EXPECT_NEAR(transform({0, 0, 1}, projection).z, 0, 1e-6f);
    EXPECT_NEAR(transform({0, 0, 3000}, projection).z, 1, 1e-6f);
}

TEST(D3DXMath, MultiplyAndTransposeMayWriteOverTheirInputs) {
    const D3DXMATRIX shift(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1);
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, 1.5707964f);
    D3DXMATRIX m = shift;
    EXPECT_EQ(D3DXMatrixMultiply(&m, &m, &turn), &m);
    expectNear(transform({1, 0, 0}, m), {0, 6, 0}); // shifted, then turned
    m = shift;
    D3DXMatrixMultiply(&m, &turn, &m);
    expectNear(transform({1, 0, 0}, m), {5, 1, 0}); // turned, then shifted
    m = D3DXMATRIX(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    D3DXMatrixTranspose(&m, &m);
    EXPECT_EQ(m, D3DXMATRIX(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
}

TEST(D3DXMath, TransformCoordDividesByW) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m(0, 3) = 1; // w = x + 1
    expectNear(transform({3, 6, 9}, m), {0.75f, 1.5f, 2.25f});
    EXPECT_TRUE(std::isinf(transform({-1, 1, 1}, m).y));
}

TEST(D3DXMath, NormalizeGivesUnitLengthAndLeavesZeroAtZero) {
    D3DXVECTOR3 v(3, 0, -4);
    expectNear(*D3DXVec3Normalize(&v, &v), {0.6f, 0, -0.8f});
    const D3DXVECTOR3 zero;
    EXPECT_EQ(*D3DXVec3Normalize(&v, &zero), zero);
}
