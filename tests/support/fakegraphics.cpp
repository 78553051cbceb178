#include "support/fakegraphics.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>
#include <type_traits>
#include <utility>

using namespace d3d;

namespace {

FakeGraphics* g_current = nullptr;

// Call log pieces: integers and enums in decimal, floats as %g, names as they are.
std::string text(const std::string& s) {
    return s;
}

std::string text(const char* s) {
    return s == nullptr ? "null" : s;
}

std::string text(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return buffer;
}

template <class T, class = std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>>>
std::string text(T v) {
    if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<long long>(static_cast<std::underlying_type_t<T>>(v)));
    } else {
        return std::to_string(static_cast<long long>(v));
    }
}

// "Method(arg,arg,...)"; at least one argument.
template <class First, class... Rest>
std::string callText(const char* method, const First& first, const Rest&... rest) {
    std::string s = method;
    s += '(';
    s += text(first);
    ((s += ',', s += text(rest)), ...);
    s += ')';
    return s;
}

// Records a call, formatting its text only while the fake is recording.
template <class... Args>
void recordCall(FakeGraphics& graphics, const char* method, const Args&... args) {
    if (graphics.recording()) {
        graphics.record(callText(method, args...));
    }
}

FakeObject* fakeOf(IUnknown* p) {
    return p == nullptr ? nullptr : dynamic_cast<FakeObject*>(p);
}

std::string tagOf(IUnknown* p) {
    if (p == nullptr) {
        return "null";
    }
    FakeObject* fake = fakeOf(p);
    return fake != nullptr ? fake->tag() : "foreign";
}

// Checks an object passed to method of caller: ours, alive and made on device (if given).
bool usable(FakeObject& caller, IUnknown* argument, const char* method, const FakeObject* device) {
    FakeObject* fake = fakeOf(argument);
    if (fake == nullptr) {
        caller.graphics().recordError(std::string(method) + ": an object this fake did not make");
        return false;
    }
    if (fake->references() <= 0) {
        caller.graphics().recordError(std::string(method) + ": " + fake->tag() +
                                      " used after its last Release");
        return false;
    }
    if (device != nullptr && fake->device() != device) {
        caller.graphics().recordError(std::string(method) + ": " + fake->tag() +
                                      " belongs to another device");
        return false;
    }
    return true;
}

// Whether presentation parameters ask for multisampling the fake reports as supported.
bool multiSampleSupported(const FakeGraphics& graphics, const D3DPRESENT_PARAMETERS& p) {
    if (p.MultiSampleType == D3DMULTISAMPLE_NONE) {
        return true;
    }
    return static_cast<int>(p.MultiSampleType) <= graphics.maxSamples() &&
           p.MultiSampleQuality < std::max<DWORD>(graphics.qualityLevels(), 1);
}

class FakeTexture : public FakeCounted<IDirect3DTexture9> {
public:
    using FakeCounted::FakeCounted;
};

class FakeVertexDeclaration : public FakeCounted<IDirect3DVertexDeclaration9> {
public:
    FakeVertexDeclaration(FakeGraphics& graphics, const FakeObject* device, std::set<UINT> streams)
        : FakeCounted(graphics, device), m_streams(std::move(streams)) {}

    // The streams the elements read.
    const std::set<UINT>& streams() const { return m_streams; }

private:
    std::set<UINT> m_streams;
};

// The memory of a vertex or index buffer: its length, then a guard that catches writes past it.
class BufferStorage {
public:
    BufferStorage(UINT length, UINT indexSize)
        : m_length(length), m_indexSize(indexSize), m_storage(std::size_t{length} * 2 + 64, '\0') {
        std::fill(m_storage.begin() + length, m_storage.end(), static_cast<char>(0xCD));
    }
    virtual ~BufferStorage() = default;

    UINT length() const { return m_length; }
    // Bytes per index; 0 for a vertex buffer.
    UINT indexSize() const { return m_indexSize; }
    bool locked() const { return m_locked; }
    const std::string& written() const { return m_written; }
    const char* contents() const { return m_storage.data(); }

    HRESULT lock(FakeObject& self, UINT offset, UINT size, void** data, DWORD flags) {
        FakeGraphics& g = self.graphics();
        recordCall(g, "Lock", self.tag(), offset, size, flags);
        if (data != nullptr) {
            *data = nullptr;
        }
        if (!self.checkAlive("Lock")) {
            return D3DERR_INVALIDCALL;
        }
        if (data == nullptr) {
            return g.misuse("Lock(" + self.tag() + "): no pointer for the data");
        }
        if (m_locked) {
            return g.misuse("Lock(" + self.tag() + "): already locked");
        }
        if (offset > m_length || size > m_length - offset) {
            return g.misuse("Lock(" + self.tag() + "): offset " + text(offset) + " size " + text(size) +
                            " past the buffer's length " + text(m_length));
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("Lock", &hr)) {
            return hr;
        }
        m_lockOffset = offset;
        m_lockSize = size == 0 ? m_length - offset : size;
        m_snapshot = m_storage;
        m_locked = true;
        *data = m_storage.data() + offset;
        return D3D_OK;
    }

