#pragma once

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/constantbinding.h"
#include "engine/gl/effectfile.h"
#include "engine/gl/expression.h"
#include "engine/gl/glcounted.h"
#include "engine/gl/gldevice.h"
#include "main/refptr.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

class GlShader;
class GlTexture;

// A compiled effect run on the native renderer's device as D3DX runs it: the file read whole by
// our reader, parameters kept in the file's layout, and at BeginPass and CommitChanges each state
// of the pass set on the device from its constant, the parameter it names, or the expression it
// computes; shaders get their constants from the parameters their constant tables name (through
// their preshaders where they have one), and fixed-function passes their transforms, lights and
// material. A handle that is none of the effect's is taken as a name, as D3DX does. Begin saves the device's
// state and End puts it back. A technique whose shaders cannot be translated fails in BeginPass and draws
// nothing.
class GlEffect : public GlCounted<d3d::ID3DXEffect> {
public:
    // The effect in the bytes of a compiled effect file, on device; none, with the reason in
    // error, when the file does not hold.
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

    // The file the effect was made from.
    const EffectFile& file() const { return m_file; }
    // Why technique index cannot be drawn; empty when it can.
    const std::string& techniqueProblem(std::size_t index) const { return m_problems.at(index); }

protected:
    ~GlEffect() override;

private:
    // A shader object of the file: the shader, the constants it reads and its preshader.
    struct Shader {
        std::unique_ptr<GlShader> shader; // none: no code, or it could not be made (problem)
        std::string problem;
        ConstantBinding constants;
        Expression preshader;
        ConstantBinding::Registers registers;
        std::uint64_t preshaderAt = 0; // the clock when the preshader last ran; 0 never
    };

    // A state computed by an expression, with the value last computed.
    struct Computed {
        Expression expression;
        ConstantBinding::Registers out;
        std::uint64_t at = 0; // the clock when computed; 0 never
    };

    // Where a named parameter lies: the parameter, an element of it (-1 the whole) and its words.
    struct Place {
        int parameter = -1;
        int element = -1;
        std::uint32_t word = 0;
        std::uint32_t words = 0;
    };

    GlEffect(GlDevice* device, EffectFile file);
    bool prepare(std::string& error);
    bool prepareState(const EffectFile::State& state, std::string& error);
    bool prepareShader(std::uint32_t object, bool vertex, std::string& error);
    Place place(const std::string& name) const;
    void markUsed(std::vector<bool>& used, const EffectFile::State& state) const;
    void markParameter(std::vector<bool>& used, int parameter) const;
    void markShader(std::vector<bool>& used, std::uint32_t object) const;
    std::string problemOf(const EffectFile::State& state) const;

    int parameterIndex(d3d::D3DXHANDLE handle) const;
    int techniqueIndex(d3d::D3DXHANDLE handle) const;
    void changed(int parameter);
    d3d::HRESULT applyPass(bool all);
    bool apply(const EffectFile::State& state, int parent, bool all);
    bool applyShader(std::uint32_t object, bool vertex, bool all);
    bool applySampler(const std::vector<EffectFile::State>& states, int stage, bool all);
    std::vector<std::uint32_t> valueOf(const EffectFile::State& state, bool all, bool& ok);
    GlTexture* textureOf(const EffectFile::State& state);

    RefPtr<GlDevice> m_device;
    EffectFile m_file;
    std::vector<char> m_handles;
    ConstantBinding::Values m_values;
    std::vector<std::vector<RefPtr<GlTexture>>> m_textures; // by parameter, then element
    std::vector<std::uint64_t> m_changed;                   // by parameter: the clock at its last change
    std::uint64_t m_clock = 1;
    std::map<std::uint32_t, Shader> m_shaders; // by object id
    std::map<const EffectFile::State*, Computed> m_computed;
    std::vector<std::vector<bool>> m_used; // by technique, then parameter
    std::vector<std::string> m_problems;   // by technique
    int m_technique = 0;
    int m_pass = -1;
    bool m_begun = false;
    bool m_saving = false;
    GlDevice::State m_saved;
    std::array<d3d::D3DLIGHT9, FixedFunctionState::kLights> m_lights{};
    unsigned m_lightsChanged = 0;
    d3d::D3DMATERIAL9 m_material{};
    bool m_materialChanged = false;
};
