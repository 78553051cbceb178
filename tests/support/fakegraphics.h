#pragma once

// A recording fake of the Direct3D 9 and D3DX 9 interfaces in engine/d3d, linked into host tests
// in place of a real backend. Every call is logged as text, reference counts are tracked, and
// misuse that real Direct3D would refuse (or that would corrupt memory) is collected as errors.

#include "engine/d3d/d3d9.h"
#include "engine/d3d/d3dx9effect.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class FakeGraphics;
class FakeEffect;

// What every fake object has: an id, the FakeGraphics that records its calls, the device it was
// made on and a reference count. Objects stay allocated until their FakeGraphics goes, so a
// Release too many or a call on a released object is reported instead of crashing.
class FakeObject {
public:
    FakeObject(FakeGraphics& graphics, const FakeObject* device);
    virtual ~FakeObject() = default;
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    // The id given at creation.
    int id() const { return m_id; }
    // The object as the call log names it: "#ID".
    std::string tag() const;
    // References still held.
    int references() const { return m_references; }
    // The device the object was made on; none for Direct3D objects and devices.
    const FakeObject* device() const { return m_device; }
    // The FakeGraphics that records this object's calls.
    FakeGraphics& graphics() const { return m_graphics; }
    // False, with an error recorded, when method is called after the last Release.
    bool checkAlive(const char* method) const;

protected:
    // AddRef and Release of the interface the object implements.
    d3d::ULONG addReference();
    d3d::ULONG releaseReference();
    // Called when the last reference goes.
    virtual void onFinalRelease() {}

private:
    FakeGraphics& m_graphics;
    const FakeObject* m_device;
    int m_id;
    int m_references = 1;
};

// A fake object implementing Interface, counted through FakeObject.
template <class Interface>
class FakeCounted : public Interface, public FakeObject {
public:
    FakeCounted(FakeGraphics& graphics, const FakeObject* device) : FakeObject(graphics, device) {}

    // Adds a reference; not logged.
    d3d::ULONG AddRef() override { return addReference(); }
    // Drops a reference; not logged.
    d3d::ULONG Release() override { return releaseReference(); }
};

// Controls and records the fake graphics backend. Construct one at the start of a test; while it
// lives it is the current fake that Direct3DCreate9 and the D3DX functions use. Fake objects are
// freed with it, so it must outlive everything that holds them.
class FakeGraphics {
public:
    FakeGraphics();
    ~FakeGraphics();
    FakeGraphics(const FakeGraphics&) = delete;
    FakeGraphics& operator=(const FakeGraphics&) = delete;

    // The one alive (aborts if none).
    static FakeGraphics& current();

    // Every call made on any fake object or free function, in order, one string each.
    const std::vector<std::string>& calls() const { return m_calls; }
    // The calls whose text starts with prefix (e.g. "SetRenderState").
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
    // Forgets the calls logged so far.
    void clearCalls() { m_calls.clear(); }
    // Whether calls are logged (on by default); off keeps long loops from growing the log. Errors
    // are recorded either way.
    void setRecording(bool on) { m_recording = on; }
    bool recording() const { return m_recording; }

    // Fake objects still holding a reference (all kinds). 0 after a clean teardown.
    int liveObjects() const;
    // Misuse seen: a Release with no reference left, a Reset while device resources live, ...
    const std::vector<std::string>& errors() const { return m_errors; }
    // Tags ("#7") of the objects whose last reference went, in the order it went.
    const std::vector<std::string>& finalReleases() const { return m_finalReleases; }

    // The next `times` calls of the method `name` return hr and create nothing; times -1 = always.
    void failCall(const std::string& name, d3d::HRESULT hr, int times = -1);
    // Direct3DCreate9 returns none.
    void failDirect3DCreate() { m_failDirect3DCreate = true; }
    // CheckDeviceMultiSampleType: counts up to maxSamples succeed with qualityLevels levels,
    // higher counts give D3DERR_NOTAVAILABLE. Default: maxSamples 4, qualityLevels 1.
    void setMultiSampleSupport(int maxSamples, d3d::DWORD qualityLevels);
    // DevCaps reported by GetDeviceCaps. Default: D3DDEVCAPS_HWTRANSFORMANDLIGHT.
    void setDevCaps(d3d::DWORD devCaps) { m_devCaps = devCaps; }
    // What TestCooperativeLevel returns. Default D3D_OK.
    void setCooperativeLevel(d3d::HRESULT hr) { m_cooperativeLevel = hr; }