    HRESULT unlock(FakeObject& self) {
        FakeGraphics& g = self.graphics();
        recordCall(g, "Unlock", self.tag());
        if (!self.checkAlive("Unlock")) {
            return D3DERR_INVALIDCALL;
        }
        if (!m_locked) {
            return g.misuse("Unlock(" + self.tag() + "): not locked");
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("Unlock", &hr)) {
            return hr;
        }
        m_locked = false;
        const std::size_t end = std::size_t{m_lockOffset} + m_lockSize;
        const bool pastEnd =
            !std::equal(m_storage.begin() + m_length, m_storage.end(), m_snapshot.begin() + m_length);
        const bool outside =
            !std::equal(m_storage.begin(), m_storage.begin() + m_lockOffset, m_snapshot.begin()) ||
            !std::equal(m_storage.begin() + end, m_storage.begin() + m_length, m_snapshot.begin() + end);
        m_written.assign(m_storage.data() + m_lockOffset, m_lockSize);
        m_snapshot.clear();
        if (pastEnd) {
            std::fill(m_storage.begin() + m_length, m_storage.end(), static_cast<char>(0xCD));
            return g.misuse("Unlock(" + self.tag() + "): bytes written past the buffer's length " +
                            text(m_length));
        }
        if (outside) {
            return g.misuse("Unlock(" + self.tag() + "): bytes written outside the locked range");
        }
        return D3D_OK;
    }

private:
    UINT m_length;
    UINT m_indexSize;
    std::vector<char> m_storage;
    std::vector<char> m_snapshot;
    bool m_locked = false;
    UINT m_lockOffset = 0;
    UINT m_lockSize = 0;
    std::string m_written;
};

template <class Interface>
class FakeBuffer : public FakeCounted<Interface>, public BufferStorage {
public:
    FakeBuffer(FakeGraphics& graphics, const FakeObject* device, UINT length, UINT indexSize)
        : FakeCounted<Interface>(graphics, device), BufferStorage(length, indexSize) {}

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        return lock(*this, offset, size, data, flags);
    }
    HRESULT Unlock() override { return unlock(*this); }

protected:
    void onFinalRelease() override {
        if (locked()) {
            this->graphics().recordError("Release(" + this->tag() + "): released while locked");
        }
    }
};

using FakeVertexBuffer = FakeBuffer<IDirect3DVertexBuffer9>;
using FakeIndexBuffer = FakeBuffer<IDirect3DIndexBuffer9>;

class FakeDevice : public FakeCounted<IDirect3DDevice9> {
public:
    using FakeCounted::FakeCounted;

