#include "info/nativeeffectcheck.h"

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/effectfile.h"
#include "engine/gl/eglsurface.h"
#include "engine/gl/gldevice.h"
#include "engine/gl/gleffect.h"

#include <stdexcept>

using namespace d3d;

namespace {

// A parameter's type as an effect's source spells it: "float4", "float4x4", "texture2D", "int[3]".
std::string typeName(const D3DXPARAMETER_DESC& desc) {
    const char* name = EffectFile::typeName(static_cast<std::uint32_t>(desc.Type));
    std::string text = name != nullptr ? name : "type " + std::to_string(static_cast<unsigned>(desc.Type));
    if (desc.Class == D3DXPC_STRUCT) {
        text = "struct";
    } else if (desc.Class == D3DXPC_VECTOR) {
        text += std::to_string(desc.Columns);
    } else if (desc.Class == D3DXPC_MATRIX_ROWS || desc.Class == D3DXPC_MATRIX_COLUMNS) {
        text += std::to_string(desc.Rows) + "x" + std::to_string(desc.Columns);
    }
    if (desc.Elements > 0) {
        text += "[" + std::to_string(desc.Elements) + "]";
    }
    return text;
}

} // namespace

NativeEffectCheck::NativeEffectCheck() = default;

NativeEffectCheck::~NativeEffectCheck() {
    // The device goes before Direct3D, and both before the surface they draw on.
    m_device.reset();
    m_direct3d.reset();
    m_surface.reset();
}

bool NativeEffectCheck::makeDevice() {
    if (m_device) {
        return true;
    }
    if (!m_unavailable.empty()) {
        return false;
    }
    try {
        m_surface = std::make_unique<EglSurface>(16, 16);
    } catch (const std::runtime_error& e) {
        m_unavailable = e.what();
        return false;
    }
    m_direct3d = RefPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS presentation{};
    presentation.BackBufferCount = 1;
    presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
    // The native backend takes its surface where Direct3D takes a window.
    presentation.hDeviceWindow = static_cast<GlSurface*>(m_surface.get());
    presentation.Windowed = 1;
    presentation.EnableAutoDepthStencil = 1;
    presentation.AutoDepthStencilFormat = D3DFMT_D24S8;
    const HRESULT hr =
        m_direct3d
            ? m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, presentation.hDeviceWindow,
                                       D3DCREATE_HARDWARE_VERTEXPROCESSING, &presentation, m_device.put())
            : D3DERR_NOTAVAILABLE;
    if (failed(hr)) {
        m_device.reset();
        m_unavailable = "the native renderer made no device";
        return false;
    }
    return true;
}

std::optional<EffectVerdict> NativeEffectCheck::check(const std::vector<unsigned char>& bytes) {
    if (!makeDevice()) {
        return std::nullopt;
    }
    EffectVerdict verdict;
    // The backend's own effect, which says why a file or a technique cannot be run.
    RefPtr<GlEffect> effect =
        GlEffect::create(static_cast<GlDevice*>(m_device.get()), bytes.data(), bytes.size(), verdict.problem);
    if (!effect) {
        return verdict;
    }
    verdict.accepted = true;
    D3DXPARAMETER_DESC desc{};
    for (UINT i = 0; const D3DXHANDLE parameter = effect->GetParameter(nullptr, i); ++i) {
        if (succeeded(effect->GetParameterDesc(parameter, &desc)) && desc.Name != nullptr) {
            verdict.parameters.emplace(desc.Name, typeName(desc));
        }
    }
    for (std::size_t i = 0; i < effect->file().techniques.size(); ++i) {
        verdict.techniqueProblems.push_back(effect->techniqueProblem(i));
    }
    if (!effect->file().techniques.empty()) {
        verdict.hasTechnique = true;
        verdict.technique = effect->file().techniques[0].name;
        verdict.problem = effect->techniqueProblem(0);
    }
    return verdict;
}
