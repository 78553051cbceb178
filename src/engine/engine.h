#pragma once

#include "engine/camera.h"
#include "engine/d3d/d3d9.h"
#include "engine/d3d/d3dx9effect.h"
#include "engine/d3d/d3dxmath.h"
#include "engine/heldtextures.h"
#include "engine/meshinstance.h"
#include "engine/semantictable.h"
#include "main/refptr.h"

#include <cstddef>
#include <vector>

struct Material;
class Mesh;
class ShaderManager;
class TextureManager;
struct EffectParameter;

// The renderer: the Direct3D device over the render window, its fixed state, the camera and the
// one light, and the list of mesh instances drawn in each frame with their materials' effects.
// Frames are drawn on request only; nothing animates.
class Engine {
public:
    // Creates the device over window, whose client area is clientWidth x clientHeight, with the
    // highest multisampling the adapter offers. D3DException when a creation step fails.
    Engine(d3d::HWND window, int clientWidth, int clientHeight, TextureManager& textures,
           ShaderManager& shaders);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Brings the device back after a loss or a resize; width and height (the new client size)
    // only rebuild the projection, and only when both are above 0. Both caches must have been
    // cleared first. D3DException when the device refuses.
    void reset(d3d::HWND window, int width, int height);
    // Draws one frame. False only when the device is lost and can be reset now; the caller then
    // clears both caches, resets and renders again. D3DException when buffers cannot be created.
    bool render();

    // The device, for code that works beside the renderer (reading a frame back, for one).
    d3d::IDirect3DDevice9* getDevice() const { return m_device.get(); }

    // The camera, and the view rebuilt from it.
    Camera getCamera() const { return m_camera; }
    void setCamera(const Camera& camera);
    // The camera motions of the mouse: from the camera at the press, by the whole drag.
    static Camera orbit(const Camera& start, int dx, int dy) { return Camera::orbit(start, dx, dy); }
    static Camera pan(const Camera& start, int dx, int dy) { return Camera::pan(start, dx, dy); }
    static Camera zoom(const Camera& current, int delta) { return Camera::zoom(current, delta); }

    // Appends an instance of mesh (not owned; it must outlive the list) without buffers.
    void addMesh(const Mesh* mesh, const d3d::D3DXMATRIX& world, bool visible);
    // Releases every instance's buffers and empties the list.
    void clearMeshes();
    // Shows or hides the instance at index; an index past the list is ignored.
    void setMeshVisible(std::size_t index, bool visible);
    // Number of instances.
    std::size_t getMeshCount() const { return m_meshes.size(); }

    // Adds the 14 scene values for the current world, view, projection, camera and light.
    void fillSemanticTable(SemanticTable& table) const;
    // Sets an effect's parameters for one mesh: every used parameter whose semantic the table
    // knows, then every parameter the material names. Textures taken go to held.
    void bindParameters(d3d::ID3DXEffect& effect, d3d::D3DXHANDLE technique, const Material& material,
                        const SemanticTable& table, HeldTextures& held);
    // Sets one value on the effect according to its type.
    void applyParameter(d3d::ID3DXEffect& effect, d3d::D3DXHANDLE parameter, const EffectParameter& value,
                        HeldTextures& held);

private:
    void createDeclarationAndState();
    void drawInstance(MeshInstance& instance);

    d3d::D3DPRESENT_PARAMETERS m_presentation{};
    d3d::D3DXMATRIX m_world;
    d3d::D3DXMATRIX m_view;
    d3d::D3DXMATRIX m_projection;
    Camera m_camera;
    d3d::D3DLIGHT9 m_light{};
    RefPtr<d3d::IDirect3D9> m_direct3d;
    RefPtr<d3d::IDirect3DDevice9> m_device;
    RefPtr<d3d::IDirect3DVertexDeclaration9> m_vertexDeclaration;
    TextureManager& m_textures;
    ShaderManager& m_shaders;
    std::vector<MeshInstance> m_meshes;
};
