#include "engine/gl/gleffect.h"

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/effectstates.h"
#include "engine/gl/glshader.h"
#include "engine/gl/gltexture.h"

#include <cmath>
#include <cstring>
#include <functional>

using namespace d3d;

namespace {

using Kind = EffectStates::Kind;

constexpr std::uint32_t kFourCCPreshader = 0x53455250; // 'PRES'
constexpr DWORD kDoNotSaveState = 1;                   // D3DXFX_DONOTSAVESTATE

bool isTexture(const EffectFile::Type& t) {
    return t.klass == D3DXPC_OBJECT && t.type >= D3DXPT_TEXTURE && t.type <= D3DXPT_TEXTURECUBE;
}

bool isNumeric(const EffectFile::Type& t) {
    return t.klass <= D3DXPC_MATRIX_COLUMNS || (t.klass == D3DXPC_STRUCT && t.type == D3DXPT_VOID);
}

std::uint32_t wordsOf(const EffectFile::Type& t) {
    if (!t.members.empty()) {
        std::uint32_t words = 0;
        for (const EffectFile::Type& m : t.members) {
            words += (m.elements == 0 ? 1 : m.elements) * wordsOf(m);
        }
        return words;
    }
    return t.klass == D3DXPC_OBJECT ? 1 : t.rows * t.columns;
}

// A float as a value of type, as D3DX converts them.
std::uint32_t fromFloat(float f, std::uint32_t type) {
    switch (type) {
    case D3DXPT_BOOL:
        return f != 0.0f || std::signbit(f) ? 1u : 0u;
    case D3DXPT_INT:
        if (std::isnan(f)) {
            return 0;
        }
        if (f >= 2147483648.0f || f <= -2147483649.0f) {
            return f > 0 ? 0x7FFFFFFFu : 0x80000000u;
        }
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(f));
    default: {
        std::uint32_t word = 0;
        std::memcpy(&word, &f, 4);
        return word;
    }
    }
}

float asFloat(std::uint32_t word) {
    float f = 0;
    std::memcpy(&f, &word, 4);
    return f;
}

D3DCOLORVALUE colourAt(const std::vector<std::uint32_t>& v) {
    auto at = [&v](std::size_t i) { return i < v.size() ? asFloat(v[i]) : 0.0f; };
    return {at(0), at(1), at(2), at(3)};
}

D3DVECTOR vectorAt(const std::vector<std::uint32_t>& v) {
    auto at = [&v](std::size_t i) { return i < v.size() ? asFloat(v[i]) : 0.0f; };
    return {at(0), at(1), at(2)};
}

std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> w(bytes.size() / 4);
    for (std::size_t i = 0; i < w.size(); ++i) {
        w[i] = std::uint32_t{bytes[4 * i]} | std::uint32_t{bytes[4 * i + 1]} << 8 |
               std::uint32_t{bytes[4 * i + 2]} << 16 | std::uint32_t{bytes[4 * i + 3]} << 24;
    }
    return w;
}

} // namespace

GlEffect::GlEffect(GlDevice* device, EffectFile file)
    : m_device(RefPtr<GlDevice>::share(device)), m_file(std::move(file)),
      m_handles(m_file.parameters.size() + m_file.techniques.size() + 1, '\0') {
    for (const EffectFile::Parameter& p : m_file.parameters) {
        m_values.push_back(p.value);
        m_textures.emplace_back(std::max<std::size_t>(p.type.elements, 1));
        m_changed.push_back(1);
    }
}

GlEffect::~GlEffect() {
    if (m_begun) {
        End();
    }
    m_device->makeCurrent();
    m_shaders.clear();
}

RefPtr<GlEffect> GlEffect::create(GlDevice* device, const std::uint8_t* bytes, std::size_t size,
                                  std::string& error) {
    EffectFile file;
    if (!EffectFile::read(bytes, size, file, error)) {
        return nullptr;
    }
    device->makeCurrent();
    RefPtr<GlEffect> effect = RefPtr<GlEffect>::adopt(new GlEffect(device, std::move(file)));
    if (!effect->prepare(error)) {
        return nullptr;
    }
    return effect;
}

