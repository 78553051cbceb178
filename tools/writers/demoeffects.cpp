#include "writers/demoeffects.h"

#include "writers/effectwriter.h"

#include <vector>

namespace {

using Type = EffectWriter::Type;
using State = EffectWriter::State;
using Op = ExpressionAssembler::Op;
using Table = ExpressionAssembler::Table;

// Direct3D values of the states the demo passes set.
constexpr std::uint32_t kBlendOne = 2;
constexpr std::uint32_t kBlendSrcAlpha = 5;
constexpr std::uint32_t kBlendInvSrcAlpha = 6;
constexpr std::uint32_t kCullCcw = 3;
constexpr std::uint32_t kFilterLinear = 2;
constexpr std::uint32_t kAddressWrap = 1;
constexpr std::uint32_t kLightDirectional = 3;
constexpr std::uint32_t kOpDisable = 1;
constexpr std::uint32_t kOpSelectArg1 = 2;
constexpr std::uint32_t kOpModulate = 4;
constexpr std::uint32_t kArgDiffuse = 0;
constexpr std::uint32_t kArgCurrent = 1;
constexpr std::uint32_t kArgTexture = 2;
constexpr std::uint32_t kAmbientGrey = 0x00404040; // a D3DCOLOR: a quarter of full light

const char kRichest[] = "max_viewport";
const char kShaderModel14[] = "ps14_viewport";
const char kFixedFunction[] = "fixed_function";

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

EffectWriter::Parameter shaderVariable(const std::string& name, Type type, EffectWriter::Shader shader) {
    EffectWriter::Parameter p;
    p.name = name;
    p.type = type;
    p.shader = std::move(shader);
    return p;
}

State value(const std::string& name, std::uint32_t v, std::uint32_t index = 0) {
    State s;
    s.name = name;
    s.value = v;
    s.index = index;
    return s;
}

State named(const std::string& name, const std::string& parameter, std::uint32_t index = 0) {
    State s;
    s.name = name;
    s.parameter = parameter;
    s.index = index;
    return s;
}

State computed(const std::string& name, EffectWriter::Expression expression, std::uint32_t index = 0) {
    State s;
    s.name = name;
    s.expression = std::move(expression);
    s.index = index;
    return s;
}

ExpressionAssembler::Operand reg(Table table, std::uint32_t index, std::uint32_t component = 0) {
    return {table, index, component};
}

ExpressionAssembler::Instruction instruction(Op op, std::uint32_t components,
                                             std::vector<ExpressionAssembler::Operand> inputs,
                                             ExpressionAssembler::Operand output, bool scalar = false) {
    return {op, components, scalar, std::move(inputs), output};
}

// The parameter's value as it is: a register at a time (four of them for a matrix).
EffectWriter::Expression copied(const std::string& parameter, std::uint32_t registers) {
    EffectWriter::Expression e;
    e.inputs = {{parameter, 0, false}};
    for (std::uint32_t r = 0; r < registers; ++r) {
        e.instructions.push_back(instruction(Op::Mov, 4, {reg(Table::Input, r)}, reg(Table::Output, r)));
    }
    return e;
}

// A matrix read by columns (D3DX transposes it into the registers) and turned back into rows one
// number at a time: what the transform state takes is the matrix as the parameter holds it.
EffectWriter::Expression transposedBack(const std::string& parameter) {
    EffectWriter::Expression e;
    e.inputs = {{parameter, 0, true}};
    for (std::uint32_t row = 0; row < 4; ++row) {
        for (std::uint32_t column = 0; column < 4; ++column) {
            e.instructions.push_back(
                instruction(Op::Mov, 1, {reg(Table::Input, column, row)}, reg(Table::Output, row, column)));
        }
    }
    return e;
}

// The direction of the light as a unit vector.
EffectWriter::Expression normalised(const std::string& parameter) {
    EffectWriter::Expression e;
    e.inputs = {{parameter, 0, false}};
    e.instructions = {
        instruction(Op::Dot, 3, {reg(Table::Input, 0), reg(Table::Input, 0)}, reg(Table::Temporary, 0, 0)),
        instruction(Op::Rsq, 1, {reg(Table::Temporary, 0, 0)}, reg(Table::Temporary, 0, 1)),
        instruction(Op::Mul, 3, {reg(Table::Temporary, 0, 1), reg(Table::Input, 0)}, reg(Table::Output, 0),
                    true),
    };
    return e;
}

EffectWriter::Expression product(const std::string& a, const std::string& b) {
    EffectWriter::Expression e;
    e.inputs = {{a, 0, false}, {b, 1, false}};
    e.instructions = {
        instruction(Op::Mul, 4, {reg(Table::Input, 0), reg(Table::Input, 1)}, reg(Table::Output, 0))};
    return e;
}

EffectWriter::Expression scaled(const std::string& parameter, double factor) {
    EffectWriter::Expression e;
    e.inputs = {{parameter, 0, false}};
    e.literals = {factor};
    e.instructions = {
        instruction(Op::Mul, 4, {reg(Table::Literal, 0), reg(Table::Input, 0)}, reg(Table::Output, 0), true)};
    return e;
}

EffectWriter::Expression clamped(const std::string& parameter) {
    EffectWriter::Expression e;
    e.inputs = {{parameter, 0, false}};
    e.literals = {0, 0, 0, 0, 1, 1, 1, 1};
    e.instructions = {
        instruction(Op::Max, 4, {reg(Table::Input, 0), reg(Table::Literal, 0)}, reg(Table::Temporary, 0)),
        instruction(Op::Min, 4, {reg(Table::Temporary, 0), reg(Table::Literal, 1)}, reg(Table::Output, 0)),
    };
    return e;
}

// What a vertex shader computes besides the position: lighting (none; a fixed ambient plus the
// light; the material's Emissive, Diffuse and Specular; or the normal and the light's direction
// packed into 0..1 for the pixel shader), and how it moves texture coordinates.
enum class Lighting { None, Plain, Material, Packed };
enum class Uv { Fixed, Offset, Scroll };

// Vertex shaders (vs_1_1) read the scene from fixed registers:
//   c0-c3 WorldViewProjection, c4-c7 World, c8 LightDirection, c9 LightDiffuse, c10 LightSpecular,
//   c11 LightScale, c12 EyePosition, c13 Emissive, c14 Diffuse, c15 Specular, c16 Shininess,
//   c17 UVOffset or UVScrollRate, c18 Time.
// They write the lit colour to oD0 (alpha from Diffuse), the specular colour to oD1 and the texture
// coordinates to oT0 and oT1. Every instruction reads at most one constant register.
EffectWriter::Shader vertexShader(Lighting lighting, Uv uv) {
    EffectWriter::Shader s;
    s.bindings = {{"WorldViewProjection", 0}};
    std::string a = "vs_1_1\n"
                    "def c20, 0, 1, 0.25, 0.5\n"
                    "dcl_position v0\n"
                    "dcl_normal v1\n"
                    "dcl_texcoord v2\n"
                    "m4x4 oPos, v0, c0\n";
    if (lighting != Lighting::None) {
        s.bindings.insert(s.bindings.end(),
                          {{"World", 4}, {"LightDirection", 8}, {"LightDiffuse", 9}, {"LightScale", 11}});
        // The world normal and the unit vector towards the light (the semantic gives the direction
        // the light travels), then N.L and the light's colour.
        a += "m3x3 r0.xyz, v1, c4\n"
             "dp3 r0.w, r0, r0\n"
             "rsq r0.w, r0.w\n"
             "mul r1.xyz, r0, r0.w\n"
             "mov r2.xyz, -c8\n"
             "dp3 r2.w, r2, r2\n"
             "rsq r2.w, r2.w\n"
             "mul r3.xyz, r2, r2.w\n"
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
             "dp3 r6.w, r6, r6\n"
             "rsq r6.w, r6.w\n"
             "mul r7.xyz, r6, r6.w\n"
             "add r8.xyz, r3, r7\n"
             "dp3 r8.w, r8, r8\n"
             "rsq r8.w, r8.w\n"
             "mul r9.xyz, r8, r8.w\n"
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
    case Lighting::Packed:
        s.bindings.push_back({"Diffuse", 14});
        // oT2 the normal and oD0 the direction towards the light, each as 0.5 * v + 0.5; oD1 the
        // light's colour times Diffuse, for the pixel shader to light each pixel.
        a += "mov r7, c20\n"
             "mad oT2.xyz, r1, r7.w, r7.w\n"
             "mad oD0.xyz, r3, r7.w, r7.w\n"
             "mov oD0.w, c20.y\n"
             "mul r5, r5, c14\n"
             "mov oD1.xyz, r5\n"
             "mov oD1.w, c14.w\n";
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
    if (lighting != Lighting::None) {
        a += "mov oT1.xy, v2\n";
    }
    s.assembly = a;
    return s;
}

// The scene values the shaders read, bound by semantic.
void addSceneParameters(EffectWriter& w) {
    w.addParameter(number("WorldViewProjection", Type::Float4x4, "WORLDVIEWPROJECTION", kIdentity));
    w.addParameter(number("World", Type::Float4x4, "WORLD", kIdentity));
    w.addParameter(number("LightDirection", Type::Float4, "DIR_LIGHT_VEC_0", {-1, 0, -1, 1}));
    w.addParameter(number("LightDiffuse", Type::Float4, "DIR_LIGHT_DIFFUSE_0", {1, 1, 1, 1}));
    w.addParameter(number("LightSpecular", Type::Float4, "DIR_LIGHT_SPECULAR_0", {1, 1, 1, 1}));
    w.addParameter(number("LightScale", Type::Float4, "LIGHT_SCALE", {1, 1, 1, 1}));
    w.addParameter(number("EyePosition", Type::Float4, "EYE_POSITION", {0, 0, 0, 1}));
}

// The transforms the fixed-function pipeline takes apart.
void addTransformParameters(EffectWriter& w) {
    w.addParameter(number("View", Type::Float4x4, "VIEW", kIdentity));
    w.addParameter(number("Projection", Type::Float4x4, "PROJECTION", kIdentity));
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

std::vector<State> opaqueStates() {
    return {value("ZEnable", 1), value("ZWriteEnable", 1), value("AlphaBlendEnable", 0),
            value("AlphaTestEnable", 0), value("CullMode", kCullCcw)};
}

std::vector<State> blendStates(std::uint32_t source, std::uint32_t destination) {
    return {value("ZEnable", 1),        value("ZWriteEnable", 0),        value("AlphaBlendEnable", 1),
            value("SrcBlend", source),  value("DestBlend", destination), value("AlphaTestEnable", 0),
            value("CullMode", kCullCcw)};
}

EffectWriter::Pass pass(std::vector<State> states) {
    EffectWriter::Pass p;
    p.name = "P0";
    p.states = std::move(states);
    return p;
}

// A pass running the named shader variables after states.
EffectWriter::Pass shaderPass(std::vector<State> states, const std::string& vertexShader,
                              const std::string& pixelShader) {
    states.push_back(named("VertexShader", vertexShader));
    states.push_back(named("PixelShader", pixelShader));
    return pass(std::move(states));
}

EffectWriter::Technique technique(const std::string& name, EffectWriter::Pass only) {
    EffectWriter::Technique t;
    t.name = name;
    t.passes.push_back(std::move(only));
    return t;
}

// A fixed-function pass after states: the transforms and, when lit, the light and the material
// computed from the effect's parameters; stage 0 takes the base texture, times the lit colour when
// lit, and no stage after it.
EffectWriter::Pass fixedFunctionPass(std::vector<State> states, bool lit) {
    std::vector<State> more = {
        value("VertexShader", 0),
        value("PixelShader", 0),
        computed("WorldTransform", copied("World", 4)),
        computed("ViewTransform", transposedBack("View")),
        computed("ProjectionTransform", copied("Projection", 4)),
        value("Lighting", lit ? 1 : 0),
        named("Texture", "BaseTexture"),
        value("ColorOp", lit ? kOpModulate : kOpSelectArg1),
        value("ColorArg1", kArgTexture),
        value("ColorArg2", kArgDiffuse),
        value("AlphaOp", lit ? kOpModulate : kOpSelectArg1),
        value("AlphaArg1", kArgTexture),
        value("AlphaArg2", kArgDiffuse),
        value("ResultArg", kArgCurrent),
        value("TexCoordIndex", 0),
        value("ColorOp", kOpDisable, 1),
        value("AlphaOp", kOpDisable, 1),
        value("AddressU", kAddressWrap),
        value("AddressV", kAddressWrap),
        value("MagFilter", kFilterLinear),
        value("MinFilter", kFilterLinear),
        value("MipFilter", kFilterLinear),
    };
    if (lit) {
        State noSpecular;
        noSpecular.name = "MaterialSpecular";
        noSpecular.numbers = {0, 0, 0, 0};
        State noAmbient;
        noAmbient.name = "LightAmbient";
        noAmbient.numbers = {0, 0, 0, 0};
        more.insert(more.end(), {
                                    value("SpecularEnable", 0),
                                    value("ColorVertex", 0),
                                    value("Ambient", kAmbientGrey),
                                    computed("MaterialDiffuse", copied("Diffuse", 1)),
                                    computed("MaterialAmbient", scaled("Diffuse", 0.5)),
                                    computed("MaterialEmissive", clamped("Emissive")),
                                    noSpecular,
                                    named("MaterialPower", "Shininess"),
                                    value("LightType", kLightDirectional),
                                    computed("LightDirection", normalised("LightDirection")),
                                    computed("LightDiffuse", product("LightDiffuse", "LightScale")),
                                    noAmbient,
                                    value("LightEnable", 1),
                                });
    }
    states.insert(states.end(), more.begin(), more.end());
    return pass(std::move(states));
}

// Pixel shaders read t0 the base texture's coordinates, v0 the lit colour, v1 the specular colour.

// The plain lit texture, and a fixed-function fallback.
std::string plainEffect() {
    EffectWriter w;
    addSceneParameters(w);
    addTransformParameters(w);
    addMaterialColours(w);
    addBaseTexture(w);
    w.addParameter(shaderVariable("PlainVS", Type::VertexShader, vertexShader(Lighting::Plain, Uv::Fixed)));
    w.addParameter(shaderVariable("PlainPS", Type::PixelShader,
                                  {"ps_1_1\n"
                                   "tex t0\n"
                                   "mul r0, t0, v0\n",
                                   {{"BaseSampler", 0}}}));
    w.addTechnique(technique(kRichest, shaderPass(opaqueStates(), "PlainVS", "PlainPS")));
    w.addTechnique(technique(kFixedFunction, fixedFunctionPass(opaqueStates(), true)));
    return w.build();
}

// The fixed-function pipeline alone: the texture times the lit colour, whose alpha (Diffuse's)
// blends it over what is behind.
std::string meshAlpha() {
    EffectWriter w;
    addSceneParameters(w);
    addTransformParameters(w);
    addMaterialColours(w);
    addBaseTexture(w);
    w.addTechnique(
        technique(kRichest, fixedFunctionPass(blendStates(kBlendSrcAlpha, kBlendInvSrcAlpha), true)));
    return w.build();
}

// Specular scaled by the base texture's alpha, the gloss map (ps_2_0); a fixed-function fallback.
std::string meshGloss() {
    EffectWriter w;
    addSceneParameters(w);
    addTransformParameters(w);
    addMaterialColours(w);
    addBaseTexture(w);
    w.addParameter(
        shaderVariable("GlossVS", Type::VertexShader, vertexShader(Lighting::Material, Uv::Fixed)));
    w.addParameter(shaderVariable("GlossPS", Type::PixelShader,
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
                                   {{"BaseSampler", 0}}}));
    w.addTechnique(technique(kRichest, shaderPass(opaqueStates(), "GlossVS", "GlossPS")));
    w.addTechnique(technique(kFixedFunction, fixedFunctionPass(opaqueStates(), true)));
    return w.build();
}

// Colorization tints the base texture where its alpha marks the team colour; GlossTexture scales
// the specular (ps_1_1); a fixed-function fallback without the tint.
std::string meshGlossColorize() {
    EffectWriter w;
    addSceneParameters(w);
    addTransformParameters(w);
    addMaterialColours(w);
    w.addParameter(number("Colorization", Type::Float4, "", {1, 1, 1, 1}));
    addBaseTexture(w);
    w.addParameter(texture("GlossTexture"));
    w.addParameter(sampler("GlossSampler", "GlossTexture"));
    w.addParameter(
        shaderVariable("ColorizeVS", Type::VertexShader, vertexShader(Lighting::Material, Uv::Fixed)));
    w.addParameter(shaderVariable("ColorizePS", Type::PixelShader,
                                  {"ps_1_1\n"
                                   "tex t0\n"
                                   "tex t1\n"
                                   "mul r0, t0, c0\n"
                                   "lrp r0.rgb, t0.a, r0, t0\n"
                                   "mul r0.rgb, r0, v0\n"
                                   "mad r0.rgb, v1, t1, r0\n"
                                   "mov r0.a, v0.a\n",
                                   {{"Colorization", 0}, {"BaseSampler", 0}, {"GlossSampler", 1}}}));
    w.addTechnique(technique(kRichest, shaderPass(opaqueStates(), "ColorizeVS", "ColorizePS")));
    w.addTechnique(technique(kFixedFunction, fixedFunctionPass(opaqueStates(), true)));
    return w.build();
}

// The vertex carries no tangents, so the normal map only shades: its z, the part of the normal
// facing out of the surface, scales the light, which is lit per pixel from the interpolated normal
// (texcoord t2) and the light's direction (v0). ps_1_1 first, then ps_1_4, then fixed function.
std::string meshBumpColorize() {
    EffectWriter w;
    addSceneParameters(w);
    addTransformParameters(w);
    addMaterialColours(w);
    w.addParameter(number("Colorization", Type::Float4, "", {1, 1, 1, 1}));
    w.addParameter(number("UVOffset", Type::Float4, "", {0, 0, 0, 0}));
    addBaseTexture(w);
    w.addParameter(texture("NormalTexture"));
    w.addParameter(sampler("NormalSampler", "NormalTexture"));
    const std::vector<EffectWriter::Binding> bindings = {
        {"Colorization", 1}, {"Emissive", 2}, {"BaseSampler", 0}, {"NormalSampler", 1}};
    w.addParameter(shaderVariable("BumpVS", Type::VertexShader, vertexShader(Lighting::Packed, Uv::Offset)));
    w.addParameter(shaderVariable("BumpPS", Type::PixelShader,
                                  {"ps_1_1\n"
                                   "def c3, 0, 0, 1, 0\n"
                                   "tex t0\n"
                                   "tex t1\n"
                                   // texcoord t2, which our assembler spells as ps_1_4 does
                                   "texcrd t2\n"
                                   "dp3_sat r1, t2_bx2, v0_bx2\n"
                                   "mul r1, r1, v1\n"
                                   "dp3 r0, t1, c3\n"
                                   "mul r1, r1, r0\n"
                                   "add r1, r1, c2\n"
                                   "mul r0, t0, c1\n"
                                   "lrp r0.rgb, t0.a, r0, t0\n"
                                   "mul r0.rgb, r0, r1\n",
                                   bindings}));
    // The same in ps_1_4: coordinates and the normal map in the first phase, the rest in the
    // second, where the colour registers are.
    w.addParameter(shaderVariable("BumpPS14", Type::PixelShader,
                                  {"ps_1_4\n"
                                   "def c3, 0, 0, 1, 0\n"
                                   "texcrd r2.rgb, t2\n"
                                   "texld r1, t1\n"
                                   "phase\n"
                                   "texld r0, t0\n"
                                   "dp3_sat r3, r2_bx2, v0_bx2\n"
                                   "mul r3, r3, v1\n"
                                   "dp3 r4, r1, c3\n"
                                   "mul r3, r3, r4\n"
                                   "add r3, r3, c2\n"
                                   "mul r5, r0, c1\n"
                                   "lrp r5.rgb, r0.a, r5, r0\n"
                                   "mul r0.rgb, r5, r3\n",
                                   bindings}));
    w.addTechnique(technique(kRichest, shaderPass(opaqueStates(), "BumpVS", "BumpPS")));
    w.addTechnique(technique(kShaderModel14, shaderPass(opaqueStates(), "BumpVS", "BumpPS14")));
    w.addTechnique(technique(kFixedFunction, fixedFunctionPass(opaqueStates(), true)));
    return w.build();
}

// Unlit: the texture scrolled over time, times Color, added to what is behind; the shaders are
// written in the pass. A fixed-function fallback adds the texture alone.
std::string meshAdditive() {
    EffectWriter w;
    addSceneParameters(w);
    addTransformParameters(w);
    addBaseTexture(w);
    w.addParameter(number("UVScrollRate", Type::Float4, "", {0, 0, 0, 0}));
    w.addParameter(number("Color", Type::Float4, "", {1, 1, 1, 1}));
    w.addParameter(number("Time", Type::Float, "TIME", {0}));
    EffectWriter::Pass inPlace = pass(blendStates(kBlendOne, kBlendOne));
    inPlace.vertexShader = vertexShader(Lighting::None, Uv::Scroll);
    inPlace.pixelShader = {"ps_1_1\n"
                           "tex t0\n"
                           "mul r0, t0, c0\n",
                           {{"Color", 0}, {"BaseSampler", 0}}};
    w.addTechnique(technique(kRichest, inPlace));
    w.addTechnique(technique(kFixedFunction, fixedFunctionPass(blendStates(kBlendOne, kBlendOne), false)));
    return w.build();
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