    HRESULT TestCooperativeLevel() override {
        graphics().record("TestCooperativeLevel()");
        HRESULT hr = admit("TestCooperativeLevel");
        return hr != D3D_OK ? hr : graphics().cooperativeLevel();
    }

    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override {
        FakeGraphics& g = graphics();
        if (parameters == nullptr) {
            g.record("Reset(null)");
            return g.misuse("Reset: no presentation parameters");
        }
        recordCall(g, "Reset", parameters->BackBufferWidth, parameters->BackBufferHeight,
                   parameters->BackBufferCount, parameters->Windowed);
        g.setLastPresentParameters(*parameters);
        if (!checkAlive("Reset")) {
            return D3DERR_INVALIDCALL;
        }
        std::string alive;
        for (const auto& object : g.objects()) {
            if (object->device() == this && object->references() > 0) {
                alive += " " + object->tag();
            }
        }
        if (!alive.empty()) {
            return g.misuse("Reset: device resources still alive:" + alive);
        }
        if (m_inScene) {
            return g.misuse("Reset: inside BeginScene/EndScene");
        }
        if (!multiSampleSupported(g, *parameters)) {
            return g.misuse("Reset: multisampling the adapter does not support");
        }
        if (g.cooperativeLevel() == D3DERR_DEVICELOST) {
            return D3DERR_DEVICELOST;
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("Reset", &hr)) {
            return hr;
        }
        m_declaration = nullptr;
        m_indices = nullptr;
        m_streams.clear();
        if (g.cooperativeLevel() == D3DERR_DEVICENOTRESET) {
            g.setCooperativeLevel(D3D_OK);
        }
        return D3D_OK;
    }

    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
        graphics().record("Present()");
        if (!checkAlive("Present")) {
            return D3DERR_INVALIDCALL;
        }
        if (m_inScene) {
            return graphics().misuse("Present: inside BeginScene/EndScene");
        }
        if (graphics().cooperativeLevel() != D3D_OK) {
            return D3DERR_DEVICELOST;
        }
        return admit("Present");
    }

    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override {
        recordCall(graphics(), "CreateVertexBuffer", length, usage, fvf, pool);
        if (buffer != nullptr) {
            *buffer = nullptr;
        }
        HRESULT hr = checkCreation("CreateVertexBuffer", length, buffer != nullptr, shared);
        if (hr != D3D_OK) {
            return hr;
        }
        *buffer = graphics().adopt(std::make_unique<FakeVertexBuffer>(graphics(), this, length, 0));
        return D3D_OK;
    }

    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override {
        recordCall(graphics(), "CreateIndexBuffer", length, usage, format, pool);
        if (buffer != nullptr) {
            *buffer = nullptr;
        }
        constexpr int kIndex32 = 102;
        if (format != D3DFMT_INDEX16 && static_cast<int>(format) != kIndex32) {
            return graphics().misuse("CreateIndexBuffer: format " + text(format) + " is not an index format");
        }
        HRESULT hr = checkCreation("CreateIndexBuffer", length, buffer != nullptr, shared);
        if (hr != D3D_OK) {
            return hr;
        }
        const UINT indexSize = format == D3DFMT_INDEX16 ? 2 : 4;
        *buffer = graphics().adopt(std::make_unique<FakeIndexBuffer>(graphics(), this, length, indexSize));
        return D3D_OK;
    }

    HRESULT BeginScene() override {
        graphics().record("BeginScene()");
        if (!checkAlive("BeginScene")) {
            return D3DERR_INVALIDCALL;
        }
        if (m_inScene) {
            return graphics().misuse("BeginScene: already inside a scene");
        }
        HRESULT hr = admit("BeginScene");
        if (hr == D3D_OK) {
            m_inScene = true;
        }
        return hr;
    }

    HRESULT EndScene() override {
        graphics().record("EndScene()");
        if (!checkAlive("EndScene")) {
            return D3DERR_INVALIDCALL;
        }
        if (!m_inScene) {
            return graphics().misuse("EndScene: without BeginScene");
        }
        HRESULT hr = admit("EndScene");
        if (hr == D3D_OK) {
            m_inScene = false;
        }
        return hr;
    }

    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override {
        recordCall(graphics(), "Clear", count, flags, color, z, stencil);
        if (!checkAlive("Clear")) {
            return D3DERR_INVALIDCALL;
        }
        if (count > 0 && rects == nullptr) {
            return graphics().misuse("Clear: a rectangle count without rectangles");
        }
        return admit("Clear");
    }

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        recordCall(graphics(), "SetRenderState", state, value);
        return admit("SetRenderState");
    }

    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT vertices,
                                 UINT startIndex, UINT primitives) override {
        FakeGraphics& g = graphics();
        recordCall(g, "DrawIndexedPrimitive", type, baseVertex, minIndex, vertices, startIndex, primitives);
        if (!checkAlive("DrawIndexedPrimitive")) {
            return D3DERR_INVALIDCALL;
        }
        const std::string problem = drawProblem(type, baseVertex, minIndex, vertices, startIndex, primitives);
        if (!problem.empty()) {
            return g.misuse("DrawIndexedPrimitive: " + problem);
        }
        return admit("DrawIndexedPrimitive");
    }

    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override {
        FakeGraphics& g = graphics();
        std::string list;
        std::set<UINT> streams;
        for (const D3DVERTEXELEMENT9* e = elements; e != nullptr && e->Stream != 0xFF; ++e) {
            if (!list.empty()) {
                list += ';';
            }
            list += text(e->Stream) + ':' + text(e->Offset) + ':' + text(e->Type) + ':' + text(e->Method) +
                    ':' + text(e->Usage) + ':' + text(e->UsageIndex);
            streams.insert(e->Stream);
        }
        g.record("CreateVertexDeclaration(" + list + ")");
        if (declaration != nullptr) {
            *declaration = nullptr;
        }
        if (!checkAlive("CreateVertexDeclaration")) {
            return D3DERR_INVALIDCALL;
        }
        if (elements == nullptr || declaration == nullptr) {
            return g.misuse("CreateVertexDeclaration: no elements or no output pointer");
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("CreateVertexDeclaration", &hr)) {
            return hr;
        }
        *declaration = g.adopt(std::make_unique<FakeVertexDeclaration>(g, this, std::move(streams)));
        return D3D_OK;
    }

    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override {
        recordCall(graphics(), "SetVertexDeclaration", tagOf(declaration));
        if (!checkAlive("SetVertexDeclaration")) {
            return D3DERR_INVALIDCALL;
        }
        if (declaration != nullptr && !usable(*this, declaration, "SetVertexDeclaration", this)) {
            return D3DERR_INVALIDCALL;
        }
        HRESULT hr = admit("SetVertexDeclaration");
        if (hr == D3D_OK) {
            m_declaration = static_cast<FakeVertexDeclaration*>(declaration);
        }
        return hr;
    }

    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override {
        recordCall(graphics(), "SetStreamSource", stream, tagOf(buffer), offset, stride);
        if (!checkAlive("SetStreamSource")) {
            return D3DERR_INVALIDCALL;
        }
        if (buffer != nullptr && !usable(*this, buffer, "SetStreamSource", this)) {
            return D3DERR_INVALIDCALL;
        }
        HRESULT hr = admit("SetStreamSource");
        if (hr == D3D_OK) {
            m_streams[stream] = {static_cast<FakeVertexBuffer*>(buffer), offset, stride};
        }
        return hr;
    }

    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override {
        recordCall(graphics(), "SetIndices", tagOf(buffer));
        if (!checkAlive("SetIndices")) {
            return D3DERR_INVALIDCALL;
        }
        if (buffer != nullptr && !usable(*this, buffer, "SetIndices", this)) {
            return D3DERR_INVALIDCALL;
        }
        HRESULT hr = admit("SetIndices");
        if (hr == D3D_OK) {
            m_indices = static_cast<FakeIndexBuffer*>(buffer);
        }
        return hr;
    }

