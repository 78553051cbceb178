#include "engine/camera.h"

#include <cmath>

using namespace d3d;

static_assert(sizeof(Camera) == 9 * sizeof(float), "a camera is nine floats");

namespace {

constexpr float kHalfDegree = 0.5f;
constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kPanPerPixel = 0.001f;
constexpr float kPerWheelUnit = 0.008333334f;
constexpr float kMinimumDistance = 10;
constexpr float kFieldOfView = 3.14159265358979f / 4;
constexpr float kNear = 1;
constexpr float kFar = 3000;

// The camera's horizontal axis, pointing to the right of the screen.
D3DXVECTOR3 horizontalAxis(const D3DXVECTOR3& d, const D3DXVECTOR3& up) {
    D3DXVECTOR3 axis;
    D3DXVec3Cross(&axis, &d, &up);
    // Zero when looking straight along up; the motions go on with it regardless.
    return *D3DXVec3Normalize(&axis, &axis);
}

} // namespace

Camera Camera::orbit(const Camera& start, int dx, int dy) {
    const D3DXVECTOR3 d = start.eye - start.target;
    const D3DXVECTOR3 axis = horizontalAxis(d, start.up);
    const float angleZ = static_cast<float>(dx) * kHalfDegree * kRadiansPerDegree;
    const float angleAxis = static_cast<float>(dy) * kHalfDegree * kRadiansPerDegree;

    D3DXMATRIX tilt;
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&tilt, &axis, angleAxis);
    D3DXMatrixRotationZ(&turn, angleZ);
    const D3DXMATRIX rotation = tilt * turn;

    Camera moved = start;
    D3DXVec3TransformCoord(&moved.eye, &d, &rotation);
    moved.eye = moved.eye + start.target;
    return moved;
}

Camera Camera::pan(const Camera& start, int dx, int dy) {
    const D3DXVECTOR3 d = start.eye - start.target;
    const D3DXVECTOR3 axis = horizontalAxis(d, start.up);
    D3DXVECTOR3 screenUp;
    D3DXVec3Cross(&screenUp, &axis, &d);
    D3DXVec3Normalize(&screenUp, &screenUp);
    const float step = D3DXVec3Length(&d) * kPanPerPixel;

    Camera moved = start;
    moved.target =
        start.target - axis * (static_cast<float>(dx) * step) + screenUp * (static_cast<float>(dy) * step);
    moved.eye = moved.target + d;
    return moved;
}

Camera Camera::zoom(const Camera& current, int delta) {
    const D3DXVECTOR3 d = current.eye - current.target;
    const float distance = D3DXVec3Length(&d);
    float newDistance = distance - std::sqrt(distance) * static_cast<float>(delta) * kPerWheelUnit;
    if (newDistance < kMinimumDistance) {
        newDistance = kMinimumDistance;
    }

    Camera moved = current;
    moved.eye = current.target + d * (newDistance / distance);
    return moved;
}

D3DXMATRIX Camera::viewMatrix() const {
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &target, &up);
    return view;
}

D3DXMATRIX Camera::projectionMatrix(int width, int height) {
    const float aspect =
        width > 0 && height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, aspect, kNear, kFar);
    return projection;
}
