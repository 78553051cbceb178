#include "engine/engine.h"

#include "main/d3dexception.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/alochunks.h"
#include "model/mesh.h"

#include <cstring>

using namespace d3d;

namespace {

// Only the first 32 bytes of each 144-byte vertex are declared; the rest never reach an effect.
const D3DVERTEXELEMENT9 kVertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END_ELEMENT,
};

constexpr int kHighestSampleCount = 16;
constexpr int kLowestSampleCount = 2;

EffectParameter matrixValue(const D3DXMATRIX& m) {
    EffectParameter p;
    p.type = EffectParameter::kMatrix;
    std::memcpy(p.matrixValue, &m.m[0][0], sizeof p.matrixValue);
    return p;
}

EffectParameter float4Value(float x, float y, float z, float w) {
    EffectParameter p;
    p.type = EffectParameter::kFloat4;
    p.float4Value[0] = x;
    p.float4Value[1] = y;
    p.float4Value[2] = z;
    p.float4Value[3] = w;
    return p;
}

EffectParameter floatValue(float value) {
    EffectParameter p;
    p.type = EffectParameter::kFloat;
    p.floatValue = value;
    return p;
}

} // namespace

Engine::Engine(HWND window, int clientWidth, int clientHeight, TextureManager& textures,
               ShaderManager& shaders)
    : m_textures(textures), m_shaders(shaders) {
    m_direct3d = RefPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    if (!m_direct3d) {
        throw D3DException(__FILE__, __LINE__, 0);
    }
    // From here on a failure releases what exists in reverse order: the device, then Direct3D.
    D3DDISPLAYMODE mode{};
    HRESULT hr = m_direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    if (failed(hr)) {
        throw D3DException(__FILE__, __LINE__, hr);
    }

    D3DMULTISAMPLE_TYPE samples = D3DMULTISAMPLE_NONE;
    DWORD qualityLevels = 1;
    for (int count = kHighestSampleCount; count >= kLowestSampleCount; --count) {
        DWORD levels = 0;
        hr = m_direct3d->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, 1,
                                                    static_cast<D3DMULTISAMPLE_TYPE>(count), &levels);
        if (succeeded(hr)) {
            samples = static_cast<D3DMULTISAMPLE_TYPE>(count);
            qualityLevels = levels < 1 ? 1 : levels;
            break;
        }
        if (hr != D3DERR_NOTAVAILABLE) {
            throw D3DException(__FILE__, __LINE__, hr);
        }
    }

    D3DCAPS9 caps{};
    hr = m_direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
    if (failed(hr)) {
        throw D3DException(__FILE__, __LINE__, hr);
    }
    const DWORD behaviour = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0
                                ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                : D3DCREATE_SOFTWARE_VERTEXPROCESSING;

    m_presentation.BackBufferWidth = 0;
    m_presentation.BackBufferHeight = 0;
    m_presentation.BackBufferFormat = D3DFMT_UNKNOWN;
    m_presentation.BackBufferCount = 1;
    m_presentation.MultiSampleType = samples;
    m_presentation.MultiSampleQuality = samples == D3DMULTISAMPLE_NONE ? 0 : qualityLevels - 1;
    m_presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_presentation.hDeviceWindow = window;
    m_presentation.Windowed = 1;
    m_presentation.EnableAutoDepthStencil = 1;
    m_presentation.AutoDepthStencilFormat = D3DFMT_D24S8;
    m_presentation.Flags = 0;
    m_presentation.FullScreen_RefreshRateInHz = 0;
    m_presentation.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    hr = m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, behaviour, &m_presentation,
                                  m_device.put());
    if (failed(hr)) {
        m_device.reset();
        throw D3DException(__FILE__, __LINE__, hr);
    }
    createDeclarationAndState();

    m_projection = Camera::projectionMatrix(clientWidth, clientHeight);
    m_view = m_camera.viewMatrix();

    m_light.Type = D3DLIGHT_DIRECTIONAL;
    m_light.Diffuse = {0.6f, 0.6f, 0.6f, 1.0f};
    m_light.Specular = {0, 0, 0, 0};
    m_light.Ambient = {0.1f, 0.1f, 0.1f, 1.0f};
    m_light.Position = {500, 0, 500};
    m_light.Direction = {-1, 0, -1};
}

