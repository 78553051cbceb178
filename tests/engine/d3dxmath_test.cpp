#include "engine/d3d/d3dxmath.h"

#include <gtest/gtest.h>

using namespace d3d;

namespace {

void expectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-4f) << "entry " << i / 4 << "," << i % 4;
    }
}

} // namespace

// The matrices of the default camera and window; the same math is checked against D3DX under Wine.
TEST(D3DXMath, LookAtAndPerspectiveOfTheDefaultView) {
    const D3DXVECTOR3 eye(-500, -500, 500), origin(0, 0, 0), up(0, 0, 1);
    D3DXMATRIX view;
    EXPECT_EQ(D3DXMatrixLookAtLH(&view, &eye, &origin, &up), &view);
    // Right is (-1, 1, 0)/sqrt 2, up is (1, 1, 2)/sqrt 6, forward is (1, 1, -1)/sqrt 3.
    expectNear(view, D3DXMATRIX(-0.707107f, 0.408248f, 0.577350f, 0, 0.707107f, 0.408248f, 0.577350f, 0, 0,
                                0.816497f, -0.577350f, 0, 0, 0, 866.025404f, 1));
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 0.7853982f, 4.0f / 3, 1, 3000);
    expectNear(projection, D3DXMATRIX(1.810660f, 0, 0, 0, 0, 2.414214f, 0, 0, 0, 0, 3000.0f / 2999, 1, 0, 0,
                                      -3000.0f / 2999, 0));
}

TEST(D3DXMath, MultiplyAppliesTheLeftMatrixFirstAndMayWriteOverItsInputs) {
    const D3DXMATRIX shift(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1);
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, 1.5707964f);
    D3DXMATRIX m = shift;
    EXPECT_EQ(D3DXMatrixMultiply(&m, &m, &turn), &m);
    expectNear(m, D3DXMATRIX(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 5, 0, 1)); // shifted, then turned
    m = shift;
    D3DXMatrixMultiply(&m, &turn, &m);
    expectNear(m, D3DXMATRIX(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1)); // turned, then shifted
}