private:
    struct Stream {
        FakeVertexBuffer* buffer;
        UINT offset;
        UINT stride;
    };

    // D3D_OK when the device is alive and no failure is injected for method.
    HRESULT admit(const char* method) {
        if (!checkAlive(method)) {
            return D3DERR_INVALIDCALL;
        }
        HRESULT hr = D3D_OK;
        return graphics().injectedFailure(method, &hr) ? hr : D3D_OK;
    }

    HRESULT checkCreation(const char* method, UINT length, bool hasOutput, HANDLE* shared) {
        if (!checkAlive(method)) {
            return D3DERR_INVALIDCALL;
        }
        if (!hasOutput || shared != nullptr) {
            return graphics().misuse(std::string(method) + ": no output pointer, or a shared handle");
        }
        if (length == 0) {
            return graphics().misuse(std::string(method) + ": length 0");
        }
        HRESULT hr = D3D_OK;
        return graphics().injectedFailure(method, &hr) ? hr : D3D_OK;
    }

    // What is wrong with a draw call in the current state; empty if nothing.
    std::string drawProblem(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT vertices,
                            UINT startIndex, UINT primitives) const {
        if (!m_inScene) {
            return "outside BeginScene/EndScene";
        }
        if (m_declaration == nullptr || m_declaration->references() <= 0) {
            return "no live vertex declaration set";
        }
        if (m_indices == nullptr || m_indices->references() <= 0) {
            return "no live index buffer set";
        }
        if (m_indices->locked()) {
            return "index buffer " + m_indices->tag() + " is locked";
        }
        std::uint64_t perPrimitive = 0;
        switch (type) {
        case D3DPT_POINTLIST:
            perPrimitive = 1;
            break;
        case D3DPT_LINELIST:
            perPrimitive = 2;
            break;
        case D3DPT_TRIANGLELIST:
            perPrimitive = 3;
            break;
        }
        if (perPrimitive == 0) {
            return "unknown primitive type";
        }
        std::uint64_t available = std::numeric_limits<std::uint64_t>::max();
        for (UINT s : m_declaration->streams()) {
            auto it = m_streams.find(s);
            if (it == m_streams.end() || it->second.buffer == nullptr ||
                it->second.buffer->references() <= 0) {
                return "no live vertex buffer on stream " + text(s);
            }
            const Stream& stream = it->second;
            if (stream.buffer->locked()) {
                return "vertex buffer " + stream.buffer->tag() + " is locked";
            }
            if (stream.stride == 0) {
                return "stride 0 on stream " + text(s);
            }
            const UINT length = stream.buffer->length();
            const std::uint64_t count = stream.offset > length ? 0 : (length - stream.offset) / stream.stride;
            available = std::min(available, count);
        }
        if (baseVertex < 0 || std::uint64_t(baseVertex) + minIndex + vertices > available) {
            return "vertices past the end of the vertex buffer";
        }
        const UINT indexSize = m_indices->indexSize();
        const std::uint64_t indexCount = m_indices->length() / indexSize;
        const std::uint64_t end = std::uint64_t{startIndex} + primitives * perPrimitive;
        if (end > indexCount) {
            return "indices past the end of the index buffer";
        }
        const char* data = m_indices->contents();
        for (std::uint64_t i = startIndex; i < end; ++i) {
            std::uint32_t value = 0;
            if (indexSize == 2) {
                std::uint16_t v16 = 0;
                std::memcpy(&v16, data + i * 2, 2);
                value = v16;
            } else {
                std::memcpy(&value, data + i * 4, 4);
            }
            if (value < minIndex || std::uint64_t{value} >= std::uint64_t{minIndex} + vertices) {
                return "index " + text(value) + " at position " + text(i) + " outside the vertex range";
            }
        }
        return {};
    }

    bool m_inScene = false;
    FakeVertexDeclaration* m_declaration = nullptr;
    std::map<UINT, Stream> m_streams;
    FakeIndexBuffer* m_indices = nullptr;
};

