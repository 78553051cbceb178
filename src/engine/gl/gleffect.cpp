#include "engine/gl/gleffect.h"

#include "engine/gl/effectfile.h"
#include "engine/gl/gltexture.h"

#include <mojoshader.h>
#include <mojoshader_effects.h>

#include <cstring>
#include <functional>

using namespace d3d;

namespace {

// The shader operations MojoShader's effect runtime calls, on the OpenGL translator of whatever
// device is current.
void* MOJOSHADERCALL compileShader(const char*, const unsigned char* tokens, const unsigned int size,
                                   const MOJOSHADER_swizzle* swizzles, const unsigned int swizzleCount,
                                   const MOJOSHADER_samplerMap* samplers, const unsigned int samplerCount) {
    return MOJOSHADER_glCompileShader(tokens, size, swizzles, swizzleCount, samplers, samplerCount);
}
void MOJOSHADERCALL addShaderReference(void* shader) {
    MOJOSHADER_glShaderAddRef(static_cast<MOJOSHADER_glShader*>(shader));
}
void MOJOSHADERCALL deleteShader(void* shader) {
    MOJOSHADER_glDeleteShader(static_cast<MOJOSHADER_glShader*>(shader));
}
MOJOSHADER_parseData* MOJOSHADERCALL parseData(void* shader) {
    return const_cast<MOJOSHADER_parseData*>(
        MOJOSHADER_glGetShaderParseData(static_cast<MOJOSHADER_glShader*>(shader)));
}
void MOJOSHADERCALL bindShaders(void* vertex, void* pixel) {
    MOJOSHADER_glBindShaders(static_cast<MOJOSHADER_glShader*>(vertex),
                             static_cast<MOJOSHADER_glShader*>(pixel));
}
void MOJOSHADERCALL boundShaders(void** vertex, void** pixel) {
    MOJOSHADER_glShader* v = nullptr;
    MOJOSHADER_glShader* p = nullptr;
    MOJOSHADER_glGetBoundShaders(&v, &p);
    *vertex = v;
    *pixel = p;
}
void MOJOSHADERCALL mapUniforms(float** vsf, int** vsi, unsigned char** vsb, float** psf, int** psi,
                                unsigned char** psb) {
    MOJOSHADER_glMapUniformBufferMemory(vsf, vsi, vsb, psf, psi, psb);
}
void MOJOSHADERCALL unmapUniforms() {
    MOJOSHADER_glUnmapUniformBufferMemory();
}
const char* MOJOSHADERCALL translatorError() {
    return MOJOSHADER_glGetError();
}

MOJOSHADER_effectShaderContext shaderContext() {
    MOJOSHADER_effectShaderContext c{};
    c.compileShader = compileShader;
    c.shaderAddRef = addShaderReference;
    c.deleteShader = deleteShader;
    c.getParseData = parseData;
    c.bindShaders = bindShaders;
    c.getBoundShaders = boundShaders;
    c.mapUniformBufferMemory = mapUniforms;
    c.unmapUniformBufferMemory = unmapUniforms;
    c.getError = translatorError;
    return c;
}

bool isTexture(MOJOSHADER_symbolType type) {
    return type >= MOJOSHADER_SYMTYPE_TEXTURE && type <= MOJOSHADER_SYMTYPE_TEXTURECUBE;
}

bool isNumeric(const MOJOSHADER_effectValue& value) {
    const MOJOSHADER_symbolType t = value.type.parameter_type;
    return (t == MOJOSHADER_SYMTYPE_FLOAT || t == MOJOSHADER_SYMTYPE_INT || t == MOJOSHADER_SYMTYPE_BOOL) &&
           value.type.parameter_class != MOJOSHADER_SYMCLASS_STRUCT && value.values != nullptr;
}

// Writes one number into a numeric parameter's storage at index, in its own type.
void store(const MOJOSHADER_effectValue& value, unsigned index, float number) {
    if (index >= value.value_count) {
        return;
    }
    if (value.type.parameter_type == MOJOSHADER_SYMTYPE_FLOAT) {
        value.valuesF[index] = number;
    } else {
        value.valuesI[index] = static_cast<int>(number);
    }
}

// The shader library looks every constant and sampler of a shader up among the effect's
// parameters by name, and asserts or reads a sampler's states from whatever it finds: each must
// name a parameter of its kind. The constants are read as the library's translator reads them,
// for the GLSL the device asks for (its plain bytecode reading trips over a shader without an end).
bool constantsNameParameters(const EffectFile& file, std::string& error) {
    auto matches = [&file](const char* name, MOJOSHADER_symbolRegisterSet set) {
        for (const EffectFile::Parameter& p : file.parameters) {
            if (name != nullptr && p.type.name == name) {
                const bool object = p.type.klass == MOJOSHADER_SYMCLASS_OBJECT;
                const bool sampler = object && p.type.type >= MOJOSHADER_SYMTYPE_SAMPLER &&
                                     p.type.type <= MOJOSHADER_SYMTYPE_SAMPLERCUBE;
                return sampler ? set == MOJOSHADER_SYMREGSET_SAMPLER
                               : !object && set != MOJOSHADER_SYMREGSET_SAMPLER;
            }
        }
        return false;
    };
    for (const EffectFile::Resource& r : file.resources) {
        if (r.usage != 0) {
            continue;
        }
        const MOJOSHADER_parseData* parsed = MOJOSHADER_parse(
            MOJOSHADER_PROFILE_GLSL120, nullptr, r.data.data(), static_cast<unsigned>(r.data.size()), nullptr,
            0, nullptr, 0, nullptr, nullptr, nullptr);
        bool named = parsed->error_count == 0;
        for (int i = 0; named && i < parsed->symbol_count; ++i) {
            named = matches(parsed->symbols[i].name, parsed->symbols[i].register_set);
        }
        const MOJOSHADER_preshader* preshader = parsed->preshader;
        for (unsigned i = 0; named && preshader != nullptr && i < preshader->symbol_count; ++i) {
            named = matches(preshader->symbols[i].name, preshader->symbols[i].register_set);
        }
        MOJOSHADER_freeParseData(parsed);
        if (!named) {
            error = "a shader of the effect reads a constant no parameter of its kind holds";
            return false;
        }
    }
    return true;
}

} // namespace