GlEffect::Place GlEffect::place(const std::string& name) const {
    Place p;
    std::string base = name;
    int element = -1;
    const std::size_t open = name.find('[');
    if (open != std::string::npos && name.back() == ']') {
        base = name.substr(0, open);
        const std::string digits = name.substr(open + 1, name.size() - open - 2);
        if (digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            return p;
        }
        element = std::stoi(digits);
    }
    p.parameter = m_file.parameterNamed(base);
    if (p.parameter < 0) {
        return p;
    }
    const EffectFile::Type& t = m_file.parameters[static_cast<std::size_t>(p.parameter)].type;
    const std::uint32_t per = wordsOf(t);
    if (element >= 0) {
        if (static_cast<std::uint32_t>(element) >= t.elements) {
            p.parameter = -1;
            return p;
        }
        p.element = element;
        p.word = per * static_cast<std::uint32_t>(element);
        p.words = per;
    } else {
        p.words = per * std::max<std::uint32_t>(t.elements, 1);
    }
    return p;
}

bool GlEffect::prepareShader(std::uint32_t object, bool vertex, std::string& error) {
    if (object == 0 || m_shaders.count(object) != 0) {
        return true;
    }
    Shader& s = m_shaders[object];
    const auto found = m_file.objects.find(object);
    if (found == m_file.objects.end() || found->second.empty()) {
        return true; // no code: the stage runs without a shader
    }
    const std::vector<std::uint32_t> code = words(found->second);
    s.shader = GlShader::create(m_device.get(), code.data(), code.size(), s.problem);
    if (s.shader && s.shader->isVertex() != vertex) {
        s.problem =
            vertex ? "a pixel shader set as the vertex shader" : "a vertex shader set as the pixel shader";
        s.shader.reset();
    }
    // The constants are bound whether or not the shader could be made, as D3DX binds them when it
    // reads the file: a constant that does not fit its parameter refuses the whole effect.
    ConstantTable table;
    std::string reason;
    const ConstantBinding::Target sets[3] = {ConstantBinding::Target::Bools, ConstantBinding::Target::Ints,
                                             ConstantBinding::Target::Floats};
    if (!ConstantTable::read(code.data(), code.size(), table, reason) ||
        !ConstantBinding::bind(table, m_file.parameters, sets, s.constants, reason)) {
        error = "a shader's constants: " + reason;
        return false;
    }
    std::size_t length = 0;
    if (const std::uint32_t* pres =
            ConstantTable::findComment(code.data(), code.size(), kFourCCPreshader, length)) {
        if (!Expression::read(pres + 1, length - 1, m_file.parameters, s.preshader, reason)) {
            error = "a shader's preshader: " + reason;
            return false;
        }
    }
    s.registers.floats.assign(GlDevice::kVertexFloatRegisters * 4, 0.0f);
    s.registers.ints.assign(GlDevice::kIntRegisters * 4, 0);
    s.registers.bools.assign(GlDevice::kBoolRegisters, 0);
    return true;
}

bool GlEffect::prepareState(const EffectFile::State& state, std::string& error) {
    const Kind kind = EffectStates::find(state.operation)->kind;
    const bool shaderState = kind == Kind::VertexShader || kind == Kind::PixelShader;
    const bool vertex = kind == Kind::VertexShader;
    switch (state.source) {
    case EffectFile::Source::Constant:
        if (shaderState && state.type.klass == D3DXPC_OBJECT &&
            !prepareShader(state.value[0], vertex, error)) {
            return false;
        }
        for (const EffectFile::State& s : state.sampler) {
            if (!prepareState(s, error)) {
                return false;
            }
        }
        return true;
    case EffectFile::Source::Expression: {
        Computed& c = m_computed[&state];
        const std::vector<std::uint32_t> code = words(state.code);
        if (!Expression::read(code.data(), code.size(), m_file.parameters, c.expression, error)) {
            error = "a state's expression: " + error;
            return false;
        }
        return true;
    }
    case EffectFile::Source::Parameter:
    case EffectFile::Source::ArraySelector: {
        const Place p = place(state.parameter);
        if (p.parameter < 0) {
            error = "a state names a parameter the effect does not have: " + state.parameter;
            return false;
        }
        const EffectFile::Parameter& parameter = m_file.parameters[static_cast<std::size_t>(p.parameter)];
        if (state.source == EffectFile::Source::ArraySelector) {
            Computed& c = m_computed[&state];
            const std::vector<std::uint32_t> code = words(state.code);
            if (!Expression::read(code.data(), code.size(), m_file.parameters, c.expression, error)) {
                error = "an array selector's expression: " + error;
                return false;
            }
        }
        if (shaderState) {
            if (parameter.type.type != (vertex ? D3DXPT_VERTEXSHADER : D3DXPT_PIXELSHADER)) {
                error =
                    "a shader state names a parameter that holds no shader of its kind: " + state.parameter;
                return false;
            }
            const std::size_t first = p.element < 0 ? 0 : static_cast<std::size_t>(p.element);
            const std::size_t last = state.source == EffectFile::Source::ArraySelector || p.element < 0
                                         ? parameter.value.size()
                                         : first + 1;
            for (std::size_t i = first; i < last && i < parameter.value.size(); ++i) {
                if (!prepareShader(parameter.value[i], vertex, error)) {
                    return false;
                }
            }
        }
        for (const auto& sampler : parameter.samplers) {
            for (const EffectFile::State& s : sampler) {
                if (!prepareState(s, error)) {
                    return false;
                }
            }
        }
        return true;
    }
    }
    return true;
}