class FakeDirect3D : public FakeCounted<IDirect3D9> {
public:
    using FakeCounted::FakeCounted;

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        FakeGraphics& g = graphics();
        recordCall(g, "GetAdapterDisplayMode", adapter);
        if (!checkAlive("GetAdapterDisplayMode")) {
            return D3DERR_INVALIDCALL;
        }
        if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) {
            return g.misuse("GetAdapterDisplayMode: unknown adapter or no output");
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("GetAdapterDisplayMode", &hr)) {
            return hr;
        }
        *mode = {1024, 768, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }

    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE samples, DWORD* qualityLevels) override {
        FakeGraphics& g = graphics();
        recordCall(g, "CheckDeviceMultiSampleType", adapter, type, format, windowed, samples);
        if (qualityLevels != nullptr) {
            *qualityLevels = 0;
        }
        if (!checkAlive("CheckDeviceMultiSampleType")) {
            return D3DERR_INVALIDCALL;
        }
        if (adapter != D3DADAPTER_DEFAULT) {
            return g.misuse("CheckDeviceMultiSampleType: unknown adapter");
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("CheckDeviceMultiSampleType", &hr)) {
            return hr;
        }
        if (static_cast<int>(samples) > g.maxSamples()) {
            return D3DERR_NOTAVAILABLE;
        }
        if (qualityLevels != nullptr) {
            *qualityLevels = g.qualityLevels();
        }
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        FakeGraphics& g = graphics();
        recordCall(g, "GetDeviceCaps", adapter, type);
        if (!checkAlive("GetDeviceCaps")) {
            return D3DERR_INVALIDCALL;
        }
        if (adapter != D3DADAPTER_DEFAULT || caps == nullptr) {
            return g.misuse("GetDeviceCaps: unknown adapter or no output");
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("GetDeviceCaps", &hr)) {
            return hr;
        }
        *caps = {type, adapter, g.devCaps()};
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override {
        FakeGraphics& g = graphics();
        if (device != nullptr) {
            *device = nullptr;
        }
        if (parameters == nullptr) {
            recordCall(g, "CreateDevice", adapter, type, behaviorFlags, "null");
            return g.misuse("CreateDevice: no presentation parameters");
        }
        recordCall(g, "CreateDevice", adapter, type, behaviorFlags, parameters->MultiSampleType,
                   parameters->MultiSampleQuality);
        g.setLastPresentParameters(*parameters);
        if (!checkAlive("CreateDevice")) {
            return D3DERR_INVALIDCALL;
        }
        if (adapter != D3DADAPTER_DEFAULT || device == nullptr) {
            return g.misuse("CreateDevice: unknown adapter or no output");
        }
        constexpr DWORD kMixed = 0x80;
        const DWORD processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                                  D3DCREATE_HARDWARE_VERTEXPROCESSING | kMixed);
        if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
            processing != D3DCREATE_HARDWARE_VERTEXPROCESSING && processing != kMixed) {
            return g.misuse("CreateDevice: not exactly one vertex processing flag");
        }
        if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
            (g.devCaps() & D3DDEVCAPS_HWTRANSFORMANDLIGHT) == 0) {
            return g.misuse(
                "CreateDevice: hardware vertex processing without D3DDEVCAPS_HWTRANSFORMANDLIGHT");
        }
        if (!multiSampleSupported(g, *parameters)) {
            return g.misuse("CreateDevice: multisampling the adapter does not support");
        }
        HRESULT hr = D3D_OK;
        if (g.injectedFailure("CreateDevice", &hr)) {
            return hr;
        }
        *device = g.adopt(std::make_unique<FakeDevice>(g, nullptr));
        return D3D_OK;
    }
};

// The device a D3DX function was given, and the FakeGraphics to record into.
FakeDevice* deviceOf(IDirect3DDevice9* device) {
    return device == nullptr ? nullptr : dynamic_cast<FakeDevice*>(device);
}

FakeGraphics& graphicsFor(FakeDevice* device) {
    return device != nullptr ? device->graphics() : FakeGraphics::current();
}

} // namespace

// ---- FakeObject ----

FakeObject::FakeObject(FakeGraphics& graphics, const FakeObject* device)
    : m_graphics(graphics), m_device(device), m_id(graphics.nextId()) {}

std::string FakeObject::tag() const {
    return "#" + std::to_string(m_id);
}

bool FakeObject::checkAlive(const char* method) const {
    if (m_references > 0) {
        return true;
    }
    m_graphics.recordError(std::string(method) + " on " + tag() + " after its last Release");
    return false;
}

ULONG FakeObject::addReference() {
    if (!checkAlive("AddRef")) {
        return 0;
    }
    return static_cast<ULONG>(++m_references);
}

ULONG FakeObject::releaseReference() {
    if (m_references <= 0) {
        m_graphics.recordError("Release on " + tag() + " with no reference left");
        return 0;
    }
    if (--m_references == 0) {
        m_graphics.recordFinalRelease(tag());
        onFinalRelease();
    }
    return static_cast<ULONG>(m_references);
}

// ---- FakeGraphics ----

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
    for (const std::string& call : m_calls) {
        if (call.compare(0, prefix.size(), prefix) == 0) {
            found.push_back(call);
        }
    }
    return found;
}

int FakeGraphics::liveObjects() const {
    return static_cast<int>(std::count_if(m_objects.begin(), m_objects.end(),
                                          [](const auto& object) { return object->references() > 0; }));
}

void FakeGraphics::failCall(const std::string& name, HRESULT hr, int times) {
    if (times == 0) {
        m_failures.erase(name);
    } else {
        m_failures[name] = {hr, times};
    }
}

void FakeGraphics::setMultiSampleSupport(int maxSamples, DWORD qualityLevels) {
    m_maxSamples = maxSamples;
    m_qualityLevels = qualityLevels;
}

HRESULT FakeGraphics::misuse(std::string message) {
    recordError(std::move(message));
    return D3DERR_INVALIDCALL;
}

bool FakeGraphics::injectedFailure(const std::string& method, HRESULT* hr) {
    auto it = m_failures.find(method);
    if (it == m_failures.end()) {
        return false;
    }
    *hr = it->second.hr;
    if (it->second.times > 0 && --it->second.times == 0) {
        m_failures.erase(it);
    }
    return true;
}

