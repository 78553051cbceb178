#include "realgraphics.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

const char kWindowClass[] = "KestrinTestWindow";

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerWindowClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassA(&windowClass) != 0;
    }();
    if (!registered) {
        throw std::runtime_error("RegisterClass failed");
    }
}

void check(HRESULT hr, const char* call) {
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
        throw std::runtime_error(std::string(call) + " failed with " + code);
    }
}

} // namespace

std::string fixtureDataFolder() {
    const char* folder = std::getenv("KESTRIN_WINDOWS_DATA");
    if (folder == nullptr || *folder == '\0') {
        throw std::runtime_error("KESTRIN_WINDOWS_DATA is not set; run the tests through CTest");
    }
    return std::string(folder) + "\\";
}

HiddenWindow::HiddenWindow(int width, int height) {
    registerWindowClass();
    // A pop-up has no frame, so its client area is the whole window; without WS_VISIBLE it stays hidden.
    m_window = CreateWindowExA(0, kWindowClass, "Kestrin test", WS_POPUP, 0, 0, width, height, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    if (m_window == nullptr) {
        throw std::runtime_error("CreateWindowEx failed");
    }
}

HiddenWindow::~HiddenWindow() {
    DestroyWindow(m_window);
}

CountingFileManager::CountingFileManager() : FileManager(fixtureDataFolder()) {}

RefPtr<File> CountingFileManager::open(const std::string& path) {
    ++m_opens[path];
    return FileManager::open(path);
}

int CountingFileManager::opens(const std::string& path) const {
    const auto found = m_opens.find(path);
    return found != m_opens.end() ? found->second : 0;
}

std::vector<unsigned char> readWhole(FileManager& files, const std::string& path) {
    RefPtr<File> file = files.open(path);
    if (!file) {
        return {};
    }
    return file->readBytes(file->size());
}

ULONG referenceCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

std::size_t Frame::litCount() const {
    std::size_t count = 0;
    for (const std::uint32_t p : pixels) {
        count += p != 0 ? 1 : 0;
    }
    return count;
}

FrameCapture::FrameCapture(IDirect3DDevice9* device) : m_device(device) {
    check(m_device->GetRenderTarget(0, &m_savedTarget), "GetRenderTarget");
    check(m_device->GetDepthStencilSurface(&m_savedDepth), "GetDepthStencilSurface");
    D3DSURFACE_DESC back{};
    check(m_savedTarget->GetDesc(&back), "GetDesc");
    if (back.Format != D3DFMT_X8R8G8B8 && back.Format != D3DFMT_A8R8G8B8) {
        throw std::runtime_error("the back buffer is not 32-bit RGB");
    }
    check(m_device->CreateRenderTarget(back.Width, back.Height, back.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                       &m_target, nullptr),
          "CreateRenderTarget");
    check(m_device->CreateDepthStencilSurface(back.Width, back.Height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                              FALSE, &m_depth, nullptr),
          "CreateDepthStencilSurface");
    check(m_device->SetRenderTarget(0, m_target), "SetRenderTarget");
    check(m_device->SetDepthStencilSurface(m_depth), "SetDepthStencilSurface");
}

FrameCapture::~FrameCapture() {
    m_device->SetRenderTarget(0, m_savedTarget);
    m_device->SetDepthStencilSurface(m_savedDepth);
    for (IDirect3DSurface9* surface : {m_depth, m_target, m_savedDepth, m_savedTarget}) {
        if (surface != nullptr) {
            surface->Release();
        }
    }
}

Frame FrameCapture::read() const {
    D3DSURFACE_DESC desc{};
    check(m_target->GetDesc(&desc), "GetDesc");
    IDirect3DSurface9* copy = nullptr;
    check(m_device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                &copy, nullptr),
          "CreateOffscreenPlainSurface");
    Frame frame;
    HRESULT hr = m_device->GetRenderTargetData(m_target, copy);
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(hr)) {
        hr = copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    }
    if (SUCCEEDED(hr)) {
        frame.width = desc.Width;
        frame.height = desc.Height;
        frame.pixels.reserve(std::size_t{desc.Width} * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(locked.pBits) +
                                                                     std::size_t{y} * locked.Pitch);
            for (UINT x = 0; x < desc.Width; ++x) {
                frame.pixels.push_back(row[x] & 0xFFFFFF);
            }
        }
        copy->UnlockRect();
    }
    copy->Release();
    check(hr, "reading the frame back");
    return frame;
}