bool GlEffect::prepare(std::string& error) {
    for (const EffectFile::Parameter& p : m_file.parameters) {
        for (const auto& sampler : p.samplers) {
            for (const EffectFile::State& s : sampler) {
                if (!prepareState(s, error)) {
                    return false;
                }
            }
        }
    }
    for (const EffectFile::Technique& t : m_file.techniques) {
        for (const EffectFile::Pass& pass : t.passes) {
            for (const EffectFile::State& s : pass.states) {
                if (!prepareState(s, error)) {
                    return false;
                }
            }
        }
    }
    for (const EffectFile::Technique& t : m_file.techniques) {
        std::vector<bool> used(m_file.parameters.size(), false);
        std::string problem;
        for (std::size_t p = 0; p < t.passes.size(); ++p) {
            for (const EffectFile::State& s : t.passes[p].states) {
                markUsed(used, s);
                if (problem.empty()) {
                    problem = problemOf(s);
                    if (!problem.empty()) {
                        problem = "pass " + std::to_string(p) + ": " + problem;
                    }
                }
            }
        }
        m_used.push_back(std::move(used));
        m_problems.push_back(std::move(problem));
    }
    return true;
}

// Why a state's shaders cannot run, or empty.
std::string GlEffect::problemOf(const EffectFile::State& state) const {
    const Kind kind = EffectStates::find(state.operation)->kind;
    if (kind != Kind::VertexShader && kind != Kind::PixelShader) {
        return {};
    }
    std::vector<std::uint32_t> objects;
    if (state.source == EffectFile::Source::Constant && state.type.klass == D3DXPC_OBJECT) {
        objects.push_back(state.value[0]);
    } else if (state.source != EffectFile::Source::Constant &&
               state.source != EffectFile::Source::Expression) {
        const Place p = place(state.parameter);
        const std::vector<std::uint32_t>& v = m_file.parameters[static_cast<std::size_t>(p.parameter)].value;
        for (std::uint32_t i = p.word; i < p.word + p.words && i < v.size(); ++i) {
            objects.push_back(v[i]);
        }
    }
    for (const std::uint32_t id : objects) {
        const auto found = m_shaders.find(id);
        if (found != m_shaders.end() && !found->second.problem.empty()) {
            return (kind == Kind::VertexShader ? "vertex shader: " : "pixel shader: ") +
                   found->second.problem;
        }
    }
    return {};
}

void GlEffect::markParameter(std::vector<bool>& used, int parameter) const {
    if (parameter < 0 || used[static_cast<std::size_t>(parameter)]) {
        return;
    }
    used[static_cast<std::size_t>(parameter)] = true;
    const EffectFile::Parameter& p = m_file.parameters[static_cast<std::size_t>(parameter)];
    if (p.type.type == D3DXPT_VERTEXSHADER || p.type.type == D3DXPT_PIXELSHADER) {
        for (const std::uint32_t id : p.value) {
            markShader(used, id);
        }
    }
    for (const auto& sampler : p.samplers) {
        for (const EffectFile::State& s : sampler) {
            markUsed(used, s);
        }
    }
}

void GlEffect::markShader(std::vector<bool>& used, std::uint32_t object) const {
    const auto found = m_shaders.find(object);
    if (found == m_shaders.end()) {
        return;
    }
    for (const int p : found->second.constants.parameters) {
        markParameter(used, p);
    }
    for (const int p : found->second.preshader.parameters()) {
        markParameter(used, p);
    }
}

