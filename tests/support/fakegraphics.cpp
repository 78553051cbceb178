#include "support/fakegraphics.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <sstream>
#include <type_traits>

using namespace d3d;

namespace {

FakeGraphics* g_current = nullptr;

// One argument in the call log: text as it is, objects as "#ID", numbers as streams print them.
template <class T>
std::string text(const T& v);

// The pending injected failure of method, used up; D3D_OK when there is none.
HRESULT injected(FakeGraphics::Shared& g, const std::string& method) {
    auto it = g.failures.find(method);
    const HRESULT hr = it == g.failures.end() ? D3D_OK : it->second.first;
    if (hr != D3D_OK && it->second.second > 0 && --it->second.second == 0) {
        g.failures.erase(it);
    }
    return hr;
}

} // namespace

// What every fake object has: an id, the device it was made on (none for devices), references,
// and the checks its methods are made of.
class FakeObject {
public:
    FakeObject(FakeGraphics::Shared& graphics, const FakeObject* on)
        : g(graphics), device(on), id(static_cast<int>(graphics.objects.size()) + 1) {}
    virtual ~FakeObject() = default;
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    bool alive() const { return references > 0; }
    const FakeObject* self() const { return this; }

    // Logs method(args); D3D_OK unless the object is released or a failure is injected for method.
    template <class... Args>
    HRESULT enter(const char* method, const Args&... args) {
        entered = method;
        if (g.recording) {
            std::string call = std::string(method) + '(';
            ((call += text(args), call += ','), ...);
            call.back() == ',' ? void(call.back() = ')') : void(call += ')');
            g.calls.push_back(std::move(call));
        }
        return check(injected(g, method), !alive(), "after the last Release");
    }
    // hr, or misuse of the method entered when hr is D3D_OK but the call is bad.
    HRESULT check(HRESULT hr, bool bad, const char* what = "misused") {
        if (hr == D3D_OK && bad) {
            g.errors.push_back(text(self()) + " " + entered + ": " + what);
            return D3DERR_INVALIDCALL;
        }
        return hr;
    }
    // check(hr, bad), and on success state becomes value.
    template <class T>
    HRESULT step(HRESULT hr, bool bad, T& state, T value) {
        hr = check(hr, bad);
        state = hr == D3D_OK ? value : state;
        return hr;
    }
    // hr, with value (or nothing on failure) written to the output p, if any.
    template <class T, class V>
    HRESULT out(HRESULT hr, T* p, V value) {
        if (p != nullptr) {
            *p = hr == D3D_OK ? value : T{};
        }
        return hr;
    }
    // The fake behind an object argument, when it is ours, alive and made on `on`.
    template <class T>
    T* argument(IUnknown* p, const FakeObject* on) const {
        auto* fake = dynamic_cast<T*>(p);
        return fake != nullptr && fake->alive() && fake->device == on ? fake : nullptr;
    }
    // A new object, kept until the FakeGraphics goes, when hr is D3D_OK.
    template <class T, class... Args>
    T* make(HRESULT hr, const FakeObject* on, Args... args) {
        if (hr != D3D_OK) {
            return nullptr;
        }
        g.objects.push_back(std::make_unique<T>(g, on, args...));
        return static_cast<T*>(g.objects.back().get());
    }
    virtual void onFinalRelease() {}

    FakeGraphics::Shared& g;
    const FakeObject* const device;
    const int id;
    int references = 1;
    const char* entered = ""; // the method, for messages
};

