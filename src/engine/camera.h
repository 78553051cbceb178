#pragma once

#include "engine/d3d/d3dxmath.h"

// A look-at camera in the Z-up world: where the eye is, the point it looks at and the world's
// up direction. The mouse moves it by orbit (right drag), pan (left drag) and zoom (wheel); none
// of them changes up.
struct Camera {
    // The camera start-up has: above the (-X, -Y) quadrant, about 866 units out, looking at the
    // origin.
    d3d::D3DXVECTOR3 eye{-500, -500, 500};
    d3d::D3DXVECTOR3 target{0, 0, 0};
    d3d::D3DXVECTOR3 up{0, 0, 1};

    // start with the eye turned about the target, half a degree per pixel: dx about the world's
    // vertical through the target, dy about the camera's horizontal axis, keeping the distance.
    static Camera orbit(const Camera& start, int dx, int dy);
    // start with eye and target moved together in the screen plane, a thousandth of the distance
    // per pixel, so that the scene follows the cursor.
    static Camera pan(const Camera& start, int dx, int dy);
    // current with the eye moved along its line to the target by the square root of the distance
    // per notch of 120 (positive delta: nearer), never nearer than 10.
    static Camera zoom(const Camera& current, int delta);

    // The left-handed view matrix of this camera.
    d3d::D3DXMATRIX viewMatrix() const;
    // The perspective for a client area of width x height pixels: 45 degrees vertically, depth
    // range 1 to 3000. An empty area is taken as square.
    static d3d::D3DXMATRIX projectionMatrix(int width, int height);
};