GlEffect::GlEffect(GlDevice* device, MOJOSHADER_effect* effect)
    : m_device(RefPtr<GlDevice>::share(device)), m_effect(effect),
      m_textures(static_cast<std::size_t>(effect->param_count)),
      m_changes(new MOJOSHADER_effectStateChanges{}) {
    findUsedParameters();
}

GlEffect::~GlEffect() {
    m_device->makeCurrent();
    if (m_begun) {
        End();
    }
    MOJOSHADER_deleteEffect(m_effect);
    delete m_changes;
}

RefPtr<GlEffect> GlEffect::create(GlDevice* device, const std::uint8_t* bytes, std::size_t size,
                                  std::string& error) {
    // MojoShader follows the file's offsets without checking them; only a file whose whole
    // layout our reader accepts goes on to it.
    EffectFile file;
    if (!EffectFile::read(bytes, size, file, error) || !constantsNameParameters(file, error)) {
        return nullptr;
    }
    device->makeCurrent();
    const MOJOSHADER_effectShaderContext context = shaderContext();
    MOJOSHADER_effect* effect =
        MOJOSHADER_compileEffect(bytes, static_cast<unsigned>(size), nullptr, 0, nullptr, 0, &context);
    if (effect == nullptr) {
        error = "the effect could not be translated";
        return nullptr;
    }
    if (effect->error_count > 0) {
        error = effect->errors[0].error != nullptr ? effect->errors[0].error
                                                   : "the effect could not be translated";
        MOJOSHADER_deleteEffect(effect);
        return nullptr;
    }
    return RefPtr<GlEffect>::adopt(new GlEffect(device, effect));
}