Engine::~Engine() {
    m_vertexDeclaration.reset();
    m_device.reset();
    m_direct3d.reset();
    clearMeshes();
}

void Engine::createDeclarationAndState() {
    const HRESULT hr = m_device->CreateVertexDeclaration(kVertexElements, m_vertexDeclaration.put());
    if (failed(hr)) {
        m_vertexDeclaration.reset();
        throw D3DException(__FILE__, __LINE__, hr);
    }
    m_device->SetVertexDeclaration(m_vertexDeclaration.get());
    m_device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    m_device->SetRenderState(D3DRS_LIGHTING, 0);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    m_device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
}

void Engine::reset(HWND window, int width, int height) {
    m_vertexDeclaration.reset();
    for (MeshInstance& instance : m_meshes) {
        instance.releaseBuffers();
    }
    m_presentation.BackBufferWidth = 0;
    m_presentation.BackBufferHeight = 0;
    m_presentation.BackBufferCount = 1;
    m_presentation.hDeviceWindow = window;
    m_presentation.Windowed = 1;
    const HRESULT hr = m_device->Reset(&m_presentation);
    if (failed(hr)) {
        throw D3DException(__FILE__, __LINE__, hr);
    }
    createDeclarationAndState();
    if (width > 0 && height > 0) {
        m_projection = Camera::projectionMatrix(width, height);
    }
}

bool Engine::render() {
    const HRESULT level = m_device->TestCooperativeLevel();
    if (level == D3DERR_DEVICELOST) {
        return true;
    }
    if (level == D3DERR_DEVICENOTRESET) {
        return false;
    }
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
    m_device->BeginScene();
    for (MeshInstance& instance : m_meshes) {
        drawInstance(instance);
    }
    m_device->EndScene();
    m_device->Present(nullptr, nullptr, nullptr, nullptr);
    return true;
}

void Engine::drawInstance(MeshInstance& instance) {
    if (!instance.isVisible() || !instance.isDrawable()) {
        return;
    }
    instance.ensureVertexBuffer();
    m_device->SetStreamSource(0, instance.getVertexBuffer(), 0, alo::kVertexSize);
    instance.ensureIndexBuffer();
    m_device->SetIndices(instance.getIndexBuffer());
    m_world = instance.getWorld();

    SemanticTable table;
    fillSemanticTable(table);
    const Mesh& mesh = instance.getMesh();
    const Material* material = mesh.getMaterial();
    if (material == nullptr) {
        return;
    }
    RefPtr<ID3DXEffect> effect = m_shaders.getEffect(m_device.get(), material->effectName);
    if (!effect) {
        return;
    }
    const D3DXHANDLE technique = effect->GetTechnique(0);
    effect->SetTechnique(technique);
    HeldTextures held;
    bindParameters(*effect, technique, *material, table, held);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    for (UINT pass = 0; pass < passes; ++pass) {
        effect->BeginPass(pass);
        effect->CommitChanges();
        m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, mesh.getVertexCount(), 0,
                                       mesh.getTriangleCount());
        effect->EndPass();
    }
    effect->End();
    // The effect's reference goes first, then the textures in the order they were taken.
    effect.reset();
    held.release();
}

void Engine::setCamera(const Camera& camera) {
    m_camera = camera;
    m_view = m_camera.viewMatrix();
}

void Engine::addMesh(const Mesh* mesh, const D3DXMATRIX& world, bool visible) {
    m_meshes.emplace_back(mesh, m_device.get(), world, visible);
}

void Engine::clearMeshes() {
    for (MeshInstance& instance : m_meshes) {
        instance.releaseBuffers();
    }
    m_meshes.clear();
}

void Engine::setMeshVisible(std::size_t index, bool visible) {
    if (index < m_meshes.size()) {
        m_meshes[index].setVisible(visible);
    }
}