namespace {

template <class T>
std::string text(const T& v) {
    if constexpr (std::is_same_v<T, std::string>) {
        return v;
    } else if constexpr (std::is_convertible_v<T, const char*>) {
        return v == nullptr ? "null" : v;
    } else if constexpr (std::is_pointer_v<T>) {
        const auto* fake = dynamic_cast<const FakeObject*>(v);
        return v == nullptr ? "null" : fake == nullptr ? "foreign" : "#" + std::to_string(fake->id);
    } else {
        std::ostringstream out;
        out << +v;
        return out.str();
    }
}

template <class Interface>
class Fake : public Interface, public FakeObject {
public:
    using FakeObject::FakeObject;
    ULONG AddRef() override {
        entered = "AddRef";
        references += check(D3D_OK, !alive(), "after the last Release") == D3D_OK ? 1 : 0;
        return static_cast<ULONG>(references);
    }
    ULONG Release() override {
        entered = "Release";
        if (check(D3D_OK, !alive(), "no reference left") == D3D_OK && --references == 0) {
            g.finalReleases.push_back(text(self()));
            onFinalRelease();
        }
        return static_cast<ULONG>(references);
    }
};

using FakeTexture = Fake<IDirect3DTexture9>;
using FakeDeclaration = Fake<IDirect3DVertexDeclaration9>;

// A vertex or index buffer; bytes written outside the locked range (or past the end, into a
// guard) are reported at Unlock.
template <class Interface>
class FakeBuffer : public Fake<Interface> {
public:
    FakeBuffer(FakeGraphics::Shared& shared, const FakeObject* on, UINT bytes, UINT indexBytes)
        : Fake<Interface>(shared, on), length(bytes), indexSize(indexBytes), storage(bytes + 64) {}

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        const HRESULT hr = this->check(this->enter("Lock", this->self(), offset, size, flags),
                                       locked || offset > length || size > length - offset);
        if (hr == D3D_OK) {
            before = storage;
            range = {offset, size == 0 ? length : offset + size};
        }
        return this->step(this->out(hr, data, storage.data() + range.first), false, locked, true);
    }
    HRESULT Unlock() override {
        const HRESULT hr = this->step(this->enter("Unlock", this->self()), !locked, locked, false);
        const auto from = storage.begin() + range.first;
        const auto to = storage.begin() + range.second;
        this->g.written[this->id].assign(from, to);
        return this->check(hr,
                           !std::equal(storage.begin(), from, before.begin()) ||
                               !std::equal(to, storage.end(), before.begin() + range.second),
                           "bytes written outside the locked range");
    }
    void onFinalRelease() override { this->check(D3D_OK, locked, "released while locked"); }

    const UINT length;
    const UINT indexSize; // 0 for a vertex buffer
    std::vector<char> storage;
    std::vector<char> before = storage;
    std::pair<UINT, UINT> range; // locked last
    bool locked = false;
};

using FakeVertexBuffer = FakeBuffer<IDirect3DVertexBuffer9>;
using FakeIndexBuffer = FakeBuffer<IDirect3DIndexBuffer9>;

// Checks that draws happen inside a scene and read only what their buffers hold, and that a Reset
// finds no resource of the device alive.
class FakeDevice : public Fake<IDirect3DDevice9> {
public:
    using Fake::Fake;

