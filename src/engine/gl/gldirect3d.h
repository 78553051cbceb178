#pragma once

#include "engine/gl/glcounted.h"

// The Direct3D object of the native renderer. Its one adapter is whatever OpenGL the surface
// offers; devices are created over a GlSurface passed as the window handle.
class GlDirect3D : public GlCounted<d3d::IDirect3D9> {
public:
    d3d::HRESULT GetAdapterDisplayMode(d3d::UINT adapter, d3d::D3DDISPLAYMODE* mode) override;
    d3d::HRESULT CheckDeviceMultiSampleType(d3d::UINT adapter, d3d::D3DDEVTYPE type, d3d::D3DFORMAT format,
                                            d3d::BOOL windowed, d3d::D3DMULTISAMPLE_TYPE samples,
                                            d3d::DWORD* qualityLevels) override;
    d3d::HRESULT GetDeviceCaps(d3d::UINT adapter, d3d::D3DDEVTYPE type, d3d::D3DCAPS9* caps) override;
    d3d::HRESULT CreateDevice(d3d::UINT adapter, d3d::D3DDEVTYPE type, d3d::HWND focusWindow,
                              d3d::DWORD behaviorFlags, d3d::D3DPRESENT_PARAMETERS* parameters,
                              d3d::IDirect3DDevice9** device) override;
};
