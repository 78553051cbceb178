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

class FakeObject;

// What was set on one fake effect, by parameter name.
struct FakeEffectValues {
    struct Value {
        float number = 0;
        std::vector<float> array;
        d3d::D3DXMATRIX matrix;
        int texture = 0; // object id, 0 for none
    };
    using Values = std::map<std::string, Value>;

    // The value last set, or an empty one.
    const Value& operator[](const std::string& parameter) const;
    bool wasSet(const std::string& parameter) const { return values.count(parameter) != 0; }

    Values values;
    std::vector<Values> commits; // the values at each CommitChanges while recording
};

// Controls and records the fake backend. While one lives, Direct3DCreate9 and the D3DX functions
// use it; its objects are freed with it, so a Release too many or a call on a released object is
// reported instead of crashing. D3DXCreateEffect takes a text description: "pass" lines add
// passes to its one technique "technique0", "param NAME SEMANTIC|- [unused]" lines add parameters.
class FakeGraphics {
public:
    FakeGraphics();
    ~FakeGraphics();
    FakeGraphics(const FakeGraphics&) = delete;
    FakeGraphics& operator=(const FakeGraphics&) = delete;

    // The one alive (aborts if none).
    static FakeGraphics& current();

    // Every call in order, as "Method(arg,...)" with objects as "#ID" (ids count from 1).
    const std::vector<std::string>& calls() const { return shared.calls; }
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
    void clearCalls() { shared.calls.clear(); }
    // Off keeps long loops from growing the log and the effects' commits; errors are kept anyway.
    void setRecording(bool on) { shared.recording = on; }

    // Objects still holding a reference; 0 after a clean teardown.
    int liveObjects() const;
    // Misuse seen: a Release with no reference left, a Reset while device resources live, ...
    const std::vector<std::string>& errors() const { return shared.errors; }
    // Tags of the objects whose last reference went, in that order.
    const std::vector<std::string>& finalReleases() const { return shared.finalReleases; }

    // The next `times` calls of method (or Direct3DCreate9) fail with hr; -1: all of them.
    void failCall(const std::string& method, d3d::HRESULT hr, int times = -1) {
        shared.failures[method] = {hr, times};
    }
    // Sample counts up to maxSamples are offered with qualityLevels levels (default 4 and 1).
    void setMultiSampleSupport(int maxSamples, d3d::DWORD qualityLevels) {
        shared.maxSamples = maxSamples;
        shared.qualityLevels = qualityLevels;
    }
    // GetDeviceCaps's DevCaps (default D3DDEVCAPS_HWTRANSFORMANDLIGHT).
    void setDevCaps(d3d::DWORD devCaps) { shared.devCaps = devCaps; }
    // What TestCooperativeLevel returns (default D3D_OK); a Reset mends DEVICENOTRESET.
    void setCooperativeLevel(d3d::HRESULT hr) { shared.cooperativeLevel = hr; }

    // The bytes last written between Lock and Unlock into buffer #id.
    const std::string& bufferBytes(int id) const { return shared.written.at(id); }
    // What was set on effect #id.
    const FakeEffectValues& effect(int id) const { return shared.effects.at(id); }
    // The presentation parameters last passed to CreateDevice or Reset.
    const d3d::D3DPRESENT_PARAMETERS& lastPresentParameters() const { return shared.presentParameters; }

    // What the fake objects share; tests go through the functions above.
    struct Shared {
        std::vector<std::string> calls, errors, finalReleases;
        std::vector<std::unique_ptr<FakeObject>> objects;
        std::map<std::string, std::pair<d3d::HRESULT, int>> failures;
        std::map<int, std::string> written;
        std::map<int, FakeEffectValues> effects;
        bool recording = true;
        int maxSamples = 4;
        d3d::DWORD qualityLevels = 1;
        d3d::DWORD devCaps = d3d::D3DDEVCAPS_HWTRANSFORMANDLIGHT;
        d3d::HRESULT cooperativeLevel = d3d::D3D_OK;
        d3d::D3DPRESENT_PARAMETERS presentParameters = {};
    } shared;

private:
    FakeGraphics* m_previous;
};