    HRESULT TestCooperativeLevel() override {
        const HRESULT hr = enter("TestCooperativeLevel");
        return hr != D3D_OK ? hr : g.cooperativeLevel;
    }
    HRESULT Reset(D3DPRESENT_PARAMETERS* p) override {
        g.presentParameters = *p;
        HRESULT hr = enter("Reset", p->BackBufferWidth, p->BackBufferHeight, p->BackBufferCount, p->Windowed);
        hr = check(hr, m_inScene || std::any_of(g.objects.begin(), g.objects.end(), [this](const auto& o) {
                           return o->device == this && o->alive();
                       }));
        hr = hr == D3D_OK && g.cooperativeLevel == D3DERR_DEVICELOST ? D3DERR_DEVICELOST : hr;
        m = hr == D3D_OK ? Bindings{} : m;
        g.cooperativeLevel = hr == D3D_OK ? D3D_OK : g.cooperativeLevel;
        return hr;
    }
    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
        const HRESULT hr = check(enter("Present"), m_inScene);
        return hr == D3D_OK && g.cooperativeLevel != D3D_OK ? D3DERR_DEVICELOST : hr;
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** b,
                               HANDLE* shared) override {
        const HRESULT hr =
            check(enter("CreateVertexBuffer", length, usage, fvf, pool), length == 0 || shared);
        return out(hr, b, make<FakeVertexBuffer>(hr, this, length, 0u));
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** b, HANDLE* shared) override {
        const HRESULT hr =
            check(enter("CreateIndexBuffer", length, usage, format, pool), length == 0 || shared);
        return out(hr, b, make<FakeIndexBuffer>(hr, this, length, format == D3DFMT_INDEX16 ? 2u : 4u));
    }
    HRESULT BeginScene() override { return step(enter("BeginScene"), m_inScene, m_inScene, true); }
    HRESULT EndScene() override { return step(enter("EndScene"), !m_inScene, m_inScene, false); }
    HRESULT Clear(DWORD count, const D3DRECT*, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
        return enter("Clear", count, flags, color, z, stencil);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override { return enter("SetRenderState", s, v); }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex, UINT vertices, UINT start,
                                 UINT primitives) override {
        const HRESULT hr = enter("DrawIndexedPrimitive", type, base, minIndex, vertices, start, primitives);
        return check(hr, !drawable(type, base, minIndex, vertices, start, primitives));
    }
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** d) override {
        std::string list;
        for (const D3DVERTEXELEMENT9* e = elements; e->Stream != 0xFF; ++e) {
            list += (list.empty() ? "" : ";") + text(e->Stream) + ':' + text(e->Offset) + ':' +
                    text(e->Type) + ':' + text(e->Method) + ':' + text(e->Usage) + ':' + text(e->UsageIndex);
        }
        const HRESULT hr = enter("CreateVertexDeclaration", list);
        return out(hr, d, make<FakeDeclaration>(hr, this));
    }
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* d) override {
        return bind(enter("SetVertexDeclaration", d), d, m.declaration);
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override {
        const HRESULT hr = check(enter("SetStreamSource", stream, buffer, offset, stride), stream != 0);
        m.offset = hr == D3D_OK ? offset : m.offset;
        m.stride = hr == D3D_OK ? stride : m.stride;
        return bind(hr, buffer, m.vertices);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override {
        return bind(enter("SetIndices", buffer), buffer, m.indices);
    }

private:
    // What draws read; the renderer's one declaration reads stream 0 only.
    struct Bindings {
        FakeDeclaration* declaration = nullptr;
        FakeVertexBuffer* vertices = nullptr;
        UINT offset = 0;
        UINT stride = 0;
        FakeIndexBuffer* indices = nullptr;
    };

    // Binds object (none unbinds) into slot when it is ours, alive and on this device.
    template <class T>
    HRESULT bind(HRESULT hr, IUnknown* object, T*& slot) {
        T* fake = object != nullptr ? argument<T>(object, this) : nullptr;
        return step(hr, object != nullptr && fake == nullptr, slot, fake);
    }
    bool drawable(D3DPRIMITIVETYPE type, INT base, UINT minIndex, UINT vertices, UINT start,
                  UINT primitives) const {
        const FakeIndexBuffer* indices = argument<FakeIndexBuffer>(m.indices, this);
        const FakeVertexBuffer* buffer = argument<FakeVertexBuffer>(m.vertices, this);
        if (!m_inScene || !argument<FakeDeclaration>(m.declaration, this) || !indices || !buffer ||
            indices->locked || buffer->locked || m.stride == 0) {
            return false;
        }
        const std::uint64_t available =
            m.offset > buffer->length ? 0 : (buffer->length - m.offset) / m.stride;
        const std::uint64_t end = std::uint64_t{start} + primitives * (type == D3DPT_TRIANGLELIST ? 3 : 2);
        bool fits = base >= 0 && std::uint64_t(base) + minIndex + vertices <= available &&
                    end <= indices->length / indices->indexSize;
        for (std::uint64_t i = start; fits && i < end; ++i) {
            std::uint32_t index = 0;
            std::memcpy(&index, indices->storage.data() + i * indices->indexSize, indices->indexSize);
            fits = index >= minIndex && index - minIndex < vertices;
        }
        return fits;
    }

    bool m_inScene = false;
    Bindings m;
};

class FakeDirect3D : public Fake<IDirect3D9> {
public:
    using Fake::Fake;

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        return out(enter("GetAdapterDisplayMode", adapter), mode,
                   D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8});
    }
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE samples, DWORD* levels) override {
        const HRESULT hr = enter("CheckDeviceMultiSampleType", adapter, type, format, windowed, samples);
        return out(hr == D3D_OK && samples > g.maxSamples ? D3DERR_NOTAVAILABLE : hr, levels,
                   g.qualityLevels);
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        return out(enter("GetDeviceCaps", adapter, type), caps, D3DCAPS9{type, adapter, g.devCaps});
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND, DWORD behaviour, D3DPRESENT_PARAMETERS* p,
                         IDirect3DDevice9** created) override {
        g.presentParameters = *p;
        const HRESULT hr =
            enter("CreateDevice", adapter, type, behaviour, p->MultiSampleType, p->MultiSampleQuality);
        return out(hr, created, make<FakeDevice>(hr, nullptr));
    }
};