int GlEffect::parameterIndex(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return -1;
    }
    const auto* p = reinterpret_cast<const MOJOSHADER_effectParam*>(handle);
    const MOJOSHADER_effectParam* first = m_effect->params;
    if (first != nullptr && !std::less<const void*>()(p, first) &&
        std::less<const void*>()(p, first + m_effect->param_count)) {
        return static_cast<int>(p - first);
    }
    return parameterNamed(handle);
}

int GlEffect::parameterNamed(const char* name) const {
    for (int i = 0; i < m_effect->param_count; ++i) {
        const char* n = m_effect->params[i].value.name;
        if (n != nullptr && std::strcmp(n, name) == 0) {
            return i;
        }
    }
    return -1;
}

int GlEffect::techniqueIndex(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return -1;
    }
    const auto* t = reinterpret_cast<const MOJOSHADER_effectTechnique*>(handle);
    const MOJOSHADER_effectTechnique* first = m_effect->techniques;
    if (first != nullptr && !std::less<const void*>()(t, first) &&
        std::less<const void*>()(t, first + m_effect->technique_count)) {
        return static_cast<int>(t - first);
    }
    for (int i = 0; i < m_effect->technique_count; ++i) {
        const char* n = m_effect->techniques[i].name;
        if (n != nullptr && std::strcmp(n, handle) == 0) {
            return i;
        }
    }
    return -1;
}

// A parameter is used by a technique when a shader of one of its passes reads it: as a constant,
// as a sampler, or as the texture of such a sampler.
void GlEffect::findUsedParameters() {
    m_used.assign(static_cast<std::size_t>(m_effect->technique_count),
                  std::vector<bool>(static_cast<std::size_t>(m_effect->param_count), false));
    for (int t = 0; t < m_effect->technique_count; ++t) {
        const MOJOSHADER_effectTechnique& technique = m_effect->techniques[t];
        for (unsigned p = 0; p < technique.pass_count; ++p) {
            const MOJOSHADER_effectPass& pass = technique.passes[p];
            for (unsigned s = 0; s < pass.state_count; ++s) {
                const MOJOSHADER_effectState& state = pass.states[s];
                if ((state.type == MOJOSHADER_RS_VERTEXSHADER || state.type == MOJOSHADER_RS_PIXELSHADER) &&
                    state.value.value_count > 0 && state.value.valuesI != nullptr) {
                    markShader(m_used[static_cast<std::size_t>(t)], state.value.valuesI[0]);
                }
            }
        }
    }
}

void GlEffect::markShader(std::vector<bool>& used, int object) const {
    if (object <= 0 || object >= m_effect->object_count) {
        return;
    }
    const MOJOSHADER_effectObject& o = m_effect->objects[object];
    if (o.type != MOJOSHADER_SYMTYPE_VERTEXSHADER && o.type != MOJOSHADER_SYMTYPE_PIXELSHADER) {
        return;
    }
    const MOJOSHADER_effectShader& shader = o.shader;
    for (unsigned i = 0; i < shader.param_count; ++i) {
        if (shader.params[i] < used.size()) {
            used[shader.params[i]] = true;
        }
    }
    if (shader.is_preshader) {
        return;
    }
    for (unsigned i = 0; i < shader.sampler_count; ++i) {
        const MOJOSHADER_samplerStateRegister& sampler = shader.samplers[i];
        if (sampler.sampler_name != nullptr) {
            const int index = parameterNamed(sampler.sampler_name);
            if (index >= 0) {
                used[static_cast<std::size_t>(index)] = true;
            }
        }
        for (unsigned j = 0; j < sampler.sampler_state_count; ++j) {
            const MOJOSHADER_effectSamplerState& state = sampler.sampler_states[j];
            if (state.type != MOJOSHADER_SAMP_TEXTURE || state.value.value_count == 0 ||
                state.value.valuesI == nullptr) {
                continue;
            }
            const int id = state.value.valuesI[0];
            if (id > 0 && id < m_effect->object_count && m_effect->objects[id].mapping.name != nullptr) {
                const int index = parameterNamed(m_effect->objects[id].mapping.name);
                if (index >= 0) {
                    used[static_cast<std::size_t>(index)] = true;
                }
            }
        }
    }
}