    // The bytes last written (between Lock and Unlock) into the vertex or index buffer with
    // object id `id`; empty if none.
    std::string bufferBytes(int id) const;
    // The whole current contents of the vertex or index buffer with object id `id`.
    std::string bufferContents(int id) const;
    // The fake effect with object id `id`, for reading back what was set on it (throws
    // std::out_of_range if there is none).
    FakeEffect& effect(int id);
    // The presentation parameters last passed to CreateDevice or Reset.
    const d3d::D3DPRESENT_PARAMETERS& lastPresentParameters() const { return m_presentParameters; }

    // The settings above, as the fake objects read them.
    int maxSamples() const { return m_maxSamples; }
    d3d::DWORD qualityLevels() const { return m_qualityLevels; }
    d3d::DWORD devCaps() const { return m_devCaps; }
    d3d::HRESULT cooperativeLevel() const { return m_cooperativeLevel; }
    bool direct3DCreateFails() const { return m_failDirect3DCreate; }

    // For the fake objects: appends one call to the log.
    void record(std::string call) {
        if (m_recording) {
            m_calls.push_back(std::move(call));
        }
    }
    // For the fake objects: records misuse.
    void recordError(std::string message) { m_errors.push_back(std::move(message)); }
    // For the fake objects: records that an object's last reference went.
    void recordFinalRelease(std::string tag) { m_finalReleases.push_back(std::move(tag)); }
    // For the fake objects: records misuse and returns D3DERR_INVALIDCALL.
    d3d::HRESULT misuse(std::string message);
    // For the fake objects: true, with the result in hr, when failCall has a failure pending for
    // method; uses it up.
    bool injectedFailure(const std::string& method, d3d::HRESULT* hr);
    // For the fake objects: the id of the next object.
    int nextId() { return m_nextId++; }
    // For the fake objects: keeps a new object until this FakeGraphics goes, and returns it.
    template <class T>
    T* adopt(std::unique_ptr<T> object) {
        T* raw = object.get();
        m_objects.push_back(std::move(object));
        return raw;
    }
    // For the fake objects: every object made so far, released or not.
    const std::vector<std::unique_ptr<FakeObject>>& objects() const { return m_objects; }
    // For the fake objects: remembers the presentation parameters passed.
    void setLastPresentParameters(const d3d::D3DPRESENT_PARAMETERS& parameters) {
        m_presentParameters = parameters;
    }

private:
    struct Failure {
        d3d::HRESULT hr;
        int times;
    };

    FakeObject* find(int id) const;

    FakeGraphics* m_previous;
    std::vector<std::string> m_calls;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_finalReleases;
    std::vector<std::unique_ptr<FakeObject>> m_objects;
    std::map<std::string, Failure> m_failures;
    int m_nextId = 1;
    bool m_recording = true;
    bool m_failDirect3DCreate = false;
    int m_maxSamples = 4;
    d3d::DWORD m_qualityLevels = 1;
    d3d::DWORD m_devCaps = d3d::D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    d3d::HRESULT m_cooperativeLevel = d3d::D3D_OK;
    d3d::D3DPRESENT_PARAMETERS m_presentParameters = {};
};

// An effect made by D3DXCreateEffect from a text description: "pass" lines add passes to its one
// technique, "param NAME SEMANTIC [unused]" lines add parameters. Handles are the parameters'
// name strings and the technique's name "technique0"; a name string from elsewhere is accepted
// as D3DX accepts names for handles. Set values are kept for reading back.
class FakeEffect : public FakeCounted<d3d::ID3DXEffect> {
public:
    struct Parameter {
        std::string name;
        std::string semantic;
        bool hasSemantic;
        bool used;
    };