class FakeEffect : public Fake<ID3DXEffect> {
public:
    struct Parameter {
        std::string name;
        std::string semantic; // "-" for none
        bool used;
    };

    FakeEffect(FakeGraphics::Shared& shared, const FakeObject* on, std::vector<Parameter> parameters,
               UINT passes)
        : Fake(shared, on), m_values(shared.effects[id]), m_parameters(std::move(parameters)),
          m_passes(passes) {}

    // Reads a description into parameters and passes; false if it is none.
    static bool parse(const std::string& description, std::vector<Parameter>& parameters, UINT& passes) {
        std::istringstream in(description);
        bool valid = !description.empty();
        for (std::string line; valid && std::getline(in, line);) {
            std::istringstream words(line);
            const std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
            const bool pass = w.size() == 1 && w[0] == "pass";
            const bool parameter = (w.size() == 3 || (w.size() == 4 && w[3] == "unused")) && w[0] == "param";
            if (parameter) {
                parameters.push_back({w[1], w[2], w.size() == 3});
            }
            passes += pass ? 1 : 0;
            valid = w.empty() || pass || parameter;
        }
        passes = std::max(passes, 1u);
        return valid;
    }

    D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) override {
        const bool found =
            enter("GetParameter", self(), parent, index) == D3D_OK && index < m_parameters.size();
        return found && parent == nullptr ? m_parameters[index].name.c_str() : nullptr;
    }
    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, const char* name) override {
        const Parameter* p =
            enter("GetParameterByName", self(), parent, name) == D3D_OK ? find(name) : nullptr;
        return p != nullptr && parent == nullptr ? p->name.c_str() : nullptr;
    }
    HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) override {
        const Parameter* p = find(parameter);
        const HRESULT hr = check(enter("GetParameterDesc", self(), parameter), p == nullptr);
        *desc = {};
        desc->Name = hr == D3D_OK ? p->name.c_str() : nullptr;
        desc->Semantic = hr == D3D_OK && p->semantic != "-" ? p->semantic.c_str() : nullptr;
        return hr;
    }
    D3DXHANDLE GetTechnique(UINT index) override {
        return enter("GetTechnique", self(), index) == D3D_OK && index == 0 ? kTechnique : nullptr;
    }
    BOOL IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) override {
        const Parameter* p = find(parameter);
        const HRESULT hr =
            check(enter("IsParameterUsed", self(), parameter, technique), !p || !isTechnique(technique));
        return hr == D3D_OK && p->used ? 1 : 0;
    }
    HRESULT SetFloat(D3DXHANDLE parameter, float value) override {
        return set(enter("SetFloat", self(), parameter, value), parameter, true,
                   [&](Value& v) { v.number = value; });
    }
    HRESULT SetFloatArray(D3DXHANDLE parameter, const float* floats, UINT count) override {
        return set(enter("SetFloatArray", self(), parameter, count), parameter, floats != nullptr,
                   [&](Value& v) { v.array.assign(floats, floats + count); });
    }
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override {
        return set(enter("SetMatrix", self(), parameter), parameter, matrix != nullptr,
                   [&](Value& v) { v.matrix = *matrix; });
    }
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override {
        const FakeObject* fake = texture != nullptr ? argument<FakeTexture>(texture, device) : nullptr;
        return set(enter("SetTexture", self(), parameter, texture), parameter, !texture || fake,
                   [&](Value& v) { v.texture = fake != nullptr ? fake->id : 0; });
    }
    HRESULT SetTechnique(D3DXHANDLE technique) override {
        return check(enter("SetTechnique", self(), technique), !isTechnique(technique));
    }
    HRESULT Begin(UINT* passes, DWORD flags) override {
        return out(step(enter("Begin", self(), flags), m_begun, m_begun, true), passes, m_passes);
    }
    HRESULT BeginPass(UINT pass) override {
        return step(enter("BeginPass", self(), pass), !m_begun || m_inPass || pass >= m_passes, m_inPass,
                    true);
    }
    HRESULT CommitChanges() override {
        const HRESULT hr = check(enter("CommitChanges", self()), !m_inPass);
        if (hr == D3D_OK && g.recording) {
            m_values.commits.push_back(m_values.values);
        }
        return hr;
    }
    HRESULT EndPass() override { return step(enter("EndPass", self()), !m_inPass, m_inPass, false); }
    HRESULT End() override { return step(enter("End", self()), !m_begun || m_inPass, m_begun, false); }