FakeObject* FakeGraphics::find(int id) const {
    for (const auto& object : m_objects) {
        if (object->id() == id) {
            return object.get();
        }
    }
    return nullptr;
}

std::string FakeGraphics::bufferBytes(int id) const {
    auto* buffer = dynamic_cast<BufferStorage*>(find(id));
    return buffer != nullptr ? buffer->written() : std::string();
}

std::string FakeGraphics::bufferContents(int id) const {
    auto* buffer = dynamic_cast<BufferStorage*>(find(id));
    return buffer != nullptr ? std::string(buffer->contents(), buffer->length()) : std::string();
}

FakeEffect& FakeGraphics::effect(int id) {
    auto* effect = dynamic_cast<FakeEffect*>(find(id));
    if (effect == nullptr) {
        throw std::out_of_range("FakeGraphics::effect: no effect #" + std::to_string(id));
    }
    return *effect;
}

// ---- FakeEffect ----

FakeEffect::FakeEffect(FakeGraphics& graphics, const FakeObject* device, std::vector<Parameter> parameters,
                       UINT passes)
    : FakeCounted(graphics, device), m_parameters(std::move(parameters)), m_passes(passes) {}

bool FakeEffect::parse(const std::string& description, std::vector<Parameter>* parameters, UINT* passes) {
    if (description.empty()) {
        return false;
    }
    std::istringstream in(description);
    std::string line;
    bool firstLine = true;
    UINT passLines = 0;
    std::vector<Parameter> found;
    while (std::getline(in, line)) {
        const bool first = std::exchange(firstLine, false);
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;) {
            words.push_back(word);
        }
        if (words.empty()) {
            if (first) {
                return false;
            }
            continue;
        }
        if (words[0] == "pass" && words.size() == 1) {
            ++passLines;
        } else if (words[0] == "param" &&
                   (words.size() == 3 || (words.size() == 4 && words[3] == "unused"))) {
            const bool hasSemantic = words[2] != "-";
            found.push_back(
                {words[1], hasSemantic ? words[2] : std::string(), hasSemantic, words.size() == 3});
        } else {
            return false;
        }
    }
    *parameters = std::move(found);
    *passes = passLines == 0 ? 1 : passLines;
    return true;
}

const FakeEffect::Parameter* FakeEffect::findParameter(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return nullptr;
    }
    for (const Parameter& p : m_parameters) {
        if (p.name.c_str() == handle) {
            return &p;
        }
    }
    for (const Parameter& p : m_parameters) {
        if (p.name == handle) {
            return &p;
        }
    }
    return nullptr;
}

bool FakeEffect::isTechnique(D3DXHANDLE handle) const {
    return handle != nullptr && (handle == m_technique.c_str() || m_technique == handle);
}

std::string FakeEffect::handleText(D3DXHANDLE handle) const {
    return text(handle);
}

HRESULT FakeEffect::admit(const char* method) {
    if (!checkAlive(method)) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = D3D_OK;
    return graphics().injectedFailure(method, &hr) ? hr : D3D_OK;
}

FakeEffect::Value* FakeEffect::slotFor(const char* method, D3DXHANDLE handle) {
    const Parameter* p = findParameter(handle);
    if (p == nullptr) {
        graphics().recordError(std::string(method) + "(" + tag() + "): no parameter " + handleText(handle));
        return nullptr;
    }
    return &m_values[p->name];
}

D3DXHANDLE FakeEffect::GetParameter(D3DXHANDLE parent, UINT index) {
    recordCall(graphics(), "GetParameter", tag(), handleText(parent), index);
    if (!checkAlive("GetParameter") || parent != nullptr || index >= m_parameters.size()) {
        return nullptr;
    }
    return m_parameters[index].name.c_str();
}

D3DXHANDLE FakeEffect::GetParameterByName(D3DXHANDLE parent, const char* name) {
    recordCall(graphics(), "GetParameterByName", tag(), handleText(parent), text(name));
    if (!checkAlive("GetParameterByName") || parent != nullptr || name == nullptr) {
        return nullptr;
    }
    for (const Parameter& p : m_parameters) {
        if (p.name == name) {
            return p.name.c_str();
        }
    }
    return nullptr;
}

HRESULT FakeEffect::GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) {
    recordCall(graphics(), "GetParameterDesc", tag(), handleText(parameter));
    if (HRESULT hr = admit("GetParameterDesc"); hr != D3D_OK) {
        return hr;
    }
    const Parameter* p = findParameter(parameter);
    if (p == nullptr || desc == nullptr) {
        return graphics().misuse("GetParameterDesc(" + tag() + "): no parameter " + handleText(parameter) +
                                 " or no output");
    }
    *desc = {};
    desc->Name = p->name.c_str();
    desc->Semantic = p->hasSemantic ? p->semantic.c_str() : nullptr;
    return D3D_OK;
}

D3DXHANDLE FakeEffect::GetTechnique(UINT index) {
    recordCall(graphics(), "GetTechnique", tag(), index);
    if (!checkAlive("GetTechnique") || index != 0) {
        return nullptr;
    }
    return m_technique.c_str();
}

