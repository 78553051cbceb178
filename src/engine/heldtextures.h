#pragma once

#include "engine/d3d/d3d9.h"
#include "main/refptr.h"

#include <vector>

// The texture references taken while one mesh's parameters are bound, kept until the mesh is drawn.
class HeldTextures {
public:
    HeldTextures() = default;
    ~HeldTextures() { release(); }
    HeldTextures(const HeldTextures&) = delete;
    HeldTextures& operator=(const HeldTextures&) = delete;

    // Keeps one more reference.
    void hold(RefPtr<d3d::IDirect3DTexture9> texture) { m_textures.push_back(std::move(texture)); }
    // Releases every reference, in the order they were taken, and empties the list.
    void release() {
        for (auto& texture : m_textures) {
            texture.reset();
        }
        m_textures.clear();
    }
    std::size_t size() const { return m_textures.size(); }

private:
    std::vector<RefPtr<d3d::IDirect3DTexture9>> m_textures;
};
