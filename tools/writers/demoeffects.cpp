#include "writers/demoeffects.h"

#include "writers/effectwriter.h"

#include <vector>

namespace {

using Type = EffectWriter::Type;

// Direct3D values of the states the demo passes set.
constexpr std::uint32_t kBlendOne = 2;
constexpr std::uint32_t kBlendSrcAlpha = 5;
constexpr std::uint32_t kBlendInvSrcAlpha = 6;
constexpr std::uint32_t kCullNone = 1;
constexpr std::uint32_t kCullCcw = 3;
constexpr std::uint32_t kFilterLinear = 2;
constexpr std::uint32_t kAddressWrap = 1;

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

EffectWriter::Parameter number(const std::string& name, Type type, const std::string& semantic,
                               std::vector<float> defaults) {
    EffectWriter::Parameter p;
    p.name = name;
    p.type = type;
    p.semantic = semantic;
    p.defaults = std::move(defaults);
    return p;
}

EffectWriter::Parameter texture(const std::string& name) {
    EffectWriter::Parameter p;
    p.name = name;
    p.type = Type::Texture;
    return p;
}

EffectWriter::Parameter sampler(const std::string& name, const std::string& textureName) {
    EffectWriter::Parameter p;
    p.name = name;
    p.type = Type::Sampler;
    p.texture = textureName;
    p.samplerStates = {{"AddressU", kAddressWrap},
                       {"AddressV", kAddressWrap},
                       {"MagFilter", kFilterLinear},
                       {"MinFilter", kFilterLinear},
                       {"MipFilter", kFilterLinear}};
    return p;
}

// What a vertex shader computes besides the position: lighting (none, a fixed ambient plus the
// light, or the material's Emissive, Diffuse and Specular), and how it moves texture coordinates.
enum class Lighting { None, Plain, Material };
enum class Uv { Fixed, Offset, Scroll };

// Vertex shaders read the scene from fixed registers:
//   c0-c3 WorldViewProjection, c4-c7 World, c8 LightDirection, c9 LightDiffuse, c10 LightSpecular,
//   c11 LightScale, c12 EyePosition, c13 Emissive, c14 Diffuse, c15 Specular, c16 Shininess,
//   c17 UVOffset or UVScrollRate, c18 Time.
// They write the lit colour to oD0 (alpha from Diffuse), the specular colour to oD1 and the texture
// coordinates to oT0. Every instruction reads at most one constant register.
EffectWriter::Shader vertexShader(Lighting lighting, Uv uv) {
    EffectWriter::Shader s;
    s.bindings = {{"WorldViewProjection", 0}};
    std::string a = "vs_2_0\n"
                    "def c20, 0, 1, 0.25, 0\n"
                    "dcl_position v0\n"
                    "dcl_normal v1\n"
                    "dcl_texcoord v2\n"
                    "m4x4 oPos, v0, c0\n";
    if (lighting != Lighting::None) {
        s.bindings.insert(s.bindings.end(),
                          {{"World", 4}, {"LightDirection", 8}, {"LightDiffuse", 9}, {"LightScale", 11}});
        // World normal and the unit vector towards the light (the semantic gives the direction the light
        // travels), then N.L.
        a += "m3x3 r0.xyz, v1, c4\n"
             "nrm r1.xyz, r0\n"
             "mov r2.xyz, -c8\n"
             "nrm r3.xyz, r2\n"
             "dp3 r4.x, r1, r3\n"
             "mov r5, c9\n"
             "mul r5, r5, c11\n";
    }
    switch (lighting) {
    case Lighting::None:
        break;
    case Lighting::Plain:
        a += "max r4.x, r4.x, c20.x\n"
             "mad oD0.xyz, r5, r4.x, c20.z\n"
             "mov oD0.w, c20.y\n";
        break;
    case Lighting::Material:
        s.bindings.insert(s.bindings.end(), {{"LightSpecular", 10},
                                             {"EyePosition", 12},
                                             {"Emissive", 13},
                                             {"Diffuse", 14},
                                             {"Specular", 15},
                                             {"Shininess", 16}});
        // Blinn-Phong: lit takes N.L, N.H and the power and gives the diffuse and specular terms.
        a += "m4x3 r6.xyz, v0, c4\n"
             "add r6.xyz, -r6, c12\n"
             "nrm r7.xyz, r6\n"
             "add r8.xyz, r3, r7\n"
             "nrm r9.xyz, r8\n"
             "dp3 r4.y, r1, r9\n"
             "mov r4.w, c16.x\n"
             "lit r10, r4\n"
             "mul r5, r5, c14\n"
             "mul r5, r5, r10.y\n"
             "add oD0.xyz, r5, c13\n"
             "mov oD0.w, c14.w\n"
             "mov r11, c10\n"
             "mul r11, r11, c11\n"
             "mul r11, r11, c15\n"
             "mul oD1, r11, r10.z\n";
        break;
    }
    switch (uv) {
    case Uv::Fixed:
        a += "mov oT0.xy, v2\n";
        break;
    case Uv::Offset:
        s.bindings.push_back({"UVOffset", 17});
        a += "add oT0.xy, v2, c17\n";
        break;
    case Uv::Scroll:
        s.bindings.insert(s.bindings.end(), {{"UVScrollRate", 17}, {"Time", 18}});
        a += "mov r0.xy, c17\n"
             "mul r0.xy, r0.xy, c18.x\n"
             "add oT0.xy, r0, v2\n";
        break;
    }
    s.assembly = a;
    return s;
}

// The scene values, bound by semantic; every effect declares them all, whatever its shaders read.
void addSceneParameters(EffectWriter& w) {
    w.addParameter(number("WorldViewProjection", Type::Float4x4, "WORLDVIEWPROJECTION", kIdentity));
    w.addParameter(number("World", Type::Float4x4, "WORLD", kIdentity));
    w.addParameter(number("LightDirection", Type::Float4, "DIR_LIGHT_VEC_0", {-1, 0, -1, 1}));
    w.addParameter(number("LightDiffuse", Type::Float4, "DIR_LIGHT_DIFFUSE_0", {1, 1, 1, 1}));
    w.addParameter(number("LightSpecular", Type::Float4, "DIR_LIGHT_SPECULAR_0", {1, 1, 1, 1}));
    w.addParameter(number("LightScale", Type::Float4, "LIGHT_SCALE", {1, 1, 1, 1}));
    w.addParameter(number("EyePosition", Type::Float4, "EYE_POSITION", {0, 0, 0, 1}));
}

void addMaterialColours(EffectWriter& w) {
    w.addParameter(number("Emissive", Type::Float4, "", {0.2f, 0.2f, 0.2f, 0}));
    w.addParameter(number("Diffuse", Type::Float4, "", {1, 1, 1, 1}));
    w.addParameter(number("Specular", Type::Float4, "", {1, 1, 1, 1}));
    w.addParameter(number("Shininess", Type::Float, "", {32}));
}

void addBaseTexture(EffectWriter& w) {
    w.addParameter(texture("BaseTexture"));
    w.addParameter(sampler("BaseSampler", "BaseTexture"));
}

std::vector<EffectWriter::State> opaqueStates() {
    return {{"ZEnable", 1},
            {"ZWriteEnable", 1},
            {"AlphaBlendEnable", 0},
            {"AlphaTestEnable", 0},
            {"CullMode", kCullCcw}};
}

std::vector<EffectWriter::State> blendStates(std::uint32_t source, std::uint32_t destination) {
    return {{"ZEnable", 1},         {"ZWriteEnable", 0},        {"AlphaBlendEnable", 1},
            {"SrcBlend", source},   {"DestBlend", destination}, {"AlphaTestEnable", 0},
            {"CullMode", kCullNone}};
}

std::string finish(EffectWriter& w, std::vector<EffectWriter::State> states, EffectWriter::Shader vs,
                   EffectWriter::Shader ps) {
    EffectWriter::Pass pass;
    pass.name = "P0";
    pass.states = std::move(states);
    pass.vertexShader = std::move(vs);
    pass.pixelShader = std::move(ps);
    EffectWriter::Technique technique;
    technique.name = "Main";
    technique.passes.push_back(std::move(pass));
    w.addTechnique(technique);
    return w.build();
}

// Pixel shaders: t0 texture coordinates, v0 lit colour, v1 specular; the base texture at s0.

// Texture times lit colour, alpha included.
EffectWriter::Shader texturedPixelShader() {
    return {"ps_2_0\n"
            "dcl t0.xy\n"
            "dcl v0\n"
            "dcl_2d s0\n"
            "texld r0, t0, s0\n"
            "mul r0, r0, v0\n"
            "mov oC0, r0\n",
            {{"BaseSampler", 0}}};
}

std::string plainEffect() {
    EffectWriter w;
    addSceneParameters(w);
    addBaseTexture(w);
    return finish(w, opaqueStates(), vertexShader(Lighting::Plain, Uv::Fixed), texturedPixelShader());
}

// Texture times lit colour plus specular; the alpha of texture and Diffuse blends it.
std::string meshAlpha() {
    EffectWriter w;
    addSceneParameters(w);
    addMaterialColours(w);
    addBaseTexture(w);
    return finish(w, blendStates(kBlendSrcAlpha, kBlendInvSrcAlpha),
                  vertexShader(Lighting::Material, Uv::Fixed),
                  {"ps_2_0\n"
                   "dcl t0.xy\n"
                   "dcl v0\n"
                   "dcl v1\n"
                   "dcl_2d s0\n"
                   "texld r0, t0, s0\n"
                   "mul r0, r0, v0\n"
                   "add r0.xyz, r0, v1\n"
                   "mov oC0, r0\n",
                   {{"BaseSampler", 0}}});
}

// Specular scaled by the base texture's alpha, the gloss map.
std::string meshGloss() {
    EffectWriter w;
    addSceneParameters(w);
    addMaterialColours(w);
    addBaseTexture(w);
    return finish(w, opaqueStates(), vertexShader(Lighting::Material, Uv::Fixed),
                  {"ps_2_0\n"
                   "dcl t0.xy\n"
                   "dcl v0\n"
                   "dcl v1\n"
                   "dcl_2d s0\n"
                   "texld r0, t0, s0\n"
                   "mul r1.xyz, r0, v0\n"
                   "mad r1.xyz, v1, r0.w, r1\n"
                   "mov r1.w, v0.w\n"
                   "mov oC0, r1\n",
                   {{"BaseSampler", 0}}});
}

// Colorization tints the base texture where its alpha marks the team colour; GlossTexture scales
// the specular.
std::string meshGlossColorize() {
    EffectWriter w;
    addSceneParameters(w);
    addMaterialColours(w);
    w.addParameter(number("Colorization", Type::Float4, "", {1, 1, 1, 1}));
    addBaseTexture(w);
    w.addParameter(texture("GlossTexture"));
    w.addParameter(sampler("GlossSampler", "GlossTexture"));
    return finish(w, opaqueStates(), vertexShader(Lighting::Material, Uv::Fixed),
                  {"ps_2_0\n"
                   "dcl t0.xy\n"
                   "dcl v0\n"
                   "dcl v1\n"
                   "dcl_2d s0\n"
                   "dcl_2d s1\n"
                   "texld r0, t0, s0\n"
                   "texld r1, t0, s1\n"
                   "mul r2.xyz, r0, c0\n"
                   "lrp r3.xyz, r0.w, r2, r0\n"
                   "mul r3.xyz, r3, v0\n"
                   "mad r3.xyz, v1, r1, r3\n"
                   "mov r3.w, v0.w\n"
                   "mov oC0, r3\n",
                   {{"Colorization", 0}, {"BaseSampler", 0}, {"GlossSampler", 1}}});
}

// The vertex carries no tangents, so the normal map only shades: its z, the part of the normal
// facing out of the surface, scales the lit colour.
std::string meshBumpColorize() {
    EffectWriter w;
    addSceneParameters(w);
    addMaterialColours(w);
    w.addParameter(number("Colorization", Type::Float4, "", {1, 1, 1, 1}));
    w.addParameter(number("UVOffset", Type::Float4, "", {0, 0, 0, 0}));
    addBaseTexture(w);
    w.addParameter(texture("NormalTexture"));
    w.addParameter(sampler("NormalSampler", "NormalTexture"));
    return finish(w, opaqueStates(), vertexShader(Lighting::Material, Uv::Offset),
                  {"ps_2_0\n"
                   "def c1, -1, 0, 0, 0\n"
                   "dcl t0.xy\n"
                   "dcl v0\n"
                   "dcl v1\n"
                   "dcl_2d s0\n"
                   "dcl_2d s1\n"
                   "texld r0, t0, s0\n"
                   "texld r1, t0, s1\n"
                   "add r1.z, r1.z, r1.z\n"
                   "add r1.z, r1.z, c1.x\n"
                   "mul r2.xyz, r0, c0\n"
                   "lrp r3.xyz, r0.w, r2, r0\n"
                   "mul r4.xyz, v0, r1.z\n"
                   "mul r3.xyz, r3, r4\n"
                   "add r3.xyz, r3, v1\n"
                   "mov r3.w, v0.w\n"
                   "mov oC0, r3\n",
                   {{"Colorization", 0}, {"BaseSampler", 0}, {"NormalSampler", 1}}});
}

// Unlit: the texture scrolled over time, times Color, added to what is behind.
std::string meshAdditive() {
    EffectWriter w;
    addSceneParameters(w);
    addBaseTexture(w);
    w.addParameter(number("UVScrollRate", Type::Float4, "", {0, 0, 0, 0}));
    w.addParameter(number("Color", Type::Float4, "", {1, 1, 1, 1}));
    w.addParameter(number("Time", Type::Float, "TIME", {0}));
    return finish(w, blendStates(kBlendOne, kBlendOne), vertexShader(Lighting::None, Uv::Scroll),
                  {"ps_2_0\n"
                   "dcl t0.xy\n"
                   "dcl_2d s0\n"
                   "texld r0, t0, s0\n"
                   "mul r0, r0, c0\n"
                   "mov oC0, r0\n",
                   {{"Color", 0}, {"BaseSampler", 0}}});
}

} // namespace

std::map<std::string, std::string> buildDemoEffects() {
    return {
        {"MeshBumpColorize", meshBumpColorize()},
        {"MeshGloss", meshGloss()},
        {"MeshGlossColorize", meshGlossColorize()},
        {"MeshAlpha", meshAlpha()},
        {"MeshAdditive", meshAdditive()},
        {"AlDefault", plainEffect()},
        {"Default", plainEffect()},
    };
}
