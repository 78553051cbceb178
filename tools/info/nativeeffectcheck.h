#pragma once

#include "engine/d3d/d3d9.h"
#include "info/effectverdict.h"
#include "main/refptr.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class EglSurface;

// Asks the native renderer about effect files as the viewer's effect cache does: each file is
// made into an effect of the native backend on its device, made on first use over a small
// off-screen surface; the backend's effect says why a file or its first technique cannot be run.
class NativeEffectCheck {
public:
    // No device yet: the first check makes one.
    NativeEffectCheck();
    ~NativeEffectCheck();
    NativeEffectCheck(const NativeEffectCheck&) = delete;
    NativeEffectCheck& operator=(const NativeEffectCheck&) = delete;

    // The renderer's verdict on the bytes of a compiled effect file; none when no device can be made.
    std::optional<EffectVerdict> check(const std::vector<unsigned char>& bytes);
    // Why no device could be made; empty while none has failed.
    const std::string& unavailable() const { return m_unavailable; }

private:
    bool makeDevice();

    std::unique_ptr<EglSurface> m_surface;
    RefPtr<d3d::IDirect3D9> m_direct3d;
    RefPtr<d3d::IDirect3DDevice9> m_device;
    std::string m_unavailable;
};
