#include "engine/gl/gldevice.h"

#include "engine/gl/fixedfunctionshaders.h"
#include "engine/gl/glbuffer.h"
#include "engine/gl/glshader.h"
#include "engine/gl/gltexture.h"
#include "engine/gl/glvertexdeclaration.h"
#include "engine/gl/opengl.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

using namespace d3d;

namespace {

// Render states of Direct3D 9 that reach OpenGL or the fixed-function pipeline.
enum : DWORD {
    kZEnable = 7,
    kFillMode = 8,
    kZWriteEnable = 14,
    kAlphaTestEnable = 15,
    kSrcBlend = 19,
    kDestBlend = 20,
    kCullMode = 22,
    kZFunc = 23,
    kAlphaRef = 24,
    kAlphaFunc = 25,
    kAlphaBlendEnable = 27,
    kSpecularEnable = 29,
    kTextureFactor = 60,
    kLighting = 137,
    kAmbient = 139,
    kColorVertex = 141,
    kLocalViewer = 142,
    kNormalizeNormals = 143,
    kDiffuseMaterialSource = 145,
    kSpecularMaterialSource = 146,
    kAmbientMaterialSource = 147,
    kEmissiveMaterialSource = 148,
    kColorWriteEnable = 168,
    kBlendOp = 171,
};

// Texture stage states (D3DTEXTURESTAGESTATETYPE).
enum : DWORD {
    kColorOp = 1,
    kColorArg1 = 2,
    kColorArg2 = 3,
    kAlphaOp = 4,
    kAlphaArg1 = 5,
    kAlphaArg2 = 6,
    kTexCoordIndex = 11,
    kColorArg0 = 26,
    kAlphaArg0 = 27,
    kResultArg = 28,
    kConstant = 32,
};

// Sampler states (D3DSAMPLERSTATETYPE).
enum : DWORD { kAddressU = 1, kAddressV = 2, kMagFilter = 5, kMinFilter = 6, kMipFilter = 7 };

// Transform states (D3DTRANSFORMSTATETYPE) and vertex element usages (D3DDECLUSAGE).
enum : DWORD { kView = 2, kProjection = 3, kWorld = 256 };
enum : unsigned { kUsagePosition = 0, kUsageNormal = 3, kUsageTexcoord = 5, kUsageColor = 10 };

GLenum blendFactor(DWORD blend) {
    switch (blend) {
    case 1:
        return GL_ZERO;
    case 2:
        return GL_ONE;
    case 3:
        return GL_SRC_COLOR;
    case 4:
        return GL_ONE_MINUS_SRC_COLOR;
    case 5:
        return GL_SRC_ALPHA;
    case 6:
        return GL_ONE_MINUS_SRC_ALPHA;
    case 7:
        return GL_DST_ALPHA;
    case 8:
        return GL_ONE_MINUS_DST_ALPHA;
    case 9:
        return GL_DST_COLOR;
    case 10:
        return GL_ONE_MINUS_DST_COLOR;
    case 11:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLenum blendEquation(DWORD op) {
    switch (op) {
    case 2:
        return GL_FUNC_SUBTRACT;
    case 3:
        return GL_FUNC_REVERSE_SUBTRACT;
    case 4:
        return GL_MIN;
    case 5:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum compareFunction(DWORD function) {
    switch (function) {
    case 1:
        return GL_NEVER;
    case 2:
        return GL_LESS;
    case 3:
        return GL_EQUAL;
    case 4:
        return GL_LEQUAL;
    case 5:
        return GL_GREATER;
    case 6:
        return GL_NOTEQUAL;
    case 7:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLint addressMode(DWORD address) {
    switch (address) {
    case 2:
        return GL_MIRRORED_REPEAT;
    case 3:
        return GL_CLAMP_TO_EDGE;
    case 4:
        return GL_CLAMP_TO_BORDER;
    case 5:
        return GL_MIRROR_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

// Direct3D's filters: 0 none, 1 point, 2 linear, 3 anisotropic (taken as linear).
GLint minification(DWORD min, DWORD mip, bool hasMips) {
    const bool linear = min >= 2;
    if (mip == 0 || !hasMips) {
        return linear ? GL_LINEAR : GL_NEAREST;
    }
    if (mip == 1) {
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    }
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

// Direct3D 9 samples a pixel at its corner where OpenGL samples at its centre. Every vertex stage
// gets a last step that moves the position by half a pixel right and down (the offset a uniform
// set for each draw), so that the same pixels are covered.
constexpr const char kOffsetUniform[] = "kestrinHalfPixel";
// The step falls short of half a pixel by 1/256 of one (the finest step rasterizers snap to): an
// edge through pixel centres then lies just before them rather than on them, so that the pixels on
// a left or top edge are drawn and those on a right or bottom edge are not, as Direct3D's fill
// rule has it. Exactly on the centres, OpenGL's own tie rule would decide, and it leaves out the
// top edge's row and draws the bottom edge's.
constexpr float kHalfPixelShort = 1.0f / 256.0f;

std::string withHalfPixelStep(const std::string& source) {
    const std::string entry = "void main()";
    const std::size_t main = source.find(entry);
    if (main == std::string::npos) {
        return source;
    }
    std::string s = source;
    s.replace(main, entry.size(), "void translatedMain()");
    s += std::string("\nuniform vec2 ") + kOffsetUniform + ";\nvoid main()\n{\n\ttranslatedMain();\n" +
         "\tgl_Position.xy += " + kOffsetUniform + " * gl_Position.w;\n}\n";
    return s;
}

// Size in floats of a vertex element type (FLOAT1 .. FLOAT4), 0 for types not read.
int floatCount(std::uint8_t type) {
    return type <= 3 ? type + 1 : 0;
}

GLuint compile(GLenum kind, const std::string& source, std::string& log) {
    const GLuint shader = glCreateShader(kind);
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char buffer[1024] = {};
        glGetShaderInfoLog(shader, sizeof buffer, nullptr, buffer);
        log = buffer;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

template <class T>
void copyRegisters(std::vector<T>& file, unsigned perRegister, UINT start, const T* values, UINT registers) {
    const std::size_t total = file.size() / perRegister;
    if (values == nullptr || start >= total) {
        return;
    }
    const std::size_t count = std::min<std::size_t>(registers, total - start);
    std::copy(values, values + count * perRegister,
              file.begin() + static_cast<std::ptrdiff_t>(start * perRegister));
}

void upload(const GlslStage::Constants& c, GLint location, const std::vector<float>& floats,
            const std::vector<std::int32_t>& ints, const std::vector<std::int32_t>& bools) {
    if (location < 0) {
        return;
    }
    const unsigned per = c.set == GlslStage::Registers::Bool ? 1 : 4;
    const std::size_t size = c.set == GlslStage::Registers::Float4 ? floats.size()
                             : c.set == GlslStage::Registers::Int4 ? ints.size()
                                                                   : bools.size();
    const std::size_t total = size / per;
    if (c.firstRegister >= total) {
        return;
    }
    const auto count = static_cast<GLsizei>(std::min<std::size_t>(c.count, total - c.firstRegister));
    const std::size_t at = std::size_t{c.firstRegister} * per;
    switch (c.set) {
    case GlslStage::Registers::Float4:
        glUniform4fv(location, count, floats.data() + at);
        break;
    case GlslStage::Registers::Int4:
        glUniform4iv(location, count, ints.data() + at);
        break;
    case GlslStage::Registers::Bool:
        glUniform1iv(location, count, bools.data() + at);
        break;
    }
}

} // namespace

GlDevice::GlDevice(GlSurface& surface, const D3DPRESENT_PARAMETERS& parameters) : m_surface(surface) {
    m_surface.makeCurrent();
    glGenSamplers(kSamplers, m_samplerObjects.data());
    takeSize(parameters);
}

GlDevice::~GlDevice() {
    makeCurrent();
    glUseProgram(0);
    for (auto& entry : m_programs) {
        glDeleteProgram(entry.second.name);
    }
    glDeleteSamplers(kSamplers, m_samplerObjects.data());
}

void GlDevice::takeSize(const D3DPRESENT_PARAMETERS& parameters) {
    m_width =
        parameters.BackBufferWidth != 0 ? static_cast<int>(parameters.BackBufferWidth) : m_surface.width();
    m_height =
        parameters.BackBufferHeight != 0 ? static_cast<int>(parameters.BackBufferHeight) : m_surface.height();
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (parameters == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    takeSize(*parameters);
    m_state = State{};
    return D3D_OK;
}

HRESULT GlDevice::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
    makeCurrent();
    glFlush();
    m_surface.present();
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** buffer,
                                     HANDLE*) {
    if (buffer == nullptr || length == 0) {
        return D3DERR_INVALIDCALL;
    }
    makeCurrent();
    *buffer = new GlBuffer<IDirect3DVertexBuffer9>(this, length);
    return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT length, DWORD, D3DFORMAT format, D3DPOOL,
                                    IDirect3DIndexBuffer9** buffer, HANDLE*) {
    if (buffer == nullptr || length == 0 || format != D3DFMT_INDEX16) {
        return D3DERR_INVALIDCALL;
    }
    makeCurrent();
    *buffer = new GlBuffer<IDirect3DIndexBuffer9>(this, length);
    return D3D_OK;
}

HRESULT GlDevice::BeginScene() {
    if (m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene() {
    if (!m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = false;
    return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) {
    if (count != 0 || rects != nullptr) {
        return D3DERR_INVALIDCALL; // only whole-target clears are offered
    }
    makeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, m_surface.framebuffer());
    glDisable(GL_SCISSOR_TEST);
    GLbitfield mask = 0;
    if ((flags & D3DCLEAR_TARGET) != 0) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(
            static_cast<float>(color >> 16 & 0xFF) / 255.0f, static_cast<float>(color >> 8 & 0xFF) / 255.0f,
            static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>(color >> 24 & 0xFF) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) != 0) {
        glDepthMask(GL_TRUE);
        glClearDepth(z);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_STENCIL) != 0) {
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(mask);
    return D3D_OK;
}

// Every render state is taken; those that change nothing the device draws are not kept.
HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    RenderStates& r = m_state.render;
    FixedFunctionState& f = m_state.fixed;
    switch (static_cast<DWORD>(state)) {
    case kZEnable:
        r.zEnable = value;
        break;
    case kFillMode:
        r.fillMode = value;
        break;
    case kZWriteEnable:
        r.zWriteEnable = value;
        break;
    case kAlphaTestEnable:
        r.alphaTestEnable = value;
        break;
    case kSrcBlend:
        r.srcBlend = value;
        break;
    case kDestBlend:
        r.destBlend = value;
        break;
    case kCullMode:
        r.cullMode = value;
        break;
    case kZFunc:
        r.zFunc = value;
        break;
    case kAlphaRef:
        r.alphaRef = value;
        break;
    case kAlphaFunc:
        r.alphaFunc = value;
        break;
    case kAlphaBlendEnable:
        r.alphaBlendEnable = value;
        break;
    case kColorWriteEnable:
        r.colorWriteEnable = value;
        break;
    case kBlendOp:
        r.blendOp = value;
        break;
    case kLighting:
        f.lighting = value != 0;
        break;
    case kSpecularEnable:
        f.specularEnable = value != 0;
        break;
    case kTextureFactor:
        f.textureFactor = value;
        break;
    case kAmbient:
        f.ambient = value;
        break;
    case kColorVertex:
        f.colorVertex = value != 0;
        break;
    case kLocalViewer:
        f.localViewer = value != 0;
        break;
    case kNormalizeNormals:
        f.normalizeNormals = value != 0;
        break;
    case kDiffuseMaterialSource:
        f.diffuseMaterialSource = value;
        break;
    case kSpecularMaterialSource:
        f.specularMaterialSource = value;
        break;
    case kAmbientMaterialSource:
        f.ambientMaterialSource = value;
        break;
    case kEmissiveMaterialSource:
        f.emissiveMaterialSource = value;
        break;
    default:
        break;
    }
    return D3D_OK;
}

void GlDevice::SetTextureStageState(DWORD stage, DWORD type, DWORD value) {
    if (stage >= static_cast<DWORD>(FixedFunctionState::kStages)) {
        return;
    }
    FixedFunctionState::TextureStage& s = m_state.fixed.stages[stage];
    switch (type) {
    case kColorOp:
        s.colorOp = value;
        break;
    case kColorArg0:
        s.colorArg0 = value;
        break;
    case kColorArg1:
        s.colorArg1 = value;
        break;
    case kColorArg2:
        s.colorArg2 = value;
        break;
    case kAlphaOp:
        s.alphaOp = value;
        break;
    case kAlphaArg0:
        s.alphaArg0 = value;
        break;
    case kAlphaArg1:
        s.alphaArg1 = value;
        break;
    case kAlphaArg2:
        s.alphaArg2 = value;
        break;
    case kResultArg:
        s.resultArg = value;
        break;
    case kTexCoordIndex:
        s.texCoordIndex = value;
        break;
    case kConstant:
        s.constant = value;
        break;
    default:
        break;
    }
}

void GlDevice::SetSamplerState(DWORD sampler, DWORD type, DWORD value) {
    if (sampler >= static_cast<DWORD>(kSamplers)) {
        return;
    }
    SamplerStates& s = m_state.samplers[sampler];
    switch (type) {
    case kAddressU:
        s.addressU = value;
        break;
    case kAddressV:
        s.addressV = value;
        break;
    case kMagFilter:
        s.magFilter = value;
        break;
    case kMinFilter:
        s.minFilter = value;
        break;
    case kMipFilter:
        s.mipFilter = value;
        break;
    default:
        break;
    }
}

void GlDevice::SetTexture(DWORD stage, GlTexture* texture) {
    if (stage < static_cast<DWORD>(kSamplers)) {
        m_state.textures[stage] = texture;
    }
}

void GlDevice::SetTransform(DWORD type, const D3DXMATRIX& matrix) {
    switch (type) {
    case kView:
        m_state.fixed.view = matrix;
        break;
    case kProjection:
        m_state.fixed.projection = matrix;
        break;
    case kWorld:
        m_state.fixed.world = matrix;
        break;
    default:
        break; // texture transforms and further world matrices are not drawn with
    }
}

void GlDevice::SetLight(DWORD index, const D3DLIGHT9& light) {
    if (index < static_cast<DWORD>(FixedFunctionState::kLights)) {
        m_state.fixed.lights[index] = light;
    }
}

void GlDevice::LightEnable(DWORD index, bool enable) {
    if (index < static_cast<DWORD>(FixedFunctionState::kLights)) {
        m_state.fixed.lightEnabled[index] = enable;
    }
}

void GlDevice::SetMaterial(const D3DMATERIAL9& material) {
    m_state.fixed.material = material;
}

void GlDevice::SetVertexShader(GlShader* shader) {
    m_state.vertexShader = shader != nullptr && shader->isVertex() ? shader : nullptr;
}

void GlDevice::SetPixelShader(GlShader* shader) {
    m_state.pixelShader = shader != nullptr && !shader->isVertex() ? shader : nullptr;
}

void GlDevice::SetVertexShaderConstantF(UINT start, const float* values, UINT registers) {
    copyRegisters(m_vertexFloats, 4, start, values, registers);
}

void GlDevice::SetVertexShaderConstantI(UINT start, const std::int32_t* values, UINT registers) {
    copyRegisters(m_vertexInts, 4, start, values, registers);
}

void GlDevice::SetVertexShaderConstantB(UINT start, const std::int32_t* values, UINT registers) {
    copyRegisters(m_vertexBools, 1, start, values, registers);
}

void GlDevice::SetPixelShaderConstantF(UINT start, const float* values, UINT registers) {
    copyRegisters(m_pixelFloats, 4, start, values, registers);
}

void GlDevice::SetPixelShaderConstantI(UINT start, const std::int32_t* values, UINT registers) {
    copyRegisters(m_pixelInts, 4, start, values, registers);
}

void GlDevice::SetPixelShaderConstantB(UINT start, const std::int32_t* values, UINT registers) {
    copyRegisters(m_pixelBools, 1, start, values, registers);
}

void GlDevice::forget(const void* object) {
    for (GlTexture*& texture : m_state.textures) {
        if (texture == object) {
            texture = nullptr;
        }
    }
    if (m_state.vertexShader == object) {
        m_state.vertexShader = nullptr;
    }
    if (m_state.pixelShader == object) {
        m_state.pixelShader = nullptr;
    }
    if (m_declaration == object) {
        m_declaration = nullptr;
    }
    if (m_vertices == object) {
        m_vertices = nullptr;
    }
    if (m_indices == object) {
        m_indices = nullptr;
    }
}

void GlDevice::forgetStage(std::uint64_t id) {
    makeCurrent();
    for (auto it = m_programs.begin(); it != m_programs.end();) {
        if (it->first.first == id || it->first.second == id) {
            glDeleteProgram(it->second.name);
            it = m_programs.erase(it);
        } else {
            ++it;
        }
    }
}

void GlDevice::applyStates() {
    const RenderStates& r = m_state.render;
    glBindFramebuffer(GL_FRAMEBUFFER, m_surface.framebuffer());
    // Direct3D's depth range: clip-space z from 0 to 1.
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glViewport(0, 0, m_width, m_height);
    glDepthRange(0.0, 1.0);

    if (r.zEnable != 0) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compareFunction(r.zFunc));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(r.zWriteEnable != 0 ? GL_TRUE : GL_FALSE);

    // Both read winding as it appears on screen: D3DCULL_CCW culls the counter-clockwise ones.
    if (r.cullMode == 2 || r.cullMode == 3) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(r.cullMode == 3 ? GL_CW : GL_CCW);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glPolygonMode(GL_FRONT_AND_BACK, r.fillMode == 1 ? GL_POINT : r.fillMode == 2 ? GL_LINE : GL_FILL);

    if (r.alphaBlendEnable != 0) {
        glEnable(GL_BLEND);
        glBlendFunc(blendFactor(r.srcBlend), blendFactor(r.destBlend));
        glBlendEquation(blendEquation(r.blendOp));
    } else {
        glDisable(GL_BLEND);
    }
    if (r.alphaTestEnable != 0) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(compareFunction(r.alphaFunc), static_cast<float>(r.alphaRef & 0xFF) / 255.0f);
    } else {
        glDisable(GL_ALPHA_TEST);
    }
    const DWORD c = r.colorWriteEnable;
    glColorMask((c & 1) != 0, (c & 2) != 0, (c & 4) != 0, (c & 8) != 0);

    for (int unit = 0; unit < kSamplers; ++unit) {
        applySampler(unit);
    }
}

void GlDevice::applySampler(int unit) {
    const auto u = static_cast<std::size_t>(unit);
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    GlTexture* texture = m_state.textures[u];
    glBindTexture(GL_TEXTURE_2D, texture != nullptr ? texture->name() : 0);
    if (texture == nullptr) {
        glBindSampler(static_cast<GLuint>(unit), 0);
        return;
    }
    const SamplerStates& s = m_state.samplers[u];
    const GLuint sampler = m_samplerObjects[u];
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, addressMode(s.addressU));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, addressMode(s.addressV));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, s.magFilter >= 2 ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        minification(s.minFilter, s.mipFilter, texture->levels() > 1));
    glBindSampler(static_cast<GLuint>(unit), sampler);
}

const GlDevice::CachedStage& GlDevice::fixedStage(std::map<std::string, CachedStage>& cache,
                                                  const std::string& key, bool vertex) {
    auto found = cache.find(key);
    if (found == cache.end()) {
        CachedStage made{newStageId(), {}, {}};
        try {
            made.stage = vertex ? FixedFunctionShaders::vertexStage(m_state.fixed)
                                : FixedFunctionShaders::pixelStage(m_state.fixed);
        } catch (const std::runtime_error& e) {
            made.problem = e.what();
        }
        found = cache.emplace(key, std::move(made)).first;
    }
    return found->second;
}

GlDevice::Program GlDevice::link(const GlslStage& vertex, const GlslStage& pixel) {
    Program p;
    std::string log;
    const GLuint vs = compile(GL_VERTEX_SHADER, withHalfPixelStep(vertex.source), log);
    const GLuint fs = vs == 0 ? 0 : compile(GL_FRAGMENT_SHADER, pixel.source, log);
    if (vs == 0 || fs == 0) {
        glDeleteShader(vs);
        p.problem = "a shader does not compile: " + log;
        return p;
    }
    const GLuint name = glCreateProgram();
    glAttachShader(name, vs);
    glAttachShader(name, fs);
    // The position takes location 0, which a compatibility context draws from.
    p.attributes = vertex.attributes;
    std::stable_partition(p.attributes.begin(), p.attributes.end(), [](const GlslStage::Attribute& a) {
        return a.usage == kUsagePosition && a.usageIndex == 0;
    });
    for (std::size_t i = 0; i < p.attributes.size(); ++i) {
        glBindAttribLocation(name, static_cast<GLuint>(i), p.attributes[i].name.c_str());
    }
    glLinkProgram(name);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(name, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char buffer[1024] = {};
        glGetProgramInfoLog(name, sizeof buffer, nullptr, buffer);
        p.problem = std::string("the shaders do not link: ") + buffer;
        glDeleteProgram(name);
        p.attributes.clear();
        return p;
    }
    p.name = name;
    glUseProgram(name);
    auto location = [name](const GlslStage::Constants& c) {
        return glGetUniformLocation(name, (c.uniform + "[" + std::to_string(c.firstElement) + "]").c_str());
    };
    for (const GlslStage::Constants& c : vertex.constants) {
        p.vertexConstants.push_back(location(c));
    }
    for (const GlslStage::Constants& c : pixel.constants) {
        p.pixelConstants.push_back(location(c));
    }
    for (const GlslStage* stage : {&vertex, &pixel}) {
        for (const GlslStage::Sampler& s : stage->samplers) {
            const GLint at = glGetUniformLocation(name, s.uniform.c_str());
            if (at >= 0) {
                glUniform1i(at, static_cast<GLint>(s.stage));
            }
        }
    }
    p.halfPixel = glGetUniformLocation(name, kOffsetUniform);
    return p;
}

const GlDevice::Program* GlDevice::program() {
    // What a stage without a shader draws with depends on the declaration and the textures bound.
    FixedFunctionState& f = m_state.fixed;
    f.hasNormal = f.hasColor0 = f.hasColor1 = false;
    f.texCoords = 0;
    for (const D3DVERTEXELEMENT9& e : m_declaration->elements()) {
        f.hasNormal = f.hasNormal || e.Usage == kUsageNormal;
        f.hasColor0 = f.hasColor0 || (e.Usage == kUsageColor && e.UsageIndex == 0);
        f.hasColor1 = f.hasColor1 || (e.Usage == kUsageColor && e.UsageIndex == 1);
        if (e.Usage == kUsageTexcoord) {
            f.texCoords = std::max<unsigned>(f.texCoords, e.UsageIndex + 1u);
        }
    }
    for (std::size_t i = 0; i < FixedFunctionState::kStages; ++i) {
        f.stages[i].textured = m_state.textures[i] != nullptr;
    }
    const GlslStage* vertex = nullptr;
    const GlslStage* pixel = nullptr;
    std::uint64_t vertexId = 0;
    std::uint64_t pixelId = 0;
    if (m_state.vertexShader != nullptr) {
        vertex = &m_state.vertexShader->stage();
        vertexId = m_state.vertexShader->id();
    } else {
        const CachedStage& s = fixedStage(m_fixedVertexStages, FixedFunctionShaders::vertexKey(f), true);
        if (!s.problem.empty()) {
            m_drawProblem = s.problem;
            return nullptr;
        }
        vertex = &s.stage;
        vertexId = s.id;
    }
    if (m_state.pixelShader != nullptr) {
        pixel = &m_state.pixelShader->stage();
        pixelId = m_state.pixelShader->id();
    } else {
        const CachedStage& s = fixedStage(m_fixedPixelStages, FixedFunctionShaders::pixelKey(f), false);
        if (!s.problem.empty()) {
            m_drawProblem = s.problem;
            return nullptr;
        }
        pixel = &s.stage;
        pixelId = s.id;
    }
    auto found = m_programs.find({vertexId, pixelId});
    if (found == m_programs.end()) {
        Program p = link(*vertex, *pixel);
        p.fixedVertex = m_state.vertexShader == nullptr;
        p.fixedPixel = m_state.pixelShader == nullptr;
        found = m_programs.emplace(std::make_pair(vertexId, pixelId), std::move(p)).first;
    }
    const Program& p = found->second;
    if (p.name == 0) {
        m_drawProblem = p.problem;
        return nullptr;
    }
    glUseProgram(p.name);
    for (std::size_t i = 0; i < vertex->constants.size(); ++i) {
        upload(vertex->constants[i], p.vertexConstants[i], m_vertexFloats, m_vertexInts, m_vertexBools);
    }
    for (std::size_t i = 0; i < pixel->constants.size(); ++i) {
        upload(pixel->constants[i], p.pixelConstants[i], m_pixelFloats, m_pixelInts, m_pixelBools);
    }
    if (p.fixedVertex || p.fixedPixel) {
        FixedFunctionShaders::setUniforms(p.name, m_state.fixed);
    }
    if (p.halfPixel >= 0) {
        // Clip space spans two units across the target: half a pixel is 1 / size.
        const float step = 1.0f - 2.0f * kHalfPixelShort;
        glUniform2f(p.halfPixel, step / static_cast<float>(m_width), -step / static_cast<float>(m_height));
    }
    return &p;
}

// Each attribute of the vertex stage reads the declaration's element of its usage and index;
// one the declaration lacks reads (0, 0, 0, 1).
void GlDevice::setAttributes(const Program& p, INT baseVertex) {
    glBindBuffer(GL_ARRAY_BUFFER, m_vertices->name());
    for (std::size_t i = 0; i < p.attributes.size(); ++i) {
        const auto location = static_cast<GLuint>(i);
        const GlslStage::Attribute& a = p.attributes[i];
        const D3DVERTEXELEMENT9* element = nullptr;
        for (const D3DVERTEXELEMENT9& e : m_declaration->elements()) {
            if (e.Stream == 0 && e.Usage == a.usage && e.UsageIndex == a.usageIndex &&
                floatCount(e.Type) > 0) {
                element = &e;
            }
        }
        if (element == nullptr) {
            glDisableVertexAttribArray(location);
            glVertexAttrib4f(location, 0, 0, 0, 1);
            continue;
        }
        const std::uintptr_t offset = std::uintptr_t{m_streamOffset} + element->Offset +
                                      static_cast<std::uintptr_t>(baseVertex) * m_stride;
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, floatCount(element->Type), GL_FLOAT, GL_FALSE,
                              static_cast<GLsizei>(m_stride), reinterpret_cast<const void*>(offset));
    }
    for (std::size_t i = p.attributes.size(); i < m_enabledAttributes; ++i) {
        glDisableVertexAttribArray(static_cast<GLuint>(i));
    }
    m_enabledAttributes = p.attributes.size();
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT, UINT, UINT startIndex,
                                       UINT primitives) {
    if (type != D3DPT_TRIANGLELIST || m_declaration == nullptr || m_vertices == nullptr ||
        m_indices == nullptr || m_stride == 0 || baseVertex < 0) {
        return D3DERR_INVALIDCALL;
    }
    const std::uint64_t indexCount = std::uint64_t{primitives} * 3;
    const std::vector<std::uint8_t>& indices = m_indices->bytes();
    if ((std::uint64_t{startIndex} + indexCount) * 2 > indices.size()) {
        return D3DERR_INVALIDCALL;
    }
    // Every vertex drawn must lie inside the vertex buffer, whatever the index buffer holds.
    const std::uint64_t available =
        m_vertices->size() > m_streamOffset ? (m_vertices->size() - m_streamOffset) / m_stride : 0;
    for (std::uint64_t i = startIndex; i < startIndex + indexCount; ++i) {
        const std::uint64_t index = indices[2 * i] | static_cast<std::uint64_t>(indices[2 * i + 1]) << 8;
        if (static_cast<std::uint64_t>(baseVertex) + index >= available) {
            return D3DERR_INVALIDCALL;
        }
    }
    for (const D3DVERTEXELEMENT9& e : m_declaration->elements()) {
        if (std::uint64_t{e.Offset} + std::uint64_t(floatCount(e.Type)) * 4 > m_stride) {
            return D3DERR_INVALIDCALL;
        }
    }
    m_drawProblem.clear();
    if (!m_drawing) {
        m_drawProblem = "the pass cannot be drawn";
        return D3D_OK;
    }
    if (primitives == 0) {
        return D3D_OK;
    }
    makeCurrent();
    applyStates();
    const Program* p = program();
    if (p == nullptr) {
        return D3D_OK; // drawProblem() says why
    }
    setAttributes(*p, baseVertex);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indices->name());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(std::uintptr_t{startIndex} * 2));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                          IDirect3DVertexDeclaration9** declaration) {
    if (elements == nullptr || declaration == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<D3DVERTEXELEMENT9> list;
    // A declaration has at most 64 elements before its end marker.
    for (std::size_t i = 0; elements[i].Stream != 0xFF; ++i) {
        if (i == 64) {
            return D3DERR_INVALIDCALL;
        }
        list.push_back(elements[i]);
    }
    *declaration = new GlVertexDeclaration(this, std::move(list));
    return D3D_OK;
}

HRESULT GlDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    m_declaration = static_cast<GlVertexDeclaration*>(declaration);
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    if (stream != 0) {
        return D3DERR_INVALIDCALL;
    }
    m_vertices = static_cast<GlBuffer<IDirect3DVertexBuffer9>*>(buffer);
    m_streamOffset = offset;
    m_stride = stride;
    return D3D_OK;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer9* buffer) {
    m_indices = static_cast<GlBuffer<IDirect3DIndexBuffer9>*>(buffer);
    return D3D_OK;
}
