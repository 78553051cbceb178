// The graphics interface over the real Direct3D 9 and D3DX 9: each of our objects wraps one real
// COM object and holds one reference on it; our AddRef and Release count the wrapper's own
// references and drop the real one with the last. Values and constants are Direct3D's own, so
// they pass straight through.

// Our mirror first: the real headers define some of its names as macros.
#include "engine/d3d/d3dx9effect.h"

#include <windows.h>

#include <d3d9.h>
#include <d3dx9.h>

#include "engine/d3d/d3d9native.h"

#include <cstring>
#include <vector>

namespace {

template <class Interface, class Real>
class Wrapper : public Interface {
public:
    explicit Wrapper(Real* real) : m_real(real) {}

    d3d::ULONG AddRef() override { return ++m_count; }
    d3d::ULONG Release() override {
        const d3d::ULONG left = --m_count;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    Real* real() const { return m_real; }

protected:
    ~Wrapper() override { m_real->Release(); }

private:
    Real* m_real;
    d3d::ULONG m_count = 1;
};

class VertexDeclaration : public Wrapper<d3d::IDirect3DVertexDeclaration9, IDirect3DVertexDeclaration9> {
public:
    using Wrapper::Wrapper;
};

class Texture : public Wrapper<d3d::IDirect3DTexture9, IDirect3DTexture9> {
public:
    using Wrapper::Wrapper;
};

class VertexBuffer : public Wrapper<d3d::IDirect3DVertexBuffer9, IDirect3DVertexBuffer9> {
public:
    using Wrapper::Wrapper;
    d3d::HRESULT Lock(d3d::UINT offset, d3d::UINT size, void** data, d3d::DWORD flags) override {
        return real()->Lock(offset, size, data, flags);
    }
    d3d::HRESULT Unlock() override { return real()->Unlock(); }
};

class IndexBuffer : public Wrapper<d3d::IDirect3DIndexBuffer9, IDirect3DIndexBuffer9> {
public:
    using Wrapper::Wrapper;
    d3d::HRESULT Lock(d3d::UINT offset, d3d::UINT size, void** data, d3d::DWORD flags) override {
        return real()->Lock(offset, size, data, flags);
    }
    d3d::HRESULT Unlock() override { return real()->Unlock(); }
};

::D3DPRESENT_PARAMETERS toReal(const d3d::D3DPRESENT_PARAMETERS& p) {
    ::D3DPRESENT_PARAMETERS r{};
    r.BackBufferWidth = p.BackBufferWidth;
    r.BackBufferHeight = p.BackBufferHeight;
    r.BackBufferFormat = static_cast<::D3DFORMAT>(p.BackBufferFormat);
    r.BackBufferCount = p.BackBufferCount;
    r.MultiSampleType = static_cast<::D3DMULTISAMPLE_TYPE>(p.MultiSampleType);
    r.MultiSampleQuality = p.MultiSampleQuality;
    r.SwapEffect = static_cast<::D3DSWAPEFFECT>(p.SwapEffect);
    r.hDeviceWindow = static_cast<HWND>(p.hDeviceWindow);
    r.Windowed = p.Windowed;
    r.EnableAutoDepthStencil = p.EnableAutoDepthStencil;
    r.AutoDepthStencilFormat = static_cast<::D3DFORMAT>(p.AutoDepthStencilFormat);
    r.Flags = p.Flags;
    r.FullScreen_RefreshRateInHz = p.FullScreen_RefreshRateInHz;
    r.PresentationInterval = p.PresentationInterval;
    return r;
}

// Direct3D writes the sizes it chose back into the parameters; ours follow.
void fromReal(const ::D3DPRESENT_PARAMETERS& r, d3d::D3DPRESENT_PARAMETERS& p) {
    p.BackBufferWidth = r.BackBufferWidth;
    p.BackBufferHeight = r.BackBufferHeight;
    p.BackBufferFormat = static_cast<d3d::D3DFORMAT>(r.BackBufferFormat);
    p.BackBufferCount = r.BackBufferCount;
}

template <class Ours, class Real>
Real* unwrap(Ours* ours) {
    if (ours == nullptr) {
        return nullptr;
    }
    auto* wrapper = dynamic_cast<Wrapper<Ours, Real>*>(ours);
    return wrapper != nullptr ? wrapper->real() : nullptr;
}

class Device : public Wrapper<d3d::IDirect3DDevice9, IDirect3DDevice9> {
public:
    using Wrapper::Wrapper;

