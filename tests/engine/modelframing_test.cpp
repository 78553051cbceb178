#include "engine/modelframing.h"
#include "model/model.h"
#include "support/memoryfile.h"
#include "writers/alowriter.h"

#include <gtest/gtest.h>

#include <cmath>

using d3d::D3DXVECTOR3;

namespace {

// The corners of the box from low to high.
std::vector<D3DXVECTOR3> corners(const D3DXVECTOR3& low, const D3DXVECTOR3& high) {
    std::vector<D3DXVECTOR3> points;
    for (int i = 0; i < 8; ++i) {
        points.emplace_back(i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z);
    }
    return points;
}

AloMesh box(const D3DXVECTOR3& low, const D3DXVECTOR3& high, bool geometry = true) {
    AloMesh mesh;
    for (const D3DXVECTOR3& c : corners(low, high)) {
        mesh.vertices.push_back({c.x, c.y, c.z});
    }
    mesh.indices = {0, 1, 2, 5, 6, 7};
    mesh.hasGeometry = geometry;
    return mesh;
}

D3DXVECTOR3 direction(const Camera& c) {
    D3DXVECTOR3 d = c.eye - c.target;
    return *d3d::D3DXVec3Normalize(&d, &d);
}

} // namespace

TEST(ModelFraming, SeesEveryDrawnVertexThroughItsWorldMatrixFromTheSameDirectionOrKeepsTheCamera) {
    AloWriter writer;
    AloBone moved;
    moved.matrix[3] = 2000;
    moved.matrix[7] = -400;
    moved.matrix[11] = 250;
    writer.addBone(moved);
    writer.addMesh(box({-300, -50, -120}, {300, 50, 120}));
    writer.addMesh(box({-9000, 0, 0}, {-8000, 10, 10}));
    AloMesh bare = box({5000, 5000, 0}, {6000, 6000, 10});
    bare.hasMaterial = false;
    writer.addMesh(bare);
    writer.addMesh(box({-1, -1, -1}, {1, 1, 1}, false));
    writer.connect(0, 0);
    const Model model(*makeRef<MemoryFile>(writer.build(), "framing.alo"));
    Camera from;
    from.eye = {300, -900, 40};
    from.target = {0, 100, 0};
    for (const auto& [width, height] :
         {std::make_pair(800, 600), std::make_pair(900, 300), std::make_pair(300, 500)}) {
        // Only the first mesh is seen: the second is not named, the fourth has no material to draw
        // it with, and there is no mesh 7.
        const Camera fitted = ModelFraming::fit(model, {0, 3, 7}, from, width, height);
        const D3DXVECTOR3 a = direction(fitted);
        const D3DXVECTOR3 b = direction(from);
        EXPECT_NEAR(d3d::D3DXVec3Dot(&a, &b), 1.0f, 1e-5f);
        const d3d::D3DXMATRIX viewProjection = fitted.viewMatrix() * Camera::projectionMatrix(width, height);
        // Each corner lies inside the view, between the near and far planes.
        for (const D3DXVECTOR3& p : corners({1700, -450, 130}, {2300, -350, 370})) {
            float clip[4];
            for (int c = 0; c < 4; ++c) {
                clip[c] = p.x * viewProjection(0, c) + p.y * viewProjection(1, c) +
                          p.z * viewProjection(2, c) + viewProjection(3, c);
            }
            EXPECT_TRUE(std::abs(clip[0]) <= clip[3] && std::abs(clip[1]) <= clip[3] && clip[2] >= 0 &&
                        clip[2] <= clip[3])
                << width << "x" << height;
        }
    }
    // No vertex drawn: none named, or only a mesh without geometry.
    for (const std::vector<std::size_t>& meshes : std::vector<std::vector<std::size_t>>{{}, {2}, {5}}) {
        const Camera fitted = ModelFraming::fit(model, meshes, from, 800, 600);
        EXPECT_EQ(std::make_tuple(fitted.eye, fitted.target), std::make_tuple(from.eye, from.target));
    }
}
