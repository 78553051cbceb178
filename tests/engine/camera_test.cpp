#include "engine/camera.h"

#include <gtest/gtest.h>

using namespace d3d;

namespace {

void expectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-3f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Camera at(const D3DXVECTOR3& target, const D3DXVECTOR3& offset) {
    Camera c;
    c.target = target;
    c.eye = target + offset;
    return c;
}

// Cameras compare by eye and target; up never changes.
void expectSame(const Camera& actual, const Camera& expected) {
    expectNear(actual.eye, expected.eye);
    expectNear(actual.target, expected.target);
    EXPECT_EQ(actual.up, expected.up);
}

} // namespace

TEST(Camera, OrbitTurnsHalfADegreePerPixelTiltFirstThenAboutZ) {
    const Camera start;
    expectNear(Camera::orbit(start, 180, 0).eye, {500, -500, 500});
    expectNear(Camera::orbit(start, 0, 180).eye, {353.5534f, 353.5534f, 707.1068f});
    expectNear(Camera::orbit(start, 180, 180).eye, {-353.5534f, 353.5534f, 707.1068f});
    // Over the top and on round: the elevation is not limited.
    expectNear(Camera::orbit(start, 0, 360).eye, {500, 500, -500});
    expectNear(Camera::orbit(start, 720, 0).eye, start.eye, 0.01f);
    expectSame(Camera::orbit(at({1, 2, 3}, start.eye), 180, 0), at({1, 2, 3}, {500, -500, 500}));
}

TEST(Camera, PanMovesEyeAndTargetAThousandthOfTheDistancePerPixel) {
    const Camera start = at({1, 2, 3}, {-500, -500, 500});
    expectSame(Camera::pan(start, 10, 0), at({7.123724f, -4.123724f, 3}, {-500, -500, 500}));
    expectSame(Camera::pan(start, 0, 10), at({4.535534f, 5.535534f, 10.071068f}, {-500, -500, 500}));
}

TEST(Camera, ZoomStepsByTheSquareRootOfTheDistancePerNotchAndStopsAtTen) {
    const Camera start = at({1, 2, 3}, {540, 0, 720});
    expectSame(Camera::zoom(start, 120), at({1, 2, 3}, {522, 0, 696}));
    expectSame(Camera::zoom(start, -240), at({1, 2, 3}, {576, 0, 768}));
    expectSame(Camera::zoom(at({1, 2, 3}, {6, 8, 0}), 120), at({1, 2, 3}, {6, 8, 0}));
    expectSame(Camera::zoom(at({1, 2, 3}, {4900, 0, 0}), -120), at({1, 2, 3}, {4970, 0, 0}));
}

TEST(Camera, ProjectionFollowsTheAspectAndTakesAnEmptyAreaAsSquare) {
    const D3DXMATRIX wide = Camera::projectionMatrix(800, 600);
    EXPECT_FLOAT_EQ(wide(1, 1), 2.4142137f);
    EXPECT_FLOAT_EQ(wide(0, 0), 2.4142137f * 600 / 800);
    for (const auto& [width, height] :
         {std::make_pair(800, 0), std::make_pair(0, 600), std::make_pair(0, 0)}) {
        EXPECT_EQ(Camera::projectionMatrix(width, height), Camera::projectionMatrix(1, 1));
    }
}