    d3d::HRESULT TestCooperativeLevel() override { return real()->TestCooperativeLevel(); }
    d3d::HRESULT Reset(d3d::D3DPRESENT_PARAMETERS* parameters) override {
        ::D3DPRESENT_PARAMETERS r = toReal(*parameters);
        const HRESULT hr = real()->Reset(&r);
        fromReal(r, *parameters);
        return hr;
    }
    d3d::HRESULT Present(const d3d::RECT* source, const d3d::RECT* dest, d3d::HWND window,
                         const d3d::RGNDATA* dirty) override {
        // The renderer presents the whole back buffer to the device window only.
        (void)source;
        (void)dest;
        (void)dirty;
        return real()->Present(nullptr, nullptr, static_cast<HWND>(window), nullptr);
    }
    d3d::HRESULT CreateVertexBuffer(d3d::UINT length, d3d::DWORD usage, d3d::DWORD fvf, d3d::D3DPOOL pool,
                                    d3d::IDirect3DVertexBuffer9** buffer, d3d::HANDLE* shared) override {
        IDirect3DVertexBuffer9* made = nullptr;
        const HRESULT hr = real()->CreateVertexBuffer(length, usage, fvf, static_cast<::D3DPOOL>(pool), &made,
                                                      static_cast<HANDLE*>(shared));
        *buffer = made != nullptr ? new VertexBuffer(made) : nullptr;
        return hr;
    }
    d3d::HRESULT CreateIndexBuffer(d3d::UINT length, d3d::DWORD usage, d3d::D3DFORMAT format,
                                   d3d::D3DPOOL pool, d3d::IDirect3DIndexBuffer9** buffer,
                                   d3d::HANDLE* shared) override {
        IDirect3DIndexBuffer9* made = nullptr;
        const HRESULT hr =
            real()->CreateIndexBuffer(length, usage, static_cast<::D3DFORMAT>(format),
                                      static_cast<::D3DPOOL>(pool), &made, static_cast<HANDLE*>(shared));
        *buffer = made != nullptr ? new IndexBuffer(made) : nullptr;
        return hr;
    }
    d3d::HRESULT BeginScene() override { return real()->BeginScene(); }
    d3d::HRESULT EndScene() override { return real()->EndScene(); }
    d3d::HRESULT Clear(d3d::DWORD count, const d3d::D3DRECT* rects, d3d::DWORD flags, d3d::D3DCOLOR color,
                       float z, d3d::DWORD stencil) override {
        // D3DRECT has the same four LONG fields in both.
        static_assert(sizeof(d3d::D3DRECT) == sizeof(::D3DRECT), "rectangles match");
        std::vector<::D3DRECT> real_rects(count);
        for (d3d::DWORD i = 0; i < count && rects != nullptr; ++i) {
            real_rects[i] = {rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2};
        }
        return real()->Clear(count, rects != nullptr ? real_rects.data() : nullptr, flags, color, z, stencil);
    }
    d3d::HRESULT SetRenderState(d3d::D3DRENDERSTATETYPE state, d3d::DWORD value) override {
        return real()->SetRenderState(static_cast<::D3DRENDERSTATETYPE>(state), value);
    }
    d3d::HRESULT DrawIndexedPrimitive(d3d::D3DPRIMITIVETYPE type, d3d::INT baseVertex, d3d::UINT minIndex,
                                      d3d::UINT vertices, d3d::UINT startIndex,
                                      d3d::UINT primitives) override {
        return real()->DrawIndexedPrimitive(static_cast<::D3DPRIMITIVETYPE>(type), baseVertex, minIndex,
                                            vertices, startIndex, primitives);
    }
    d3d::HRESULT CreateVertexDeclaration(const d3d::D3DVERTEXELEMENT9* elements,
                                         d3d::IDirect3DVertexDeclaration9** declaration) override {
        std::vector<::D3DVERTEXELEMENT9> real_elements;
        for (const d3d::D3DVERTEXELEMENT9* e = elements;; ++e) {
            real_elements.push_back({e->Stream, e->Offset, e->Type, e->Method, e->Usage, e->UsageIndex});
            if (e->Stream == 0xFF) {
                break;
            }
        }
        IDirect3DVertexDeclaration9* made = nullptr;
        const HRESULT hr = real()->CreateVertexDeclaration(real_elements.data(), &made);
        *declaration = made != nullptr ? new VertexDeclaration(made) : nullptr;
        return hr;
    }
    d3d::HRESULT SetVertexDeclaration(d3d::IDirect3DVertexDeclaration9* declaration) override {
        return real()->SetVertexDeclaration(
            unwrap<d3d::IDirect3DVertexDeclaration9, IDirect3DVertexDeclaration9>(declaration));
    }
    d3d::HRESULT SetStreamSource(d3d::UINT stream, d3d::IDirect3DVertexBuffer9* buffer, d3d::UINT offset,
                                 d3d::UINT stride) override {
        return real()->SetStreamSource(
            stream, unwrap<d3d::IDirect3DVertexBuffer9, IDirect3DVertexBuffer9>(buffer), offset, stride);
    }
    d3d::HRESULT SetIndices(d3d::IDirect3DIndexBuffer9* buffer) override {
        return real()->SetIndices(unwrap<d3d::IDirect3DIndexBuffer9, IDirect3DIndexBuffer9>(buffer));
    }
};

class Direct3D : public Wrapper<d3d::IDirect3D9, IDirect3D9> {
public:
    using Wrapper::Wrapper;