BOOL FakeEffect::IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) {
    recordCall(graphics(), "IsParameterUsed", tag(), handleText(parameter), handleText(technique));
    if (!checkAlive("IsParameterUsed")) {
        return 0;
    }
    const Parameter* p = findParameter(parameter);
    if (p == nullptr || !isTechnique(technique)) {
        graphics().recordError("IsParameterUsed(" + tag() + "): unknown parameter or technique");
        return 0;
    }
    return p->used ? 1 : 0;
}

HRESULT FakeEffect::SetFloat(D3DXHANDLE parameter, float value) {
    recordCall(graphics(), "SetFloat", tag(), handleText(parameter), value);
    if (!checkAlive("SetFloat")) {
        return D3DERR_INVALIDCALL;
    }
    Value* slot = slotFor("SetFloat", parameter);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (HRESULT hr = admit("SetFloat"); hr != D3D_OK) {
        return hr;
    }
    slot->number = value;
    return D3D_OK;
}

HRESULT FakeEffect::SetFloatArray(D3DXHANDLE parameter, const float* values, UINT count) {
    if (graphics().recording()) {
        std::string call = "SetFloatArray(" + tag() + "," + handleText(parameter);
        for (UINT i = 0; values != nullptr && i < count; ++i) {
            call += "," + text(values[i]);
        }
        graphics().record(call + ")");
    }
    if (!checkAlive("SetFloatArray")) {
        return D3DERR_INVALIDCALL;
    }
    if (values == nullptr && count > 0) {
        return graphics().misuse("SetFloatArray(" + tag() + "): no values");
    }
    Value* slot = slotFor("SetFloatArray", parameter);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (HRESULT hr = admit("SetFloatArray"); hr != D3D_OK) {
        return hr;
    }
    slot->array.assign(values, values + count);
    return D3D_OK;
}

HRESULT FakeEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    recordCall(graphics(), "SetMatrix", tag(), handleText(parameter));
    if (!checkAlive("SetMatrix")) {
        return D3DERR_INVALIDCALL;
    }
    if (matrix == nullptr) {
        return graphics().misuse("SetMatrix(" + tag() + "): no matrix");
    }
    Value* slot = slotFor("SetMatrix", parameter);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (HRESULT hr = admit("SetMatrix"); hr != D3D_OK) {
        return hr;
    }
    slot->matrix = *matrix;
    return D3D_OK;
}

HRESULT FakeEffect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    recordCall(graphics(), "SetTexture", tag(), handleText(parameter), tagOf(texture));
    if (!checkAlive("SetTexture")) {
        return D3DERR_INVALIDCALL;
    }
    if (texture != nullptr && !usable(*this, texture, "SetTexture", device())) {
        return D3DERR_INVALIDCALL;
    }
    Value* slot = slotFor("SetTexture", parameter);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (HRESULT hr = admit("SetTexture"); hr != D3D_OK) {
        return hr;
    }
    slot->texture = texture != nullptr ? fakeOf(texture)->id() : 0;
    return D3D_OK;
}

HRESULT FakeEffect::SetTechnique(D3DXHANDLE technique) {
    recordCall(graphics(), "SetTechnique", tag(), handleText(technique));
    if (!checkAlive("SetTechnique")) {
        return D3DERR_INVALIDCALL;
    }
    if (!isTechnique(technique)) {
        return graphics().misuse("SetTechnique(" + tag() + "): no technique " + handleText(technique));
    }
    return admit("SetTechnique");
}

HRESULT FakeEffect::Begin(UINT* passes, DWORD flags) {
    recordCall(graphics(), "Begin", tag(), flags);
    if (passes != nullptr) {
        *passes = 0;
    }
    if (!checkAlive("Begin")) {
        return D3DERR_INVALIDCALL;
    }
    if (m_begun) {
        return graphics().misuse("Begin(" + tag() + "): already begun");
    }
    if (HRESULT hr = admit("Begin"); hr != D3D_OK) {
        return hr;
    }
    m_begun = true;
    if (passes != nullptr) {
        *passes = m_passes;
    }
    return D3D_OK;
}

HRESULT FakeEffect::BeginPass(UINT pass) {
    recordCall(graphics(), "BeginPass", tag(), pass);
    if (!checkAlive("BeginPass")) {
        return D3DERR_INVALIDCALL;
    }
    if ((!m_begun || m_inPass || pass >= m_passes)) {
        return graphics().misuse("BeginPass(" + tag() + "): pass " + text(pass) +
                                 " outside Begin/End, inside another pass, or past the pass count");
    }
    if (HRESULT hr = admit("BeginPass"); hr != D3D_OK) {
        return hr;
    }
    m_inPass = true;
    return D3D_OK;
}

HRESULT FakeEffect::CommitChanges() {
    recordCall(graphics(), "CommitChanges", tag());
    if (!checkAlive("CommitChanges")) {
        return D3DERR_INVALIDCALL;
    }
    if (!m_inPass) {
        return graphics().misuse("CommitChanges(" + tag() + "): outside a pass");
    }
    if (graphics().recording()) {
        m_commits.push_back(m_values);
    }
    return admit("CommitChanges");
}

