#include "render/framecapture.h"

#include "main/d3dexception.h"

#include <windows.h>

#include <d3d9.h>

namespace {

void check(HRESULT hr, int line) {
    if (FAILED(hr)) {
        throw D3DException(__FILE__, line, hr);
    }
}

} // namespace

FrameCapture::FrameCapture(IDirect3DDevice9* device) : m_device(device) {
    try {
        D3DSURFACE_DESC back{};
        check(device->GetRenderTarget(0, &m_saved[0]), __LINE__);
        check(device->GetDepthStencilSurface(&m_saved[1]), __LINE__);
        m_saved[0]->GetDesc(&back);
        m_width = back.Width;
        m_height = back.Height;
        check(device->CreateRenderTarget(back.Width, back.Height, back.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         &m_ours[0], nullptr),
              __LINE__);
        check(device->CreateDepthStencilSurface(back.Width, back.Height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                                FALSE, &m_ours[1], nullptr),
              __LINE__);
        check(device->CreateOffscreenPlainSurface(back.Width, back.Height, back.Format, D3DPOOL_SYSTEMMEM,
                                                  &m_ours[2], nullptr),
              __LINE__);
    } catch (...) {
        for (IDirect3DSurface9* surface : {m_saved[0], m_saved[1], m_ours[0], m_ours[1], m_ours[2]}) {
            if (surface != nullptr) {
                surface->Release();
            }
        }
        throw;
    }
    device->SetRenderTarget(0, m_ours[0]);
    device->SetDepthStencilSurface(m_ours[1]);
}

FrameCapture::~FrameCapture() {
    m_device->SetRenderTarget(0, m_saved[0]);
    m_device->SetDepthStencilSurface(m_saved[1]);
    for (IDirect3DSurface9* surface : {m_saved[0], m_saved[1], m_ours[0], m_ours[1], m_ours[2]}) {
        surface->Release();
    }
}

std::vector<std::uint8_t> FrameCapture::read() const {
    check(m_device->GetRenderTargetData(m_ours[0], m_ours[2]), __LINE__);
    D3DLOCKED_RECT locked{};
    check(m_ours[2]->LockRect(&locked, nullptr, D3DLOCK_READONLY), __LINE__);
    // The back buffer's format is the display's, X8R8G8B8: a word of 0xXXRRGGBB per pixel.
    std::vector<std::uint8_t> rgba;
    rgba.reserve(std::size_t{m_width} * m_height * 4);
    for (unsigned y = 0; y < m_height; ++y) {
        const auto* row = static_cast<const std::uint32_t*>(locked.pBits) + y * (locked.Pitch / 4);
        for (unsigned x = 0; x < m_width; ++x) {
            rgba.insert(rgba.end(),
                        {static_cast<std::uint8_t>(row[x] >> 16), static_cast<std::uint8_t>(row[x] >> 8),
                         static_cast<std::uint8_t>(row[x]), 255});
        }
    }
    m_ours[2]->UnlockRect();
    return rgba;
}