    d3d::HRESULT GetAdapterDisplayMode(d3d::UINT adapter, d3d::D3DDISPLAYMODE* mode) override {
        ::D3DDISPLAYMODE r{};
        const HRESULT hr = real()->GetAdapterDisplayMode(adapter, &r);
        mode->Width = r.Width;
        mode->Height = r.Height;
        mode->RefreshRate = r.RefreshRate;
        mode->Format = static_cast<d3d::D3DFORMAT>(r.Format);
        return hr;
    }
    d3d::HRESULT CheckDeviceMultiSampleType(d3d::UINT adapter, d3d::D3DDEVTYPE type, d3d::D3DFORMAT format,
                                            d3d::BOOL windowed, d3d::D3DMULTISAMPLE_TYPE samples,
                                            d3d::DWORD* qualityLevels) override {
        DWORD levels = 0;
        const HRESULT hr = real()->CheckDeviceMultiSampleType(
            adapter, static_cast<::D3DDEVTYPE>(type), static_cast<::D3DFORMAT>(format), windowed,
            static_cast<::D3DMULTISAMPLE_TYPE>(samples), &levels);
        if (qualityLevels != nullptr) {
            *qualityLevels = levels;
        }
        return hr;
    }
    d3d::HRESULT GetDeviceCaps(d3d::UINT adapter, d3d::D3DDEVTYPE type, d3d::D3DCAPS9* caps) override {
        ::D3DCAPS9 r{};
        const HRESULT hr = real()->GetDeviceCaps(adapter, static_cast<::D3DDEVTYPE>(type), &r);
        caps->DeviceType = static_cast<d3d::D3DDEVTYPE>(r.DeviceType);
        caps->AdapterOrdinal = r.AdapterOrdinal;
        caps->DevCaps = r.DevCaps;
        return hr;
    }
    d3d::HRESULT CreateDevice(d3d::UINT adapter, d3d::D3DDEVTYPE type, d3d::HWND focusWindow,
                              d3d::DWORD behaviorFlags, d3d::D3DPRESENT_PARAMETERS* parameters,
                              d3d::IDirect3DDevice9** device) override {
        ::D3DPRESENT_PARAMETERS r = toReal(*parameters);
        IDirect3DDevice9* made = nullptr;
        const HRESULT hr = real()->CreateDevice(adapter, static_cast<::D3DDEVTYPE>(type),
                                                static_cast<HWND>(focusWindow), behaviorFlags, &r, &made);
        fromReal(r, *parameters);
        *device = made != nullptr ? new Device(made) : nullptr;
        return hr;
    }
};

class Effect : public Wrapper<d3d::ID3DXEffect, ID3DXEffect> {
public:
    using Wrapper::Wrapper;