// A parameter is used by a technique when one of its states reads it: by name, through an
// expression, or through a shader's constants and samplers.
void GlEffect::markUsed(std::vector<bool>& used, const EffectFile::State& state) const {
    const Kind kind = EffectStates::find(state.operation)->kind;
    switch (state.source) {
    case EffectFile::Source::Constant:
        if ((kind == Kind::VertexShader || kind == Kind::PixelShader) && state.type.klass == D3DXPC_OBJECT) {
            markShader(used, state.value[0]);
        }
        for (const EffectFile::State& s : state.sampler) {
            markUsed(used, s);
        }
        break;
    case EffectFile::Source::ArraySelector:
    case EffectFile::Source::Parameter:
        markParameter(used, place(state.parameter).parameter);
        break;
    case EffectFile::Source::Expression:
        break;
    }
    const auto computed = m_computed.find(&state);
    if (computed != m_computed.end()) {
        for (const int p : computed->second.expression.parameters()) {
            markParameter(used, p);
        }
    }
}

// Handles are addresses in a block of our own, one byte per parameter and then per technique,
// so that no name the effect hands out can be taken for one.
int GlEffect::parameterIndex(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return -1;
    }
    const char* first = m_handles.data();
    if (!std::less<const char*>()(handle, first) &&
        std::less<const char*>()(handle, first + m_file.parameters.size())) {
        return static_cast<int>(handle - first);
    }
    return m_file.parameterNamed(handle);
}