    FakeEffect(FakeGraphics& graphics, const FakeObject* device, std::vector<Parameter> parameters,
               d3d::UINT passes);

    // Parses a description; false if it is not one.
    static bool parse(const std::string& description, std::vector<Parameter>* parameters, d3d::UINT* passes);

    // Parameter index of the top level, or null past the end; no structure members.
    d3d::D3DXHANDLE GetParameter(d3d::D3DXHANDLE parent, d3d::UINT index) override;
    // The top-level parameter with exactly that name, or null.
    d3d::D3DXHANDLE GetParameterByName(d3d::D3DXHANDLE parent, const char* name) override;
    // Fills Name and Semantic (null when none); the rest is zero.
    d3d::HRESULT GetParameterDesc(d3d::D3DXHANDLE parameter, d3d::D3DXPARAMETER_DESC* desc) override;
    // The technique for index 0, null for any other.
    d3d::D3DXHANDLE GetTechnique(d3d::UINT index) override;
    // FALSE for parameters described as unused.
    d3d::BOOL IsParameterUsed(d3d::D3DXHANDLE parameter, d3d::D3DXHANDLE technique) override;
    // Keeps the value for floatValue().
    d3d::HRESULT SetFloat(d3d::D3DXHANDLE parameter, float value) override;
    // Keeps the values for floatArray().
    d3d::HRESULT SetFloatArray(d3d::D3DXHANDLE parameter, const float* values, d3d::UINT count) override;
    // Keeps the matrix for matrix().
    d3d::HRESULT SetMatrix(d3d::D3DXHANDLE parameter, const d3d::D3DXMATRIX* matrix) override;
    // Keeps the texture's id for textureId(); adds no reference to it.
    d3d::HRESULT SetTexture(d3d::D3DXHANDLE parameter, d3d::IDirect3DBaseTexture9* texture) override;
    // Accepts the one technique.
    d3d::HRESULT SetTechnique(d3d::D3DXHANDLE technique) override;
    // Starts the technique and reports its pass count.
    d3d::HRESULT Begin(d3d::UINT* passes, d3d::DWORD flags) override;
    // Starts pass `pass`, which must exist, between Begin and End.
    d3d::HRESULT BeginPass(d3d::UINT pass) override;
    // Allowed inside a pass only.
    d3d::HRESULT CommitChanges() override;
    // Ends the pass begun.
    d3d::HRESULT EndPass() override;
    // Ends the technique begun, with no pass still open.
    d3d::HRESULT End() override;

    // What was last set on the parameter of that name (empty/absent if never set).
    bool wasSet(const std::string& parameter) const;
    float floatValue(const std::string& parameter) const;
    std::vector<float> floatArray(const std::string& parameter) const;
    d3d::D3DXMATRIX matrix(const std::string& parameter) const;
    // Object id of the texture set, 0 for none.
    int textureId(const std::string& parameter) const;
    // The matrix the parameter held at each CommitChanges while recording, in order (zero where
    // never set).
    std::vector<d3d::D3DXMATRIX> committedMatrices(const std::string& parameter) const;
    // Passes of the technique.
    d3d::UINT passCount() const { return m_passes; }

private:
    struct Value {
        float number = 0;
        std::vector<float> array;
        d3d::D3DXMATRIX matrix;
        int texture = 0;
    };

    std::vector<std::map<std::string, Value>> m_commits;

    const Parameter* findParameter(d3d::D3DXHANDLE handle) const;
    bool isTechnique(d3d::D3DXHANDLE handle) const;
    // A handle as the log shows it.
    std::string handleText(d3d::D3DXHANDLE handle) const;
    // The value slot of the parameter a handle names; records an error if there is none.
    Value* slotFor(const char* method, d3d::D3DXHANDLE handle);
    // Checks that the effect is alive and no failure is injected; D3D_OK to go on.
    d3d::HRESULT admit(const char* method);

    std::vector<Parameter> m_parameters;
    d3d::UINT m_passes;
    std::string m_technique = "technique0";
    std::map<std::string, Value> m_values;
    bool m_begun = false;
    bool m_inPass = false;
};