    d3d::D3DXHANDLE GetParameter(d3d::D3DXHANDLE parent, d3d::UINT index) override {
        return real()->GetParameter(parent, index);
    }
    d3d::D3DXHANDLE GetParameterByName(d3d::D3DXHANDLE parent, const char* name) override {
        return real()->GetParameterByName(parent, name);
    }
    d3d::HRESULT GetParameterDesc(d3d::D3DXHANDLE parameter, d3d::D3DXPARAMETER_DESC* desc) override {
        ::D3DXPARAMETER_DESC r{};
        const HRESULT hr = real()->GetParameterDesc(parameter, &r);
        desc->Name = r.Name;
        desc->Semantic = r.Semantic;
        desc->Class = static_cast<d3d::D3DXPARAMETER_CLASS>(r.Class);
        desc->Type = static_cast<d3d::D3DXPARAMETER_TYPE>(r.Type);
        desc->Rows = r.Rows;
        desc->Columns = r.Columns;
        desc->Elements = r.Elements;
        desc->Annotations = r.Annotations;
        desc->StructMembers = r.StructMembers;
        desc->Flags = r.Flags;
        desc->Bytes = r.Bytes;
        return hr;
    }
    d3d::D3DXHANDLE GetTechnique(d3d::UINT index) override { return real()->GetTechnique(index); }
    d3d::BOOL IsParameterUsed(d3d::D3DXHANDLE parameter, d3d::D3DXHANDLE technique) override {
        return real()->IsParameterUsed(parameter, technique);
    }
    d3d::HRESULT SetFloat(d3d::D3DXHANDLE parameter, float value) override {
        return real()->SetFloat(parameter, value);
    }
    d3d::HRESULT SetFloatArray(d3d::D3DXHANDLE parameter, const float* values, d3d::UINT count) override {
        return real()->SetFloatArray(parameter, values, count);
    }
    d3d::HRESULT SetMatrix(d3d::D3DXHANDLE parameter, const d3d::D3DXMATRIX* matrix) override {
        ::D3DXMATRIX r;
        std::memcpy(&r.m[0][0], &matrix->m[0][0], sizeof r.m);
        return real()->SetMatrix(parameter, &r);
    }
    d3d::HRESULT SetTexture(d3d::D3DXHANDLE parameter, d3d::IDirect3DBaseTexture9* texture) override {
        auto* ours = dynamic_cast<Texture*>(texture);
        return real()->SetTexture(parameter, ours != nullptr ? ours->real() : nullptr);
    }
    d3d::HRESULT SetTechnique(d3d::D3DXHANDLE technique) override { return real()->SetTechnique(technique); }
    d3d::HRESULT Begin(d3d::UINT* passes, d3d::DWORD flags) override { return real()->Begin(passes, flags); }
    d3d::HRESULT BeginPass(d3d::UINT pass) override { return real()->BeginPass(pass); }
    d3d::HRESULT CommitChanges() override { return real()->CommitChanges(); }
    d3d::HRESULT EndPass() override { return real()->EndPass(); }
    d3d::HRESULT End() override { return real()->End(); }
};

IDirect3DDevice9* realDevice(d3d::IDirect3DDevice9* device) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours != nullptr ? ours->real() : nullptr;
}

} // namespace

namespace d3d {

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    ::IDirect3D9* real = ::Direct3DCreate9(sdkVersion);
    return real != nullptr ? new Direct3D(real) : nullptr;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture) {
    ::IDirect3DTexture9* made = nullptr;
    const HRESULT hr = ::D3DXCreateTextureFromFileInMemory(realDevice(device), data, size, &made);
    *texture = made != nullptr ? new Texture(made) : nullptr;
    return hr;
}

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT size, const D3DXMACRO* /*defines*/,
                         ID3DXInclude* /*include*/, DWORD flags, ID3DXEffectPool* /*pool*/,
                         ID3DXEffect** effect, ID3DXBuffer** /*errors*/) {
    // The renderer passes no defines, include handler, pool or error buffer.
    ::ID3DXEffect* made = nullptr;
    const HRESULT hr =
        ::D3DXCreateEffect(realDevice(device), data, size, nullptr, nullptr, flags, nullptr, &made, nullptr);
    *effect = made != nullptr ? new Effect(made) : nullptr;
    return hr;
}

::IDirect3DDevice9* nativeDevice(IDirect3DDevice9* device) {
    return realDevice(device);
}

} // namespace d3d