D3DXHANDLE GlEffect::GetParameter(D3DXHANDLE parent, UINT index) {
    if (parent != nullptr || index >= static_cast<UINT>(m_effect->param_count)) {
        return nullptr; // members and elements are not offered
    }
    return reinterpret_cast<D3DXHANDLE>(&m_effect->params[index]);
}

D3DXHANDLE GlEffect::GetParameterByName(D3DXHANDLE parent, const char* name) {
    if (parent != nullptr || name == nullptr) {
        return nullptr;
    }
    const int index = parameterNamed(name);
    return index < 0 ? nullptr : reinterpret_cast<D3DXHANDLE>(&m_effect->params[index]);
}

HRESULT GlEffect::GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) {
    const int index = parameterIndex(parameter);
    if (index < 0 || desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const MOJOSHADER_effectParam& p = m_effect->params[index];
    *desc = D3DXPARAMETER_DESC{};
    desc->Name = p.value.name;
    desc->Semantic = p.value.semantic != nullptr && p.value.semantic[0] != '\0' ? p.value.semantic : nullptr;
    desc->Class = static_cast<D3DXPARAMETER_CLASS>(p.value.type.parameter_class);
    desc->Type = static_cast<D3DXPARAMETER_TYPE>(p.value.type.parameter_type);
    desc->Rows = p.value.type.rows;
    desc->Columns = p.value.type.columns;
    desc->Elements = p.value.type.elements;
    desc->Annotations = p.annotation_count;
    desc->StructMembers = p.value.type.member_count;
    desc->Bytes = isNumeric(p.value) ? p.value.value_count * 4 : 0;
    return D3D_OK;
}

D3DXHANDLE GlEffect::GetTechnique(UINT index) {
    if (index >= static_cast<UINT>(m_effect->technique_count)) {
        return nullptr;
    }
    return reinterpret_cast<D3DXHANDLE>(&m_effect->techniques[index]);
}

BOOL GlEffect::IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) {
    const int p = parameterIndex(parameter);
    const int t = techniqueIndex(technique);
    if (p < 0 || t < 0) {
        return 0;
    }
    return m_used[static_cast<std::size_t>(t)][static_cast<std::size_t>(p)] ? 1 : 0;
}

HRESULT GlEffect::SetFloat(D3DXHANDLE parameter, float value) {
    const int index = parameterIndex(parameter);
    if (index < 0 || !isNumeric(m_effect->params[index].value)) {
        return D3DERR_INVALIDCALL;
    }
    store(m_effect->params[index].value, 0, value);
    return D3D_OK;
}

HRESULT GlEffect::SetFloatArray(D3DXHANDLE parameter, const float* values, UINT count) {
    const int index = parameterIndex(parameter);
    if (index < 0 || values == nullptr || !isNumeric(m_effect->params[index].value)) {
        return D3DERR_INVALIDCALL;
    }
    for (UINT i = 0; i < count; ++i) {
        store(m_effect->params[index].value, i, values[i]);
    }
    return D3D_OK;
}

// The shaders read a matrix a column per constant register (fxc's default packing), and
// MojoShader copies a parameter's storage into the registers as it stands: so the storage holds
// the matrix's columns, four numbers apart, as D3DX would upload them.
HRESULT GlEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    const int index = parameterIndex(parameter);
    if (index < 0 || matrix == nullptr || !isNumeric(m_effect->params[index].value)) {
        return D3DERR_INVALIDCALL;
    }
    const MOJOSHADER_effectValue& value = m_effect->params[index].value;
    const unsigned rows = value.type.rows;
    const unsigned columns = value.type.columns;
    if (value.type.parameter_class != MOJOSHADER_SYMCLASS_MATRIX_ROWS &&
        value.type.parameter_class != MOJOSHADER_SYMCLASS_MATRIX_COLUMNS) {
        return D3DERR_INVALIDCALL;
    }
    for (unsigned c = 0; c < columns && c < 4; ++c) {
        for (unsigned r = 0; r < rows && r < 4; ++r) {
            store(value, c * 4 + r, matrix->m[r][c]);
        }
    }
    return D3D_OK;
}

