#include "info/nativeeffectcheck.h"

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/effectfile.h"
#include "engine/gl/eglsurface.h"

#include <stdexcept>

using namespace d3d;

namespace {

// A parameter's type as an effect's source spells it: "float4", "float4x4", "texture2D", "int[3]".
std::string typeName(const D3DXPARAMETER_DESC& desc) {
    static const char* const names[] = {"void",         "bool",          "int",           "float",
                                        "string",       "texture",       "texture1D",     "texture2D",
                                        "texture3D",    "textureCUBE",   "sampler",       "sampler1D",
                                        "sampler2D",    "sampler3D",     "samplerCUBE",   "pixelshader",
                                        "vertexshader", "pixelfragment", "vertexfragment"};
    std::string text = static_cast<unsigned>(desc.Type) < sizeof(names) / sizeof(names[0])
                           ? names[desc.Type]
                           : "type " + std::to_string(static_cast<unsigned>(desc.Type));
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
    RefPtr<ID3DXEffect> effect;
    const HRESULT hr = D3DXCreateEffect(m_device.get(), bytes.data(), static_cast<UINT>(bytes.size()),
                                        nullptr, nullptr, 0, nullptr, effect.put(), nullptr);
    if (failed(hr) || !effect) {
        return verdict;
    }
    verdict.accepted = true;
    D3DXPARAMETER_DESC desc{};
    for (UINT i = 0; const D3DXHANDLE parameter = effect->GetParameter(nullptr, i); ++i) {
        if (succeeded(effect->GetParameterDesc(parameter, &desc)) && desc.Name != nullptr) {
            verdict.parameters.emplace(desc.Name, typeName(desc));
        }
    }
    // The graphics interface hands out techniques by handle only; their names are the file's.
    EffectFile file;
    std::string error;
    if (effect->GetTechnique(0) != nullptr && EffectFile::read(bytes.data(), bytes.size(), file, error) &&
        !file.techniques.empty()) {
        verdict.hasTechnique = true;
        verdict.technique = file.techniques[0].name;
    }
    return verdict;
}
