#include "engine/gl/gldirect3d.h"

#include "engine/gl/gldevice.h"
#include "engine/gl/glsurface.h"

#include <exception>

using namespace d3d;

HRESULT GlDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *mode = D3DDISPLAYMODE{};
    mode->Width = 1920;
    mode->Height = 1080;
    mode->RefreshRate = 60;
    mode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

// Frames are drawn without multisampling, as the real stack draws into a plain render target; a
// face that wants smoother edges asks its own surface for them.
HRESULT GlDirect3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE, D3DFORMAT, BOOL,
                                               D3DMULTISAMPLE_TYPE samples, DWORD* qualityLevels) {
    if (adapter != D3DADAPTER_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    if (samples != D3DMULTISAMPLE_NONE) {
        return D3DERR_NOTAVAILABLE;
    }
    if (qualityLevels != nullptr) {
        *qualityLevels = 1;
    }
    return D3D_OK;
}

HRESULT GlDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    if (adapter != D3DADAPTER_DEFAULT || caps == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *caps = D3DCAPS9{};
    caps->DeviceType = type;
    caps->AdapterOrdinal = adapter;
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    return D3D_OK;
}

HRESULT GlDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE, HWND focusWindow, DWORD,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
    if (adapter != D3DADAPTER_DEFAULT || parameters == nullptr || device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *device = nullptr;
    HWND window = parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focusWindow;
    if (window == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    try {
        *device = new GlDevice(*static_cast<GlSurface*>(window), *parameters);
    } catch (const std::exception&) {
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

namespace d3d {

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) {
        return nullptr;
    }
    return new GlDirect3D;
}

} // namespace d3d