HRESULT GlEffect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    const int index = parameterIndex(parameter);
    if (index < 0 || !isTexture(m_effect->params[index].value.type.parameter_type)) {
        return D3DERR_INVALIDCALL;
    }
    // Every texture of this backend is a GlTexture.
    m_textures[static_cast<std::size_t>(index)] = RefPtr<GlTexture>::share(static_cast<GlTexture*>(texture));
    return D3D_OK;
}

HRESULT GlEffect::SetTechnique(D3DXHANDLE technique) {
    const int index = techniqueIndex(technique);
    if (index < 0 || m_begun) {
        return D3DERR_INVALIDCALL;
    }
    MOJOSHADER_effectSetTechnique(m_effect, &m_effect->techniques[index]);
    return D3D_OK;
}

HRESULT GlEffect::Begin(UINT* passes, DWORD) {
    if (passes == nullptr || m_begun || m_effect->current_technique == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    m_device->makeCurrent();
    m_savedStates = m_device->renderStates();
    for (int unit = 0; unit < GlDevice::kSamplers; ++unit) {
        m_savedSamplers[static_cast<std::size_t>(unit)] = m_device->samplerStates(unit);
    }
    unsigned count = 0;
    MOJOSHADER_effectBegin(m_effect, &count, 1, m_changes);
    *passes = count;
    m_begun = true;
    return D3D_OK;
}

HRESULT GlEffect::BeginPass(UINT pass) {
    if (!m_begun || m_inPass || pass >= m_effect->current_technique->pass_count) {
        return D3DERR_INVALIDCALL;
    }
    m_device->makeCurrent();
    MOJOSHADER_effectBeginPass(m_effect, pass);
    m_inPass = true;
    m_device->setShadersBound(true);
    applyPassStates();
    return D3D_OK;
}

HRESULT GlEffect::CommitChanges() {
    if (!m_inPass) {
        return D3DERR_INVALIDCALL;
    }
    m_device->makeCurrent();
    MOJOSHADER_effectCommitChanges(m_effect);
    applyPassStates();
    return D3D_OK;
}

HRESULT GlEffect::EndPass() {
    if (!m_inPass) {
        return D3DERR_INVALIDCALL;
    }
    m_device->makeCurrent();
    MOJOSHADER_effectEndPass(m_effect);
    m_inPass = false;
    m_device->setShadersBound(false);
    return D3D_OK;
}

HRESULT GlEffect::End() {
    if (!m_begun) {
        return D3DERR_INVALIDCALL;
    }
    if (m_inPass) {
        EndPass();
    }
    m_device->makeCurrent();
    MOJOSHADER_effectEnd(m_effect);
    m_begun = false;
    m_device->renderStates() = m_savedStates;
    for (int unit = 0; unit < GlDevice::kSamplers; ++unit) {
        m_device->samplerStates(unit) = m_savedSamplers[static_cast<std::size_t>(unit)];
        m_device->setTexture(unit, nullptr);
    }
    return D3D_OK;
}

// What the pass asks of the device: its render states, then for each sampler its shaders read,
// the sampler's states and the texture its Texture state names.
void GlEffect::applyPassStates() {
    GlDevice::RenderStates& states = m_device->renderStates();
    for (unsigned i = 0; i < m_changes->render_state_change_count; ++i) {
        const MOJOSHADER_effectState& s = m_changes->render_state_changes[i];
        if (s.value.value_count == 0 || s.value.valuesI == nullptr) {
            continue;
        }
        const auto v = static_cast<DWORD>(s.value.valuesI[0]);
        switch (s.type) {
        case MOJOSHADER_RS_ZENABLE:
            states.zEnable = v;
            break;
        case MOJOSHADER_RS_FILLMODE:
            states.fillMode = v;
            break;
        case MOJOSHADER_RS_ZWRITEENABLE:
            states.zWriteEnable = v;
            break;
        case MOJOSHADER_RS_ALPHATESTENABLE:
            states.alphaTestEnable = v;
            break;
        case MOJOSHADER_RS_SRCBLEND:
            states.srcBlend = v;
            break;
        case MOJOSHADER_RS_DESTBLEND:
            states.destBlend = v;
            break;
        case MOJOSHADER_RS_CULLMODE:
            states.cullMode = v;
            break;
        case MOJOSHADER_RS_ZFUNC:
            states.zFunc = v;
            break;
        case MOJOSHADER_RS_ALPHAREF:
            states.alphaRef = v;
            break;
        case MOJOSHADER_RS_ALPHAFUNC:
            states.alphaFunc = v;
            break;
        case MOJOSHADER_RS_ALPHABLENDENABLE:
            states.alphaBlendEnable = v;
            break;
        case MOJOSHADER_RS_COLORWRITEENABLE:
            states.colorWriteEnable = v;
            break;
        case MOJOSHADER_RS_BLENDOP:
            states.blendOp = v;
            break;
        default:
            break;
        }
    }
    for (unsigned i = 0; i < m_changes->sampler_state_change_count; ++i) {
        const MOJOSHADER_samplerStateRegister& sampler = m_changes->sampler_state_changes[i];
        if (sampler.sampler_register >= static_cast<unsigned>(GlDevice::kSamplers)) {
            continue;
        }
        const int unit = static_cast<int>(sampler.sampler_register);
        GlDevice::SamplerStates& target = m_device->samplerStates(unit);
        for (unsigned j = 0; j < sampler.sampler_state_count; ++j) {
            const MOJOSHADER_effectSamplerState& s = sampler.sampler_states[j];
            if (s.value.value_count == 0 || s.value.valuesI == nullptr) {
                continue;
            }
            const int v = s.value.valuesI[0];
            switch (s.type) {
            case MOJOSHADER_SAMP_TEXTURE:
                if (v > 0 && v < m_effect->object_count && m_effect->objects[v].mapping.name != nullptr) {
                    const int index = parameterNamed(m_effect->objects[v].mapping.name);
                    m_device->setTexture(unit, index < 0 ? nullptr
                                                         : m_textures[static_cast<std::size_t>(index)].get());
                }
                break;
            case MOJOSHADER_SAMP_ADDRESSU:
                target.addressU = static_cast<DWORD>(v);
                break;
            case MOJOSHADER_SAMP_ADDRESSV:
                target.addressV = static_cast<DWORD>(v);
                break;
            case MOJOSHADER_SAMP_MAGFILTER:
                target.magFilter = static_cast<DWORD>(v);
                break;
            case MOJOSHADER_SAMP_MINFILTER:
                target.minFilter = static_cast<DWORD>(v);
                break;
            case MOJOSHADER_SAMP_MIPFILTER:
                target.mipFilter = static_cast<DWORD>(v);
                break;
            default:
                break;
            }
        }
    }
}

namespace d3d {

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT size, const D3DXMACRO*,
                         ID3DXInclude*, DWORD, ID3DXEffectPool*, ID3DXEffect** effect, ID3DXBuffer** errors) {
    if (errors != nullptr) {
        *errors = nullptr;
    }
    if (device == nullptr || data == nullptr || effect == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *effect = nullptr;
    std::string error;
    RefPtr<GlEffect> made =
        GlEffect::create(static_cast<GlDevice*>(device), static_cast<const std::uint8_t*>(data), size, error);
    if (!made) {
        return D3DXERR_INVALIDDATA;
    }
    *effect = made.detach();
    return D3D_OK;
}

} // namespace d3d
