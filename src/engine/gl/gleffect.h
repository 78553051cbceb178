#pragma once

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/glcounted.h"
#include "engine/gl/gldevice.h"
#include "main/refptr.h"

#include <array>
#include <string>
#include <vector>

struct MOJOSHADER_effect;
struct MOJOSHADER_effectStateChanges;
class GlTexture;

// A compiled effect run by MojoShader on the native renderer's device. The file is checked
// whole by our own reader before MojoShader sees it. Handles are the addresses of MojoShader's
// parameter and technique records; a handle that is none of them is taken as a name, as D3DX
// does. Begin saves the device's render and sampler states and End puts them back; a pass's
// states, samplers and textures reach the device at BeginPass and CommitChanges.
class GlEffect : public GlCounted<d3d::ID3DXEffect> {
public:
    // The effect in the bytes of a compiled effect file, on device; none, with the reason in
    // error, when the file does not hold or its shaders cannot be translated.
    static RefPtr<GlEffect> create(GlDevice* device, const std::uint8_t* bytes, std::size_t size,
                                   std::string& error);

    d3d::D3DXHANDLE GetParameter(d3d::D3DXHANDLE parent, d3d::UINT index) override;
    d3d::D3DXHANDLE GetParameterByName(d3d::D3DXHANDLE parent, const char* name) override;
    d3d::HRESULT GetParameterDesc(d3d::D3DXHANDLE parameter, d3d::D3DXPARAMETER_DESC* desc) override;
    d3d::D3DXHANDLE GetTechnique(d3d::UINT index) override;
    d3d::BOOL IsParameterUsed(d3d::D3DXHANDLE parameter, d3d::D3DXHANDLE technique) override;
    d3d::HRESULT SetFloat(d3d::D3DXHANDLE parameter, float value) override;
    d3d::HRESULT SetFloatArray(d3d::D3DXHANDLE parameter, const float* values, d3d::UINT count) override;
    d3d::HRESULT SetMatrix(d3d::D3DXHANDLE parameter, const d3d::D3DXMATRIX* matrix) override;
    d3d::HRESULT SetTexture(d3d::D3DXHANDLE parameter, d3d::IDirect3DBaseTexture9* texture) override;
    d3d::HRESULT SetTechnique(d3d::D3DXHANDLE technique) override;
    d3d::HRESULT Begin(d3d::UINT* passes, d3d::DWORD flags) override;
    d3d::HRESULT BeginPass(d3d::UINT pass) override;
    d3d::HRESULT CommitChanges() override;
    d3d::HRESULT EndPass() override;
    d3d::HRESULT End() override;

protected:
    ~GlEffect() override;

private:
    GlEffect(GlDevice* device, MOJOSHADER_effect* effect);

    int parameterIndex(d3d::D3DXHANDLE handle) const;
    int techniqueIndex(d3d::D3DXHANDLE handle) const;
    int parameterNamed(const char* name) const;
    void findUsedParameters();
    void markShader(std::vector<bool>& used, int object) const;
    void applyPassStates();

    RefPtr<GlDevice> m_device;
    MOJOSHADER_effect* m_effect;
    std::vector<RefPtr<GlTexture>> m_textures; // by parameter index
    std::vector<std::vector<bool>> m_used;     // by technique, then parameter index
    MOJOSHADER_effectStateChanges* m_changes;
    GlDevice::RenderStates m_savedStates;
    std::array<GlDevice::SamplerStates, GlDevice::kSamplers> m_savedSamplers{};
    bool m_begun = false;
    bool m_inPass = false;
};
