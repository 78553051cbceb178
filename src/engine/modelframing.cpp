#include "engine/modelframing.h"

#include "model/alochunks.h"
#include "model/mesh.h"
#include "model/model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using d3d::D3DXMATRIX;
using d3d::D3DXVECTOR3;

namespace {

float readFloat(const unsigned char* p) {
    const std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                               static_cast<std::uint32_t>(p[2]) << 16 |
                               static_cast<std::uint32_t>(p[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

Camera ModelFraming::fit(const Model& model, const std::vector<std::size_t>& meshes, const Camera& from,
                         int width, int height) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    D3DXVECTOR3 low{kInfinity, kInfinity, kInfinity};
    D3DXVECTOR3 high{-kInfinity, -kInfinity, -kInfinity};
    std::vector<D3DXVECTOR3> points;
    for (std::size_t index : meshes) {
        if (index >= model.getMeshCount()) {
            continue;
        }
        const Mesh& mesh = model.getMesh(index);
        if (mesh.getMaterial() == nullptr) {
            continue; // drawn with nothing, so not seen
        }
        D3DXMATRIX world;
        model.getMeshTransform(index, &world.m[0][0]);
        const unsigned char* vertices = mesh.getVertices();
        const std::size_t count =
            std::min<std::size_t>(mesh.getVertexCount(), mesh.getVertexBytes() / alo::kVertexSize);
        for (std::size_t i = 0; i < count; ++i) {
            // The position is the vertex's first three floats.
            const unsigned char* v = vertices + i * alo::kVertexSize;
            const D3DXVECTOR3 local{readFloat(v), readFloat(v + 4), readFloat(v + 8)};
            D3DXVECTOR3 p;
            d3d::D3DXVec3TransformCoord(&p, &local, &world);
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                continue;
            }
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
            points.push_back(p);
        }
    }
    if (points.empty()) {
        return from;
    }
    const D3DXVECTOR3 centre = (low + high) * 0.5f;
    float radius = 0.0f;
    for (const D3DXVECTOR3& p : points) {
        const D3DXVECTOR3 d = p - centre;
        radius = std::max(radius, d3d::D3DXVec3Length(&d));
    }
    radius = std::max(radius, 1.0f);
    // The sphere fits the narrower of the two fields of view, with a little margin.
    const float halfFovY = 3.14159265f / 8.0f;
    const float aspect =
        width > 0 && height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    const float halfFovX = std::atan(std::tan(halfFovY) * aspect);
    // The view ends at depth 3000: a model too big to fit whole from within it is framed from as
    // far as still shows its far side (its near side may then be cut).
    constexpr float kFarPlane = 3000.0f;
    const float wanted = radius * 1.1f / std::sin(std::min(halfFovY, halfFovX));
    const float distance = std::min(wanted, std::max(kFarPlane * 0.99f - radius, 10.0f));
    D3DXVECTOR3 direction = from.eye - from.target;
    d3d::D3DXVec3Normalize(&direction, &direction);
    Camera fitted = from;
    fitted.target = centre;
    fitted.eye = centre + direction * distance;
    return fitted;
}
