#pragma once

// The part of the D3DX 9 math library that the renderer uses, under D3DX's own names and
// signatures so that renderer code reads as D3DX code does: the output comes first and is also
// returned, inputs are passed by pointer, and an output may be one of the inputs.
//
// Conventions are D3DX's: matrices are row-major 4x4 floats, vectors are rows (a point
// transforms as p' = p x M, so A x B applies A first), and the view and projection builders are
// left-handed. Arithmetic is single precision throughout.
//
// The names live in namespace d3d because a Windows build sees the real d3dx9math.h too.

namespace d3d {

struct D3DXVECTOR3 {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}

    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return {x + v.x, y + v.y, z + v.z}; }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return {x - v.x, y - v.y, z - v.z}; }
    D3DXVECTOR3 operator*(float f) const { return {x * f, y * f, z * f}; }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }

    float x = 0;
    float y = 0;
    float z = 0;
};

struct D3DXVECTOR4 {
    D3DXVECTOR4() = default;
    D3DXVECTOR4(float vx, float vy, float vz, float vw) : x(vx), y(vy), z(vz), w(vw) {}

    // The four components in order, for calls that take a float array.
    operator const float*() const { return &x; }
    bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }

    float x = 0;
    float y = 0;
    float z = 0;
    float w = 0;
};

struct D3DXMATRIX {
    // The zero matrix.
    D3DXMATRIX() = default;
    // The matrix with the given entries, row by row.
    D3DXMATRIX(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
               float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33);

    // Entry at row r, column c.
    float& operator()(int r, int c) { return m[r][c]; }
    float operator()(int r, int c) const { return m[r][c]; }
    // The sixteen entries row by row, for calls that take a float array.
    operator const float*() const { return &m[0][0]; }
    // This matrix followed by other, as D3DXMatrixMultiply.
    D3DXMATRIX operator*(const D3DXMATRIX& other) const;
    bool operator==(const D3DXMATRIX& other) const;
    bool operator!=(const D3DXMATRIX& other) const { return !(*this == other); }

    float m[4][4] = {};
};

// a . b.
float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
// Euclidean length of v.
float D3DXVec3Length(const D3DXVECTOR3* v);
// a x b.
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
// v scaled to length 1; the zero vector stays zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// The point (v, 1) times m, divided by the resulting w. A w of 0 divides by 0 as IEEE floats do.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);

// The identity matrix.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
// a x b: a's transform, then b's.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
// m with rows and columns exchanged.
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
// Turn by angle radians about axis (normalized here), counter-clockwise looking down the axis.
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle);
// Turn by angle radians about Z: (x, y, z) becomes (x cos - y sin, x sin + y cos, z).
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
// Left-handed view from eye towards at, with up giving the screen's upward direction.
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
// Left-handed perspective of vertical field fovY radians, width/height aspect and depth range
// zNear..zFar, mapping view depth to 0..1.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear, float zFar);

} // namespace d3d