HRESULT FakeEffect::EndPass() {
    recordCall(graphics(), "EndPass", tag());
    if (!checkAlive("EndPass")) {
        return D3DERR_INVALIDCALL;
    }
    if (!m_inPass) {
        return graphics().misuse("EndPass(" + tag() + "): no pass begun");
    }
    if (HRESULT hr = admit("EndPass"); hr != D3D_OK) {
        return hr;
    }
    m_inPass = false;
    return D3D_OK;
}

HRESULT FakeEffect::End() {
    recordCall(graphics(), "End", tag());
    if (!checkAlive("End")) {
        return D3DERR_INVALIDCALL;
    }
    if ((!m_begun || m_inPass)) {
        return graphics().misuse("End(" + tag() + "): not begun, or a pass still open");
    }
    if (HRESULT hr = admit("End"); hr != D3D_OK) {
        return hr;
    }
    m_begun = false;
    return D3D_OK;
}

bool FakeEffect::wasSet(const std::string& parameter) const {
    return m_values.count(parameter) != 0;
}

float FakeEffect::floatValue(const std::string& parameter) const {
    auto it = m_values.find(parameter);
    return it != m_values.end() ? it->second.number : 0.0f;
}

std::vector<float> FakeEffect::floatArray(const std::string& parameter) const {
    auto it = m_values.find(parameter);
    return it != m_values.end() ? it->second.array : std::vector<float>();
}

D3DXMATRIX FakeEffect::matrix(const std::string& parameter) const {
    auto it = m_values.find(parameter);
    return it != m_values.end() ? it->second.matrix : D3DXMATRIX();
}

std::vector<D3DXMATRIX> FakeEffect::committedMatrices(const std::string& parameter) const {
    std::vector<D3DXMATRIX> matrices;
    for (const auto& values : m_commits) {
        auto it = values.find(parameter);
        matrices.push_back(it != values.end() ? it->second.matrix : D3DXMATRIX());
    }
    return matrices;
}

int FakeEffect::textureId(const std::string& parameter) const {
    auto it = m_values.find(parameter);
    return it != m_values.end() ? it->second.texture : 0;
}

// ---- Free functions ----

IDirect3D9* d3d::Direct3DCreate9(UINT sdkVersion) {
    FakeGraphics& g = FakeGraphics::current();
    recordCall(g, "Direct3DCreate9", sdkVersion);
    HRESULT hr = D3D_OK;
    if (g.direct3DCreateFails() || g.injectedFailure("Direct3DCreate9", &hr)) {
        return nullptr;
    }
    if (sdkVersion != D3D_SDK_VERSION) {
        g.recordError("Direct3DCreate9: SDK version " + text(sdkVersion) + " is not D3D_SDK_VERSION");
        return nullptr;
    }
    return g.adopt(std::make_unique<FakeDirect3D>(g, nullptr));
}

HRESULT d3d::D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                               IDirect3DTexture9** texture) {
    FakeDevice* fake = deviceOf(device);
    FakeGraphics& g = graphicsFor(fake);
    recordCall(g, "D3DXCreateTextureFromFileInMemory", tagOf(device), size);
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (fake == nullptr) {
        return g.misuse("D3DXCreateTextureFromFileInMemory: no device");
    }
    if (!usable(*fake, device, "D3DXCreateTextureFromFileInMemory", nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    if (texture == nullptr || (data == nullptr && size > 0)) {
        return g.misuse("D3DXCreateTextureFromFileInMemory: no data or no output pointer");
    }
    HRESULT hr = D3D_OK;
    if (g.injectedFailure("D3DXCreateTextureFromFileInMemory", &hr)) {
        return hr;
    }
    if (size < 4 || std::memcmp(data, "DDS ", 4) != 0) {
        return D3DXERR_INVALIDDATA;
    }
    *texture = g.adopt(std::make_unique<FakeTexture>(g, fake));
    return D3D_OK;
}

HRESULT d3d::D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT size, const D3DXMACRO*,
                              ID3DXInclude*, DWORD flags, ID3DXEffectPool*, ID3DXEffect** effect,
                              ID3DXBuffer** errors) {
    FakeDevice* fake = deviceOf(device);
    FakeGraphics& g = graphicsFor(fake);
    recordCall(g, "D3DXCreateEffect", tagOf(device), size, flags);
    if (effect != nullptr) {
        *effect = nullptr;
    }
    if (errors != nullptr) {
        *errors = nullptr;
    }
    if (fake == nullptr) {
        return g.misuse("D3DXCreateEffect: no device");
    }
    if (!usable(*fake, device, "D3DXCreateEffect", nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    if (effect == nullptr || (data == nullptr && size > 0)) {
        return g.misuse("D3DXCreateEffect: no data or no output pointer");
    }
    HRESULT hr = D3D_OK;
    if (g.injectedFailure("D3DXCreateEffect", &hr)) {
        return hr;
    }
    std::vector<FakeEffect::Parameter> parameters;
    UINT passes = 0;
    const std::string description =
        size > 0 ? std::string(static_cast<const char*>(data), size) : std::string();
    if (!FakeEffect::parse(description, &parameters, &passes)) {
        return D3DXERR_INVALIDDATA;
    }
    *effect = g.adopt(std::make_unique<FakeEffect>(g, fake, std::move(parameters), passes));
    return D3D_OK;
}