int GlEffect::techniqueIndex(D3DXHANDLE handle) const {
    if (handle == nullptr) {
        return -1;
    }
    const char* first = m_handles.data() + m_file.parameters.size();
    if (!std::less<const char*>()(handle, first) &&
        std::less<const char*>()(handle, first + m_file.techniques.size())) {
        return static_cast<int>(handle - first);
    }
    for (std::size_t i = 0; i < m_file.techniques.size(); ++i) {
        if (m_file.techniques[i].name == handle) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

D3DXHANDLE GlEffect::GetParameter(D3DXHANDLE parent, UINT index) {
    if (parent != nullptr || index >= m_file.parameters.size()) {
        return nullptr; // members and elements are not offered
    }
    return m_handles.data() + index;
}

D3DXHANDLE GlEffect::GetParameterByName(D3DXHANDLE parent, const char* name) {
    if (parent != nullptr || name == nullptr) {
        return nullptr;
    }
    const int index = m_file.parameterNamed(name);
    return index < 0 ? nullptr : m_handles.data() + index;
}

HRESULT GlEffect::GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) {
    const int index = parameterIndex(parameter);
    if (index < 0 || desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const EffectFile::Parameter& p = m_file.parameters[static_cast<std::size_t>(index)];
    *desc = D3DXPARAMETER_DESC{};
    desc->Name = p.type.name.c_str();
    desc->Semantic = p.type.semantic.empty() ? nullptr : p.type.semantic.c_str();
    desc->Class = static_cast<D3DXPARAMETER_CLASS>(p.type.klass);
    desc->Type = static_cast<D3DXPARAMETER_TYPE>(p.type.type);
    desc->Rows = p.type.rows;
    desc->Columns = p.type.columns;
    desc->Elements = p.type.elements;
    desc->Annotations = static_cast<UINT>(p.annotations.size());
    desc->StructMembers = static_cast<UINT>(p.type.members.size());
    desc->Bytes = isNumeric(p.type) ? static_cast<UINT>(p.value.size() * 4) : 0;
    return D3D_OK;
}

D3DXHANDLE GlEffect::GetTechnique(UINT index) {
    if (index >= m_file.techniques.size()) {
        return nullptr;
    }
    return m_handles.data() + m_file.parameters.size() + index;
}

BOOL GlEffect::IsParameterUsed(D3DXHANDLE parameter, D3DXHANDLE technique) {
    const int p = parameterIndex(parameter);
    const int t = techniqueIndex(technique);
    if (p < 0 || t < 0) {
        return 0;
    }
    return m_used[static_cast<std::size_t>(t)][static_cast<std::size_t>(p)] ? 1 : 0;
}

void GlEffect::changed(int parameter) {
    m_changed[static_cast<std::size_t>(parameter)] = ++m_clock;
}

HRESULT GlEffect::SetFloat(D3DXHANDLE parameter, float value) {
    const int index = parameterIndex(parameter);
    if (index < 0) {
        return D3DERR_INVALIDCALL;
    }
    const EffectFile::Type& t = m_file.parameters[static_cast<std::size_t>(index)].type;
    if (t.klass > D3DXPC_MATRIX_COLUMNS || t.elements != 0 || t.rows != 1 || t.columns != 1) {
        return D3DERR_INVALIDCALL;
    }
    m_values[static_cast<std::size_t>(index)][0] = fromFloat(value, t.type);
    changed(index);
    return D3D_OK;
}

HRESULT GlEffect::SetFloatArray(D3DXHANDLE parameter, const float* values, UINT count) {
    const int index = parameterIndex(parameter);
    if (index < 0 || values == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const EffectFile::Type& t = m_file.parameters[static_cast<std::size_t>(index)].type;
    if (t.klass != D3DXPC_SCALAR && t.klass != D3DXPC_VECTOR && t.klass != D3DXPC_MATRIX_ROWS) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<std::uint32_t>& v = m_values[static_cast<std::size_t>(index)];
    for (std::size_t i = 0; i < count && i < v.size(); ++i) {
        v[i] = fromFloat(values[i], t.type);
    }
    changed(index);
    return D3D_OK;
}

// A matrix parameter holds its rows one after the other, whichever major its class names.
HRESULT GlEffect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    const int index = parameterIndex(parameter);
    if (index < 0 || matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const EffectFile::Type& t = m_file.parameters[static_cast<std::size_t>(index)].type;
    if ((t.klass != D3DXPC_MATRIX_ROWS && t.klass != D3DXPC_MATRIX_COLUMNS) || t.elements != 0) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<std::uint32_t>& v = m_values[static_cast<std::size_t>(index)];
    for (std::uint32_t r = 0; r < t.rows; ++r) {
        for (std::uint32_t c = 0; c < t.columns; ++c) {
            v[r * t.columns + c] = fromFloat(matrix->m[r][c], t.type);
        }
    }
    changed(index);
    return D3D_OK;
}

HRESULT GlEffect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    const int index = parameterIndex(parameter);
    if (index < 0 || !isTexture(m_file.parameters[static_cast<std::size_t>(index)].type)) {
        return D3DERR_INVALIDCALL;
    }
    // Every texture of this backend is a GlTexture.
    m_textures[static_cast<std::size_t>(index)][0] =
        RefPtr<GlTexture>::share(static_cast<GlTexture*>(texture));
    changed(index);
    return D3D_OK;
}

HRESULT GlEffect::SetTechnique(D3DXHANDLE technique) {
    const int index = techniqueIndex(technique);
    if (index < 0 || m_begun) {
        return D3DERR_INVALIDCALL;
    }
    m_technique = index;
    return D3D_OK;
}

HRESULT GlEffect::Begin(UINT* passes, DWORD flags) {
    if (passes == nullptr || m_begun || m_file.techniques.empty()) {
        return D3DERR_INVALIDCALL;
    }
    m_saving = (flags & kDoNotSaveState) == 0;
    if (m_saving) {
        m_saved = m_device->state();
    }
    *passes = static_cast<UINT>(m_file.techniques[static_cast<std::size_t>(m_technique)].passes.size());
    m_begun = true;
    return D3D_OK;
}

HRESULT GlEffect::BeginPass(UINT pass) {
    const EffectFile::Technique& t = m_file.techniques[static_cast<std::size_t>(m_technique)];
    if (!m_begun || m_pass >= 0 || pass >= t.passes.size()) {
        return D3DERR_INVALIDCALL;
    }
    m_pass = static_cast<int>(pass);
    // Each pass starts from no light and a black material, as D3DX's do.
    m_lights = {};
    m_material = {};
    return applyPass(true);
}

HRESULT GlEffect::CommitChanges() {
    if (m_pass < 0) {
        return D3D_OK;
    }
    return applyPass(false);
}

HRESULT GlEffect::EndPass() {
    if (m_pass < 0) {
        return D3DERR_INVALIDCALL;
    }
    m_pass = -1;
    m_device->setDrawing(true);
    return D3D_OK;
}

HRESULT GlEffect::End() {
    if (!m_begun) {
        return D3D_OK;
    }
    if (m_pass >= 0) {
        EndPass();
    }
    if (m_saving) {
        m_device->state() = m_saved;
    }
    m_begun = false;
    return D3D_OK;
}

HRESULT GlEffect::applyPass(bool all) {
    const std::string& problem = m_problems[static_cast<std::size_t>(m_technique)];
    if (!problem.empty()) {
        m_device->setDrawing(false);
        return D3DERR_INVALIDCALL;
    }
    m_device->makeCurrent();
    const EffectFile::Pass& pass =
        m_file.techniques[static_cast<std::size_t>(m_technique)].passes[static_cast<std::size_t>(m_pass)];
    bool ok = true;
    for (const EffectFile::State& s : pass.states) {
        ok = apply(s, -1, all) && ok;
    }
    for (std::size_t i = 0; i < m_lights.size(); ++i) {
        if ((m_lightsChanged & (1u << i)) != 0) {
            m_device->SetLight(static_cast<DWORD>(i), m_lights[i]);
        }
    }
    m_lightsChanged = 0;
    if (m_materialChanged) {
        m_device->SetMaterial(m_material);
        m_materialChanged = false;
    }
    m_device->setDrawing(ok);
    return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

// The state's value now: its constant, the named parameter's, or its expression's (computed again
// when a parameter it reads changed, or for every state when all is asked for).
std::vector<std::uint32_t> GlEffect::valueOf(const EffectFile::State& state, bool all, bool& ok) {
    ok = true;
    switch (state.source) {
    case EffectFile::Source::Constant:
        return state.value;
    case EffectFile::Source::Parameter: {
        const Place p = place(state.parameter);
        const std::vector<std::uint32_t>& v = m_values[static_cast<std::size_t>(p.parameter)];
        return std::vector<std::uint32_t>(v.begin() + p.word,
                                          v.begin() + std::min<std::size_t>(v.size(), p.word + p.words));
    }
    case EffectFile::Source::Expression:
    case EffectFile::Source::ArraySelector:
        break;
    }
    Computed& c = m_computed[&state];
    bool stale = all || c.at == 0;
    for (const int p : c.expression.parameters()) {
        stale = stale || m_changed[static_cast<std::size_t>(p)] > c.at;
    }
    if (stale) {
        c.expression.run(m_values, c.out);
        c.at = m_clock;
    }
    if (state.source == EffectFile::Source::Expression) {
        // Components the code does not compute keep the file's value.
        std::vector<std::uint32_t> v = state.value;
        for (std::size_t i = 0; i < v.size() && i < c.out.floats.size(); ++i) {
            v[i] = fromFloat(c.out.floats[i], state.type.type);
        }
        return v;
    }
    // An array selector: the element its expression picks (-1 picks the first, as in D3DX).
    const float picked = c.out.floats.empty() ? 0.0f : c.out.floats[0];
    const std::int32_t element = static_cast<std::int32_t>(fromFloat(picked, D3DXPT_INT));
    const Place p = place(state.parameter);
    const EffectFile::Type& t = m_file.parameters[static_cast<std::size_t>(p.parameter)].type;
    const std::uint32_t index = element == -1 ? 0 : static_cast<std::uint32_t>(element);
    if (index >= t.elements) {
        ok = false;
        return {};
    }
    const std::uint32_t per = wordsOf(t);
    const std::vector<std::uint32_t>& v = m_values[static_cast<std::size_t>(p.parameter)];
    return std::vector<std::uint32_t>(v.begin() + index * per, v.begin() + (index + 1) * per);
}

GlTexture* GlEffect::textureOf(const EffectFile::State& state) {
    if (state.source != EffectFile::Source::Parameter) {
        return nullptr; // a constant texture state holds none
    }
    const Place p = place(state.parameter);
    if (!isTexture(m_file.parameters[static_cast<std::size_t>(p.parameter)].type)) {
        return nullptr;
    }
    return m_textures[static_cast<std::size_t>(p.parameter)][static_cast<std::size_t>(std::max(p.element, 0))]
        .get();
}

bool GlEffect::applySampler(const std::vector<EffectFile::State>& states, int stage, bool all) {
    bool ok = true;
    for (const EffectFile::State& s : states) {
        ok = apply(s, stage, all) && ok;
    }
    return ok;
}

bool GlEffect::applyShader(std::uint32_t object, bool vertex, bool all) {
    const auto found = m_shaders.find(object);
    Shader* s = found == m_shaders.end() ? nullptr : &found->second;
    GlShader* shader = s != nullptr ? s->shader.get() : nullptr;
    if (vertex) {
        m_device->SetVertexShader(shader);
    } else {
        m_device->SetPixelShader(shader);
    }
    if (shader == nullptr) {
        return s == nullptr || s->problem.empty();
    }
    if (!s->preshader.empty()) {
        bool stale = all || s->preshaderAt == 0;
        for (const int p : s->preshader.parameters()) {
            stale = stale || m_changed[static_cast<std::size_t>(p)] > s->preshaderAt;
        }
        if (stale) {
            s->preshader.run(m_values, s->registers);
            s->preshaderAt = m_clock;
        }
    }
    s->constants.write(m_values, s->registers);
    auto setFloats = [&](UINT start, UINT count) {
        if (vertex) {
            m_device->SetVertexShaderConstantF(start, s->registers.floats.data() + std::size_t{start} * 4,
                                               count);
        } else {
            m_device->SetPixelShaderConstantF(start, s->registers.floats.data() + std::size_t{start} * 4,
                                              count);
        }
    };
    auto upload = [&](ConstantBinding::Target target, std::uint32_t start, std::uint32_t count) {
        switch (target) {
        case ConstantBinding::Target::Floats:
            if (std::uint64_t{start} + count <= s->registers.floats.size() / 4) {
                setFloats(start, count);
            }
            break;
        case ConstantBinding::Target::Ints:
            if (std::uint64_t{start} + count <= s->registers.ints.size() / 4) {
                const std::int32_t* at = s->registers.ints.data() + std::size_t{start} * 4;
                vertex ? m_device->SetVertexShaderConstantI(start, at, count)
                       : m_device->SetPixelShaderConstantI(start, at, count);
            }
            break;
        case ConstantBinding::Target::Bools:
            if (std::uint64_t{start} + count <= s->registers.bools.size()) {
                const std::int32_t* at = s->registers.bools.data() + start;
                vertex ? m_device->SetVertexShaderConstantB(start, at, count)
                       : m_device->SetPixelShaderConstantB(start, at, count);
            }
            break;
        case ConstantBinding::Target::None:
            break;
        }
    };
    for (const ConstantBinding::Part& p : s->constants.parts) {
        upload(p.target, p.registerIndex, p.registerCount);
    }
    for (const auto& [file, reg] : s->preshader.outputs()) {
        upload(file == 0   ? ConstantBinding::Target::Floats
               : file == 1 ? ConstantBinding::Target::Ints
                           : ConstantBinding::Target::Bools,
               reg, 1);
    }
    // The samplers it reads take the states of their parameters, at their registers.
    bool ok = true;
    for (const ConstantBinding::Sampler& sampler : s->constants.samplers) {
        const EffectFile::Parameter& p = m_file.parameters[static_cast<std::size_t>(sampler.parameter)];
        for (std::uint32_t i = 0; i < sampler.registerCount && i < p.samplers.size(); ++i) {
            const std::uint32_t stage = sampler.registerIndex + i;
            if (!vertex && stage < static_cast<std::uint32_t>(GlDevice::kSamplers)) {
                ok = applySampler(p.samplers[i], static_cast<int>(stage), all) && ok;
            }
        }
    }
    return ok;
}

// Sets one state on the device; parent is the stage of the sampler a sampler state belongs to.
bool GlEffect::apply(const EffectFile::State& state, int parent, bool all) {
    const EffectStates::Entry& entry = *EffectStates::find(state.operation);
    const auto stage = static_cast<DWORD>(parent >= 0 ? static_cast<std::uint32_t>(parent) : state.index);
    switch (entry.kind) {
    case Kind::Texture:
        m_device->SetTexture(stage, textureOf(state));
        return true;
    case Kind::Sampler: {
        if (state.source == EffectFile::Source::Constant) {
            return applySampler(state.sampler, static_cast<int>(state.index), all);
        }
        const Place p = place(state.parameter);
        const EffectFile::Parameter& sampler = m_file.parameters[static_cast<std::size_t>(p.parameter)];
        const std::size_t element = static_cast<std::size_t>(std::max(p.element, 0));
        return element >= sampler.samplers.size() ||
               applySampler(sampler.samplers[element], static_cast<int>(state.index), all);
    }
    default:
        break;
    }
    bool ok = true;
    const std::vector<std::uint32_t> v = valueOf(state, all, ok);
    if (!ok) {
        return true; // D3DX leaves a state whose array index is out of range as it was
    }
    const std::uint32_t word = v.empty() ? 0 : v[0];
    switch (entry.kind) {
    case Kind::RenderState:
        m_device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(entry.code), word);
        break;
    case Kind::TextureStage:
        m_device->SetTextureStageState(state.index, entry.code, word);
        break;
    case Kind::SamplerState:
        m_device->SetSamplerState(stage, entry.code, word);
        break;
    case Kind::Transform: {
        D3DXMATRIX m;
        for (std::size_t i = 0; i < 16 && i < v.size(); ++i) {
            m.m[i / 4][i % 4] = asFloat(v[i]);
        }
        m_device->SetTransform(entry.code + state.index, m);
        break;
    }
    case Kind::Material:
        if (entry.code == 4) {
            m_material.Power = v.empty() ? 0.0f : asFloat(word);
        } else {
            D3DCOLORVALUE* colours[] = {&m_material.Diffuse, &m_material.Ambient, &m_material.Specular,
                                        &m_material.Emissive};
            *colours[entry.code] = colourAt(v);
        }
        m_materialChanged = true;
        break;
    case Kind::Light: {
        if (state.index >= m_lights.size()) {
            break;
        }
        D3DLIGHT9& l = m_lights[state.index];
        const float f = v.empty() ? 0.0f : asFloat(word);
        switch (entry.code) {
        case 0:
            l.Type = static_cast<D3DLIGHTTYPE>(word);
            break;
        case 1:
            l.Diffuse = colourAt(v);
            break;
        case 2:
            l.Specular = colourAt(v);
            break;
        case 3:
            l.Ambient = colourAt(v);
            break;
        case 4:
            l.Position = vectorAt(v);
            break;
        case 5:
            l.Direction = vectorAt(v);
            break;
        case 6:
            l.Range = f;
            break;
        case 7:
            l.Falloff = f;
            break;
        case 8:
            l.Attenuation0 = f;
            break;
        case 9:
            l.Attenuation1 = f;
            break;
        case 10:
            l.Attenuation2 = f;
            break;
        case 11:
            l.Theta = f;
            break;
        default:
            l.Phi = f;
            break;
        }
        m_lightsChanged |= 1u << state.index;
        break;
    }
    case Kind::LightEnable:
        m_device->LightEnable(state.index, word != 0);
        break;
    case Kind::VertexShader:
    case Kind::PixelShader:
        return applyShader(word, entry.kind == Kind::VertexShader, all);
    case Kind::ShaderConstant: {
        // Float registers take four numbers, bool registers one, int registers four.
        std::vector<float> floats;
        std::vector<std::int32_t> ints;
        for (const std::uint32_t w : v) {
            floats.push_back(state.type.type == D3DXPT_FLOAT
                                 ? asFloat(w)
                                 : static_cast<float>(static_cast<std::int32_t>(w)));
            ints.push_back(static_cast<std::int32_t>(w));
        }
        const UINT registers4 = static_cast<UINT>((v.size() + 3) / 4);
        floats.resize(std::size_t{registers4} * 4, 0.0f);
        ints.resize(std::max<std::size_t>(ints.size(), std::size_t{registers4} * 4), 0);
        switch (entry.code) {
        case 0:
            m_device->SetVertexShaderConstantF(state.index, floats.data(), registers4);
            break;
        case 1:
            m_device->SetVertexShaderConstantB(state.index, ints.data(), static_cast<UINT>(v.size()));
            break;
        case 2:
            m_device->SetVertexShaderConstantI(state.index, ints.data(), registers4);
            break;
        case 3:
            m_device->SetPixelShaderConstantF(state.index, floats.data(), registers4);
            break;
        case 4:
            m_device->SetPixelShaderConstantB(state.index, ints.data(), static_cast<UINT>(v.size()));
            break;
        default:
            m_device->SetPixelShaderConstantI(state.index, ints.data(), registers4);
            break;
        }
        break;
    }
    default:
        break; // NPatchMode and FVF change nothing this device draws
    }
    return true;
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