void Engine::fillSemanticTable(SemanticTable& table) const {
    D3DXMATRIX worldView;
    D3DXMatrixMultiply(&worldView, &m_world, &m_view);
    D3DXMATRIX worldViewProjection;
    D3DXMatrixMultiply(&worldViewProjection, &worldView, &m_projection);
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &m_view, &m_projection);
    const D3DLIGHT9& l = m_light;
    // The light's position (not a direction) and the camera's target (not the eye) are what the
    // game's effects receive under the two object-space names.
    table.emplace("WORLD", matrixValue(m_world));
    table.emplace("VIEW", matrixValue(m_view));
    table.emplace("PROJECTION", matrixValue(m_projection));
    table.emplace("WORLDVIEW", matrixValue(worldView));
    table.emplace("WORLDVIEWPROJECTION", matrixValue(worldViewProjection));
    table.emplace("VIEWPROJECTION", matrixValue(viewProjection));
    table.emplace("DIR_LIGHT_VEC_0", float4Value(l.Direction.x, l.Direction.y, l.Direction.z, 1.0f));
    table.emplace("DIR_LIGHT_OBJ_VEC_0", float4Value(l.Position.x, l.Position.y, l.Position.z, 1.0f));
    table.emplace("DIR_LIGHT_DIFFUSE_0", float4Value(l.Diffuse.r, l.Diffuse.g, l.Diffuse.b, l.Diffuse.a));
    table.emplace("DIR_LIGHT_SPECULAR_0",
                  float4Value(l.Specular.r, l.Specular.g, l.Specular.b, l.Specular.a));
    table.emplace("LIGHT_SCALE", float4Value(1, 1, 1, 1));
    table.emplace("EYE_POSITION", float4Value(m_camera.eye.x, m_camera.eye.y, m_camera.eye.z, 1.0f));
    table.emplace("EYE_OBJ_POSITION",
                  float4Value(m_camera.target.x, m_camera.target.y, m_camera.target.z, 1.0f));
    table.emplace("TIME", floatValue(0.0f));
}

void Engine::bindParameters(ID3DXEffect& effect, D3DXHANDLE technique, const Material& material,
                            const SemanticTable& table, HeldTextures& held) {
    for (UINT i = 0;; ++i) {
        const D3DXHANDLE parameter = effect.GetParameter(nullptr, i);
        if (parameter == nullptr) {
            break;
        }
        if (!effect.IsParameterUsed(parameter, technique)) {
            continue;
        }
        D3DXPARAMETER_DESC desc{};
        effect.GetParameterDesc(parameter, &desc);
        if (desc.Semantic == nullptr) {
            continue;
        }
        const auto found = table.find(desc.Semantic);
        if (found != table.end()) {
            applyParameter(effect, parameter, found->second, held);
        }
    }
    // The material's values come last, so they win over a semantic value for the same parameter.
    for (const EffectParameter& p : material.parameters) {
        const D3DXHANDLE parameter = effect.GetParameterByName(nullptr, p.name.c_str());
        if (parameter != nullptr) {
            applyParameter(effect, parameter, p, held);
        }
    }
}

void Engine::applyParameter(ID3DXEffect& effect, D3DXHANDLE parameter, const EffectParameter& value,
                            HeldTextures& held) {
    switch (value.type) {
    case EffectParameter::kFloat:
        effect.SetFloat(parameter, value.floatValue);
        break;
    case EffectParameter::kTexture:
        if (RefPtr<IDirect3DTexture9> texture = m_textures.getTexture(m_device.get(), value.textureName)) {
            IDirect3DTexture9* raw = texture.get();
            held.hold(std::move(texture));
            effect.SetTexture(parameter, raw);
        }
        break;
    case EffectParameter::kFloat4:
        effect.SetFloatArray(parameter, value.float4Value, 4);
        break;
    case EffectParameter::kMatrix: {
        D3DXMATRIX m;
        std::memcpy(&m.m[0][0], value.matrixValue, sizeof value.matrixValue);
        effect.SetMatrix(parameter, &m);
        break;
    }
    default:
        break;
    }
}