private:
    using Value = FakeEffectValues::Value;
    static constexpr const char* kTechnique = "technique0";

    // Handles are names, as D3DX takes names for handles.
    const Parameter* find(D3DXHANDLE handle) const {
        const auto it = std::find_if(m_parameters.begin(), m_parameters.end(), [&](const Parameter& p) {
            return handle != nullptr && p.name == handle;
        });
        return it != m_parameters.end() ? &*it : nullptr;
    }
    static bool isTechnique(D3DXHANDLE handle) {
        return handle != nullptr && std::strcmp(handle, kTechnique) == 0;
    }
    // Stores into the parameter's value when the call is good.
    HRESULT set(HRESULT hr, D3DXHANDLE parameter, bool good, const std::function<void(Value&)>& store) {
        const Parameter* p = find(parameter);
        hr = check(hr, p == nullptr || !good);
        if (hr == D3D_OK) {
            store(m_values.values[p->name]);
        }
        return hr;
    }

    FakeEffectValues& m_values;
    std::vector<Parameter> m_parameters;
    UINT m_passes;
    bool m_begun = false;
    bool m_inPass = false;
};

} // namespace

FakeGraphics::FakeGraphics() : m_previous(g_current) {
    g_current = this;
}

FakeGraphics::~FakeGraphics() {
    g_current = m_previous;
}

FakeGraphics& FakeGraphics::current() {
    if (g_current == nullptr) {
        std::fprintf(stderr, "FakeGraphics::current(): no FakeGraphics alive\n");
        std::abort();
    }
    return *g_current;
}

std::vector<std::string> FakeGraphics::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    std::copy_if(shared.calls.begin(), shared.calls.end(), std::back_inserter(found),
                 [&](const std::string& call) { return call.compare(0, prefix.size(), prefix) == 0; });
    return found;
}

int FakeGraphics::liveObjects() const {
    return static_cast<int>(std::count_if(shared.objects.begin(), shared.objects.end(),
                                          [](const auto& o) { return o->alive(); }));
}

const FakeEffectValues::Value& FakeEffectValues::operator[](const std::string& parameter) const {
    static const Value none;
    const auto it = values.find(parameter);
    return it != values.end() ? it->second : none;
}

IDirect3D9* d3d::Direct3DCreate9(UINT sdkVersion) {
    FakeGraphics::Shared& g = FakeGraphics::current().shared;
    if (g.recording) {
        g.calls.push_back("Direct3DCreate9(" + text(sdkVersion) + ")");
    }
    if (injected(g, "Direct3DCreate9") != D3D_OK || sdkVersion != D3D_SDK_VERSION) {
        return nullptr;
    }
    g.objects.push_back(std::make_unique<FakeDirect3D>(g, nullptr));
    return static_cast<FakeDirect3D*>(g.objects.back().get());
}

// The D3DX functions below take only devices of this fake.
HRESULT d3d::D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                               IDirect3DTexture9** texture) {
    auto& d = dynamic_cast<FakeDevice&>(*device);
    HRESULT hr = d.enter("D3DXCreateTextureFromFileInMemory", device, size);
    hr = hr == D3D_OK && (size < 4 || std::memcmp(data, "DDS ", 4) != 0) ? D3DXERR_INVALIDDATA : hr;
    return d.out(hr, texture, d.make<FakeTexture>(hr, &d));
}

HRESULT d3d::D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT size, const D3DXMACRO*,
                              ID3DXInclude*, DWORD flags, ID3DXEffectPool*, ID3DXEffect** effect,
                              ID3DXBuffer** errors) {
    auto& d = dynamic_cast<FakeDevice&>(*device);
    HRESULT hr = d.out(d.enter("D3DXCreateEffect", device, size, flags), errors, nullptr);
    std::vector<FakeEffect::Parameter> parameters;
    UINT passes = 0;
    const std::string description(static_cast<const char*>(data), size);
    hr = hr == D3D_OK && !FakeEffect::parse(description, parameters, passes) ? D3DXERR_INVALIDDATA : hr;
    return d.out(hr, effect, d.make<FakeEffect>(hr, &d, parameters, passes));
}
