#include "engine/gl/fixedfunctionshaders.h"

#include "engine/gl/opengl.h"
#include "main/hextext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

using d3d::DWORD;

namespace {

constexpr int kStages = FixedFunctionState::kStages;
constexpr int kLights = FixedFunctionState::kLights;

// Texture operations (D3DTEXTUREOP).
constexpr DWORD kOpDisable = 0x01;
constexpr DWORD kOpSelectArg1 = 0x02;
constexpr DWORD kOpSelectArg2 = 0x03;
constexpr DWORD kOpModulate = 0x04;
constexpr DWORD kOpModulate2x = 0x05;
constexpr DWORD kOpModulate4x = 0x06;
constexpr DWORD kOpAdd = 0x07;
constexpr DWORD kOpAddSigned = 0x08;
constexpr DWORD kOpAddSigned2x = 0x09;
constexpr DWORD kOpSubtract = 0x0A;
constexpr DWORD kOpAddSmooth = 0x0B;
constexpr DWORD kOpBlendDiffuseAlpha = 0x0C;
constexpr DWORD kOpBlendTextureAlpha = 0x0D;
constexpr DWORD kOpBlendFactorAlpha = 0x0E;
constexpr DWORD kOpBlendTextureAlphaPm = 0x0F;
constexpr DWORD kOpBlendCurrentAlpha = 0x10;
constexpr DWORD kOpModulateAlphaAddColor = 0x12;
constexpr DWORD kOpModulateColorAddAlpha = 0x13;
constexpr DWORD kOpModulateInvAlphaAddColor = 0x14;
constexpr DWORD kOpModulateInvColorAddAlpha = 0x15;
constexpr DWORD kOpBumpEnvMap = 0x16;
constexpr DWORD kOpBumpEnvMapLuminance = 0x17;
constexpr DWORD kOpDotProduct3 = 0x18;
constexpr DWORD kOpMultiplyAdd = 0x19;
constexpr DWORD kOpLerp = 0x1A;

// Texture arguments (D3DTA_*): a source in the low bits, modifiers above.
constexpr DWORD kArgSourceMask = 0x0F;
constexpr DWORD kArgDiffuse = 0x00;
constexpr DWORD kArgCurrent = 0x01;
constexpr DWORD kArgTexture = 0x02;
constexpr DWORD kArgFactor = 0x03;
constexpr DWORD kArgSpecular = 0x04;
constexpr DWORD kArgTemp = 0x05;
constexpr DWORD kArgConstant = 0x06;
constexpr DWORD kArgComplement = 0x10;
constexpr DWORD kArgAlphaReplicate = 0x20;
// Our own mark for an argument the operation does not read.
constexpr DWORD kArgUnused = 0xFFFFFFFF;

// Material colour sources (D3DMATERIALCOLORSOURCE).
constexpr DWORD kSourceMaterial = 0;
constexpr DWORD kSourceColor1 = 1;
constexpr DWORD kSourceColor2 = 2;

// D3DTSS_TEXCOORDINDEX: the set in the low word, a generation mode (D3DTSS_TCI_*) above.
constexpr DWORD kTexCoordSetMask = 0xFFFF;

// ---- The texture stages ----

using Arguments = std::array<DWORD, 3>;

// One texture stage as the pixel stage draws it: arguments an operation does not read are
// kArgUnused, so that stages drawn alike compare equal.
struct StageOps {
    DWORD colorOp;
    Arguments colorArgs;
    DWORD alphaOp;
    Arguments alphaArgs;
    bool toTemp;
};

// Arguments 0, 1 and 2 as op reads them.
Arguments readArguments(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2) {
    switch (op) {
    case kOpDisable:
        return {kArgUnused, kArgUnused, kArgUnused};
    case kOpSelectArg1:
        return {kArgUnused, arg1, kArgUnused};
    case kOpSelectArg2:
        return {kArgUnused, kArgUnused, arg2};
    case kOpMultiplyAdd:
    case kOpLerp:
        return {arg0, arg1, arg2};
    default:
        return {kArgUnused, arg1, arg2};
    }
}

bool readsSource(const Arguments& args, DWORD source) {
    for (DWORD arg : args) {
        if (arg != kArgUnused && (arg & kArgSourceMask) == source) {
            return true;
        }
    }
    return false;
}

void checkOperation(int stage, const char* channels, DWORD op) {
    const std::string where = "fixed-function texture stage " + std::to_string(stage) + ": " + channels;
    if (op == kOpBumpEnvMap || op == kOpBumpEnvMapLuminance) {
        throw std::runtime_error(where + " operation " + hexText(op) + " (bump mapping) is not supported");
    }
    if (op < kOpDisable || op > kOpLerp) {
        throw std::runtime_error(where + " operation " + hexText(op) + " is not a texture operation");
    }
}

void checkArguments(int stage, const Arguments& args) {
    for (DWORD arg : args) {
        const DWORD known = kArgSourceMask | kArgComplement | kArgAlphaReplicate;
        if (arg != kArgUnused && ((arg & kArgSourceMask) > kArgConstant || (arg & ~known) != 0)) {
            throw std::runtime_error("fixed-function texture stage " + std::to_string(stage) + ": argument " +
                                     hexText(arg) + " is not a texture argument");
        }
    }
}

// op and its arguments as drawn: as in Wine 8, an operation reading the texture of a stage without
// one passes the current colour on; a selection always takes argument 1.
void normalise(bool textured, DWORD& op, Arguments& args) {
    if (!textured && readsSource(args, kArgTexture)) {
        op = kOpSelectArg1;
        args = {kArgUnused, kArgCurrent, kArgUnused};
    } else if (op == kOpSelectArg2) {
        op = kOpSelectArg1;
        args = {kArgUnused, args[2], kArgUnused};
    }
}

// The stages up to the first disabled one. A dot product in the colour operation takes the alpha
// channel too.
std::vector<StageOps> stageOps(const FixedFunctionState& state) {
    std::vector<StageOps> ops;
    for (int i = 0; i < kStages; ++i) {
        const FixedFunctionState::TextureStage& stage = state.stages[static_cast<std::size_t>(i)];
        if (stage.colorOp == kOpDisable) {
            break;
        }
        checkOperation(i, "colour", stage.colorOp);
        StageOps op{stage.colorOp,
                    readArguments(stage.colorOp, stage.colorArg0, stage.colorArg1, stage.colorArg2),
                    stage.alphaOp,
                    {},
                    stage.resultArg == kArgTemp};
        normalise(stage.textured, op.colorOp, op.colorArgs);
        if (op.colorOp == kOpDotProduct3) {
            op.alphaOp = op.colorOp;
            op.alphaArgs = op.colorArgs;
        } else {
            checkOperation(i, "alpha", stage.alphaOp);
            op.alphaArgs = readArguments(stage.alphaOp, stage.alphaArg0, stage.alphaArg1, stage.alphaArg2);
            normalise(stage.textured, op.alphaOp, op.alphaArgs);
        }
        checkArguments(i, op.colorArgs);
        checkArguments(i, op.alphaArgs);
        ops.push_back(op);
    }
    return ops;
}

bool readsTexture(const StageOps& op) {
    return readsSource(op.colorArgs, kArgTexture) || readsSource(op.alphaArgs, kArgTexture) ||
           op.colorOp == kOpBlendTextureAlpha || op.colorOp == kOpBlendTextureAlphaPm ||
           op.alphaOp == kOpBlendTextureAlpha || op.alphaOp == kOpBlendTextureAlphaPm;
}

bool readsFactor(const StageOps& op) {
    return readsSource(op.colorArgs, kArgFactor) || readsSource(op.alphaArgs, kArgFactor) ||
           op.colorOp == kOpBlendFactorAlpha || op.alphaOp == kOpBlendFactorAlpha;
}

std::string argumentValue(DWORD arg, int stage) {
    std::string value;
    switch (arg & kArgSourceMask) {
    case kArgDiffuse:
        value = "gl_Color";
        break;
    case kArgCurrent:
        value = "current";
        break;
    case kArgTexture:
        value = "texel" + std::to_string(stage);
        break;
    case kArgFactor:
        value = "ffp_texture_factor";
        break;
    case kArgSpecular:
        value = "gl_SecondaryColor";
        break;
    case kArgTemp:
        value = "temp";
        break;
    default:
        value = "ffp_constant_" + std::to_string(stage);
        break;
    }
    if ((arg & kArgComplement) != 0) {
        value = "(1.0 - " + value + ")";
    }
    if ((arg & kArgAlphaReplicate) != 0) {
        value = "vec4(" + value + ".a)";
    }
    return value;
}

std::string saturated(const std::string& value) {
    return "clamp(" + value + ", 0.0, 1.0)";
}

// GLSL for op (normalised) on the channels of mask ("" all, ".rgb" or ".a"); empty when the
// operation leaves the channels as they are (D3DTOP_PREMODULATE, which Wine 8 does not draw).
std::string operationValue(DWORD op, const Arguments& args, const std::string& mask, int stage) {
    std::array<std::string, 3> value;
    for (std::size_t i = 0; i < 3; ++i) {
        value[i] = args[i] == kArgUnused ? std::string() : argumentValue(args[i], stage);
    }
    const std::string a0 = value[0] + mask;
    const std::string a1 = value[1] + mask;
    const std::string a2 = value[2] + mask;
    const std::string alpha1 = value[1] + ".a";
    const std::string texel = "texel" + std::to_string(stage);
    switch (op) {
    case kOpSelectArg1:
        return a1;
    case kOpModulate:
        return a1 + " * " + a2;
    case kOpModulate2x:
        return saturated(a1 + " * " + a2 + " * 2.0");
    case kOpModulate4x:
        return saturated(a1 + " * " + a2 + " * 4.0");
    case kOpAdd:
        return saturated(a1 + " + " + a2);
    case kOpAddSigned:
        return saturated(a1 + " + (" + a2 + " - 0.5)");
    case kOpAddSigned2x:
        return saturated("(" + a1 + " + (" + a2 + " - 0.5)) * 2.0");
    case kOpSubtract:
        return saturated(a1 + " - " + a2);
    case kOpAddSmooth:
        return saturated("(1.0 - " + a1 + ") * " + a2 + " + " + a1);
    case kOpBlendDiffuseAlpha:
        return "mix(" + a2 + ", " + a1 + ", gl_Color.a)";
    case kOpBlendTextureAlpha:
        return "mix(" + a2 + ", " + a1 + ", " + texel + ".a)";
    case kOpBlendFactorAlpha:
        return "mix(" + a2 + ", " + a1 + ", ffp_texture_factor.a)";
    case kOpBlendCurrentAlpha:
        return "mix(" + a2 + ", " + a1 + ", current.a)";
    case kOpBlendTextureAlphaPm:
        return saturated(a2 + " * (1.0 - " + texel + ".a) + " + a1);
    case kOpModulateAlphaAddColor:
        return saturated(a2 + " * " + alpha1 + " + " + a1);
    case kOpModulateColorAddAlpha:
        return saturated(a1 + " * " + a2 + " + " + alpha1);
    case kOpModulateInvAlphaAddColor:
        return saturated(a2 + " * (1.0 - " + alpha1 + ") + " + a1);
    case kOpModulateInvColorAddAlpha:
        return saturated("(1.0 - " + a1 + ") * " + a2 + " + " + alpha1);
    case kOpDotProduct3:
        return "vec4(" + saturated("dot(" + value[1] + ".rgb - 0.5, " + value[2] + ".rgb - 0.5) * 4.0") +
               ")" + mask;
    case kOpMultiplyAdd:
        return saturated(a1 + " * " + a2 + " + " + a0);
    case kOpLerp:
        return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
    default:
        return {};
    }
}

std::string pixelSource(const std::vector<StageOps>& ops) {
    std::string declarations = "#version 120\n";
    std::string body = "void main() {\n";
    bool factor = false;
    bool temp = false;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const std::string n = std::to_string(i);
        if (readsTexture(ops[i])) {
            declarations += "uniform sampler2D ffp_sampler_" + n + ";\n";
            body +=
                "    vec4 texel" + n + " = texture2D(ffp_sampler_" + n + ", gl_TexCoord[" + n + "].xy);\n";
        }
        if (readsSource(ops[i].colorArgs, kArgConstant) || readsSource(ops[i].alphaArgs, kArgConstant)) {
            declarations += "uniform vec4 ffp_constant_" + n + ";\n";
        }
        factor = factor || readsFactor(ops[i]);
        temp = temp || ops[i].toTemp || readsSource(ops[i].colorArgs, kArgTemp) ||
               readsSource(ops[i].alphaArgs, kArgTemp);
    }
    if (factor) {
        declarations += "uniform vec4 ffp_texture_factor;\n";
    }
    declarations += "uniform vec4 ffp_specular_enable;\n";
    body += "    vec4 current = gl_Color;\n";
    if (temp) {
        body += "    vec4 temp = vec4(0.0);\n";
    }
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const StageOps& op = ops[i];
        const int stage = static_cast<int>(i);
        const std::string target = op.toTemp ? "temp" : "current";
        const auto write = [&](DWORD operation, const Arguments& args, const std::string& mask) {
            const std::string value = operationValue(operation, args, mask, stage);
            if (!value.empty()) {
                body += "    " + target + mask + " = " + value + ";\n";
            }
        };
        if (op.alphaOp == kOpDisable) {
            write(op.colorOp, op.colorArgs, ".rgb");
        } else if (op.colorOp == op.alphaOp && op.colorArgs == op.alphaArgs) {
            write(op.colorOp, op.colorArgs, "");
        } else {
            write(op.colorOp, op.colorArgs, ".rgb");
            write(op.alphaOp, op.alphaArgs, ".a");
        }
    }
    // The specular colour is added to the current one's colour channels when enabled.
    body += "    gl_FragColor = gl_SecondaryColor * ffp_specular_enable + current;\n}\n";
    return declarations + body;
}

// ---- Transform and lighting ----

// What the vertex stage draws, with whatever its source does not depend on left at zero.
struct VertexSettings {
    bool lighting = false;
    bool normal = false;    // lit with the declaration's normals
    bool normalize = false; // D3DRS_NORMALIZENORMALS
    bool localViewer = false;
    std::array<DWORD, 4> sources = {}; // ambient, diffuse, specular, emissive: D3DMCS_*
    bool color0 = false;               // reads vertex colour 0
    bool color1 = false;
    std::vector<DWORD> lights;                  // the types of the enabled lights, in index order
    std::array<int, kStages> texCoordSets = {}; // each stage's set, -1 for none
};

enum Source { kAmbient, kDiffuse, kSpecular, kEmissive };

bool readsSet(const VertexSettings& settings, int set) {
    return std::find(settings.texCoordSets.begin(), settings.texCoordSets.end(), set) !=
           settings.texCoordSets.end();
}

// As Wine 8 decides it: vertex colours only with D3DRS_COLORVERTEX, and a colour the declaration
// lacks gives way to the material's.
DWORD materialSource(const FixedFunctionState& state, DWORD source) {
    if (!state.colorVertex) {
        return kSourceMaterial;
    }
    if ((source == kSourceColor1 && state.hasColor0) || (source == kSourceColor2 && state.hasColor1)) {
        return source;
    }
    return kSourceMaterial;
}

VertexSettings vertexSettings(const FixedFunctionState& state) {
    VertexSettings settings;
    settings.lighting = state.lighting;
    if (state.lighting) {
        for (int i = 0; i < kLights; ++i) {
            const d3d::D3DLIGHT9& light = state.lights[static_cast<std::size_t>(i)];
            if (!state.lightEnabled[static_cast<std::size_t>(i)]) {
                continue;
            }
            if (light.Type != d3d::D3DLIGHT_POINT && light.Type != d3d::D3DLIGHT_SPOT &&
                light.Type != d3d::D3DLIGHT_DIRECTIONAL) {
                throw std::runtime_error("fixed-function light " + std::to_string(i) + ": type " +
                                         hexText(static_cast<DWORD>(light.Type)) + " is not a light type");
            }
            settings.lights.push_back(static_cast<DWORD>(light.Type));
        }
        settings.normal = state.hasNormal;
        settings.normalize = state.hasNormal && state.normalizeNormals;
        settings.localViewer = state.localViewer && state.hasNormal && !settings.lights.empty();
        settings.sources = {materialSource(state, state.ambientMaterialSource),
                            materialSource(state, state.diffuseMaterialSource),
                            materialSource(state, state.specularMaterialSource),
                            materialSource(state, state.emissiveMaterialSource)};
        for (DWORD source : settings.sources) {
            settings.color0 = settings.color0 || source == kSourceColor1;
            settings.color1 = settings.color1 || source == kSourceColor2;
        }
    } else {
        settings.color0 = state.hasColor0;
        settings.color1 = state.hasColor1;
    }
    for (int i = 0; i < kStages; ++i) {
        // Generated coordinates are not drawn: such a stage takes set 0.
        const DWORD index = state.stages[static_cast<std::size_t>(i)].texCoordIndex;
        const DWORD set = (index & ~kTexCoordSetMask) != 0 ? 0 : index;
        settings.texCoordSets[static_cast<std::size_t>(i)] =
            set < state.texCoords ? static_cast<int>(set) : -1;
    }
    return settings;
}

std::string sourceValue(DWORD source, const char* material) {
    return source == kSourceColor1   ? std::string("ffp_color0")
           : source == kSourceColor2 ? std::string("ffp_color1")
                                     : "ffp_material." + std::string(material);
}

// text with every '$' replaced by value.
std::string substituted(const char* text, const std::string& value) {
    std::string result;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '$') {
            result += value;
        } else {
            result += *c;
        }
    }
    return result;
}

const char* const kLightingDeclarations = R"(uniform mat3 ffp_normal_matrix;
struct FfpMaterial {
    vec4 diffuse;
    vec4 ambient;
    vec4 specular;
    vec4 emissive;
    float power;
};
uniform FfpMaterial ffp_material;
uniform vec3 ffp_ambient;
)";

// Lights in camera space: position and direction transformed by the view matrix.
const char* const kLightDeclarations = R"(struct FfpLight {
    vec4 diffuse;
    vec4 specular;
    vec4 ambient;
    vec4 position;
    vec3 direction;
    float range;
    vec3 attenuation;
    float falloff;
    float cosHalfTheta;
    float cosHalfPhi;
};
uniform FfpLight ffp_light[$];
)";

// Point and spot lights reach as far as their range; distances holds (1, d, d squared).
const char* const kLightDistance = R"(    dir = $.position.xyz - eye.xyz;
    distances = vec3(1.0, length(dir), dot(dir, dir));
    if (distances.y <= $.range) {
)";

const char* const kPointAttenuation = R"(        att = 1.0 / dot(distances, $.attenuation);
        ambient += $.ambient.rgb * att;
)";

// Full inside the inner cone, nothing outside the outer one, falling off between.
const char* const kSpotAttenuation = R"(        dir = normalize(dir);
        t = dot(-dir, normalize($.direction));
        if (t > $.cosHalfTheta)
            att = 1.0;
        else if (t <= $.cosHalfPhi)
            att = 0.0;
        else
            att = pow((t - $.cosHalfPhi) / ($.cosHalfTheta - $.cosHalfPhi), $.falloff);
        att /= dot(distances, $.attenuation);
        ambient += $.ambient.rgb * att;
)";

const char* const kDirectionalLight = R"(    ambient += $.ambient.rgb;
    {
        att = 1.0;
        dir = normalize($.direction);
)";

// Diffuse and specular terms towards dir, the unit vector to the light. Specular takes Blinn's half
// vector between the light and the viewer: at the origin, or without a local viewer infinitely far
// down -z (camera space looks along +z).
const char* const kReflection = R"(        diffuse += clamp(dot(dir, normal), 0.0, 1.0) * $.diffuse.rgb * att;
        if (dot(dir, normal) > 0.0 && t > 0.0)
            specular += pow(t, ffp_material.power) * $.specular * att;
)";
const char* const kLocalViewer = "        t = dot(normal, normalize(dir - normalize(eye.xyz)));\n";
const char* const kDistantViewer = "        t = dot(normal, normalize(dir + vec3(0.0, 0.0, -1.0)));\n";

std::string lightTerms(const VertexSettings& settings, std::size_t index) {
    const std::string light = "ffp_light[" + std::to_string(index) + "]";
    const DWORD type = settings.lights[index];
    std::string text;
    if (type == d3d::D3DLIGHT_DIRECTIONAL) {
        if (!settings.normal) {
            return substituted("    ambient += $.ambient.rgb;\n", light);
        }
        text = substituted(kDirectionalLight, light);
    } else {
        text = substituted(kLightDistance, light) +
               substituted(type == d3d::D3DLIGHT_SPOT ? kSpotAttenuation : kPointAttenuation, light);
        if (settings.normal && type == d3d::D3DLIGHT_POINT) {
            text += "        dir = normalize(dir);\n";
        }
    }
    if (settings.normal) {
        text += (settings.localViewer ? kLocalViewer : kDistantViewer) + substituted(kReflection, light);
    }
    return text + "    }\n";
}

std::string vertexSource(const VertexSettings& settings) {
    std::string text = "#version 120\nattribute vec4 ffp_position;\n";
    if (settings.normal) {
        text += "attribute vec3 ffp_normal;\n";
    }
    if (settings.color0) {
        text += "attribute vec4 ffp_color0;\n";
    }
    if (settings.color1) {
        text += "attribute vec4 ffp_color1;\n";
    }
    for (int set = 0; set < kStages; ++set) {
        if (readsSet(settings, set)) {
            text += "attribute vec4 ffp_texcoord" + std::to_string(set) + ";\n";
        }
    }
    text += "uniform mat4 ffp_modelview;\nuniform mat4 ffp_projection;\n";
    std::string body = "void main() {\n"
                       "    vec4 eye = ffp_modelview * ffp_position;\n"
                       "    gl_Position = ffp_projection * eye;\n";
    if (settings.lighting) {
        text += kLightingDeclarations;
        if (!settings.lights.empty()) {
            text += substituted(kLightDeclarations, std::to_string(settings.lights.size()));
        }
        body += "    eye /= eye.w;\n";
        if (settings.normal) {
            body += "    vec3 normal = ffp_normal_matrix * ffp_normal;\n";
            body += settings.normalize ? "    normal = normalize(normal);\n" : "";
        }
        body +=
            "    vec3 ambient = ffp_ambient;\n    vec3 diffuse = vec3(0.0);\n    vec4 specular = vec4(0.0);\n"
            "    vec3 dir;\n    vec3 distances;\n    float att;\n    float t;\n";
        for (std::size_t i = 0; i < settings.lights.size(); ++i) {
            body += lightTerms(settings, i);
        }
        const std::string ambient = sourceValue(settings.sources[kAmbient], "ambient");
        const std::string diffuse = sourceValue(settings.sources[kDiffuse], "diffuse");
        const std::string specular = sourceValue(settings.sources[kSpecular], "specular");
        const std::string emissive = sourceValue(settings.sources[kEmissive], "emissive");
        body += "    gl_FrontColor = clamp(vec4(" + ambient + ".rgb * ambient + " + diffuse +
                ".rgb * diffuse + " + emissive + ".rgb, " + diffuse + ".a), 0.0, 1.0);\n";
        body += "    gl_FrontSecondaryColor = clamp(" + specular + " * specular, 0.0, 1.0);\n";
    } else {
        // Without vertex colours, diffuse is white and specular black.
        body += settings.color0 ? "    gl_FrontColor = clamp(ffp_color0, 0.0, 1.0);\n"
                                : "    gl_FrontColor = vec4(1.0);\n";
        body += settings.color1 ? "    gl_FrontSecondaryColor = clamp(ffp_color1, 0.0, 1.0);\n"
                                : "    gl_FrontSecondaryColor = vec4(0.0);\n";
    }
    // As Wine 8 does, a stage whose set the declaration lacks takes zero coordinates.
    for (std::size_t i = 0; i < settings.texCoordSets.size(); ++i) {
        const int set = settings.texCoordSets[i];
        const std::string value = set >= 0 ? "ffp_texcoord" + std::to_string(set) : "vec4(0.0)";
        body += "    gl_TexCoord[" + std::to_string(i) + "] = " + value + ";\n";
    }
    return text + body + "}\n";
}

// ---- Uniform values ----

struct Vector4 {
    float x, y, z, w;
};

// v (a row vector) times m.
Vector4 transformed(const Vector4& v, const d3d::D3DXMATRIX& m) {
    return {v.x * m(0, 0) + v.y * m(1, 0) + v.z * m(2, 0) + v.w * m(3, 0),
            v.x * m(0, 1) + v.y * m(1, 1) + v.z * m(2, 1) + v.w * m(3, 1),
            v.x * m(0, 2) + v.y * m(1, 2) + v.z * m(2, 2) + v.w * m(3, 2),
            v.x * m(0, 3) + v.y * m(1, 3) + v.z * m(2, 3) + v.w * m(3, 3)};
}

// A D3DCOLOR (A8R8G8B8) as RGBA.
Vector4 colourValue(d3d::D3DCOLOR c) {
    const auto channel = [c](int shift) { return static_cast<float>(c >> shift & 0xFF) / 255.0f; };
    return {channel(16), channel(8), channel(0), channel(24)};
}

// The inverse of m by Gauss-Jordan elimination; m itself when it has none, as Wine 8 keeps it.
d3d::D3DXMATRIX inverseOrSame(const d3d::D3DXMATRIX& m) {
    double rows[4][8] = {};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            rows[r][c] = m(r, c);
        }
        rows[r][4 + r] = 1.0;
    }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(rows[r][c]) > std::fabs(rows[pivot][c])) {
                pivot = r;
            }
        }
        if (rows[pivot][c] == 0.0) {
            return m;
        }
        std::swap(rows[c], rows[pivot]);
        const double scale = 1.0 / rows[c][c];
        for (double& value : rows[c]) {
            value *= scale;
        }
        for (int r = 0; r < 4; ++r) {
            const double factor = rows[r][c];
            if (r != c && factor != 0.0) {
                for (int k = 0; k < 8; ++k) {
                    rows[r][k] -= factor * rows[c][k];
                }
            }
        }
    }
    d3d::D3DXMATRIX inverse;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            inverse(r, c) = static_cast<float>(rows[r][4 + c]);
        }
    }
    return inverse;
}

// Sets uniforms of one program, skipping those it lacks.
class UniformWriter {
public:
    explicit UniformWriter(unsigned program) : m_program(program) {}

    void colour(const std::string& name, const d3d::D3DCOLORVALUE& c) const {
        vector(name, {c.r, c.g, c.b, c.a});
    }
    void colour(const std::string& name, d3d::D3DCOLOR c) const { vector(name, colourValue(c)); }
    void vector(const std::string& name, const Vector4& v) const {
        glUniform4f(location(name), v.x, v.y, v.z, v.w);
    }
    void vector3(const std::string& name, const Vector4& v) const {
        glUniform3f(location(name), v.x, v.y, v.z);
    }
    void number(const std::string& name, float value) const { glUniform1f(location(name), value); }
    // Rows of a row-vector matrix as GLSL's matrix for column vectors: the transpose.
    void matrix(const std::string& name, const d3d::D3DXMATRIX& m) const {
        glUniformMatrix4fv(location(name), 1, GL_FALSE, m);
    }
    void matrix3(const std::string& name, const float rowMajor[9]) const {
        glUniformMatrix3fv(location(name), 1, GL_TRUE, rowMajor);
    }

private:
    GLint location(const std::string& name) const { return glGetUniformLocation(m_program, name.c_str()); }

    unsigned m_program;
};

void setVertexUniforms(const UniformWriter& uniforms, const FixedFunctionState& state) {
    const d3d::D3DXMATRIX modelview = state.world * state.view;
    uniforms.matrix("ffp_modelview", modelview);
    uniforms.matrix("ffp_projection", state.projection);
    // A normal n becomes n x (the inverse of modelview, transposed): that is the inverse's upper 3 x
    // 3 rows, for a column vector.
    const d3d::D3DXMATRIX inverse = inverseOrSame(modelview);
    const float normalMatrix[9] = {inverse(0, 0), inverse(0, 1), inverse(0, 2), inverse(1, 0), inverse(1, 1),
                                   inverse(1, 2), inverse(2, 0), inverse(2, 1), inverse(2, 2)};
    uniforms.matrix3("ffp_normal_matrix", normalMatrix);

    const d3d::D3DMATERIAL9& material = state.material;
    uniforms.colour("ffp_material.diffuse", material.Diffuse);
    uniforms.colour("ffp_material.ambient", material.Ambient);
    // As in Wine 8, specular lighting off takes the material's specular colour as black.
    uniforms.colour("ffp_material.specular", state.specularEnable ? material.Specular : d3d::D3DCOLORVALUE{});
    uniforms.colour("ffp_material.emissive", material.Emissive);
    uniforms.number("ffp_material.power", material.Power);
    uniforms.vector3("ffp_ambient", colourValue(state.ambient));

    // The enabled lights fill the shader's in index order, in camera space.
    std::size_t slot = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kLights); ++i) {
        if (!state.lightEnabled[i]) {
            continue;
        }
        const d3d::D3DLIGHT9& light = state.lights[i];
        const std::string name = "ffp_light[" + std::to_string(slot++) + "].";
        uniforms.colour(name + "diffuse", light.Diffuse);
        uniforms.colour(name + "specular", light.Specular);
        uniforms.colour(name + "ambient", light.Ambient);
        uniforms.vector(
            name + "position",
            transformed({light.Position.x, light.Position.y, light.Position.z, 1.0f}, state.view));
        // A directional light's direction is the way to the light, the others' the way it shines.
        const float sign = light.Type == d3d::D3DLIGHT_DIRECTIONAL ? -1.0f : 1.0f;
        uniforms.vector3(name + "direction", transformed({sign * light.Direction.x, sign * light.Direction.y,
                                                          sign * light.Direction.z, 0.0f},
                                                         state.view));
        uniforms.number(name + "range", light.Range);
        uniforms.vector3(name + "attenuation",
                         {light.Attenuation0, light.Attenuation1, light.Attenuation2, 0.0f});
        uniforms.number(name + "falloff", light.Falloff);
        uniforms.number(name + "cosHalfTheta", std::cos(light.Theta / 2.0f));
        uniforms.number(name + "cosHalfPhi", std::cos(light.Phi / 2.0f));
    }
}

void setPixelUniforms(const UniformWriter& uniforms, const FixedFunctionState& state) {
    uniforms.colour("ffp_texture_factor", state.textureFactor);
    uniforms.vector("ffp_specular_enable",
                    state.specularEnable ? Vector4{1.0f, 1.0f, 1.0f, 0.0f} : Vector4{});
    for (std::size_t i = 0; i < static_cast<std::size_t>(kStages); ++i) {
        uniforms.colour("ffp_constant_" + std::to_string(i), state.stages[i].constant);
    }
}

} // namespace

GlslStage FixedFunctionShaders::vertexStage(const FixedFunctionState& state) {
    const VertexSettings settings = vertexSettings(state);
    GlslStage stage;
    stage.source = vertexSource(settings);
    stage.attributes.push_back({"ffp_position", 0, 0});
    if (settings.normal) {
        stage.attributes.push_back({"ffp_normal", 3, 0});
    }
    if (settings.color0) {
        stage.attributes.push_back({"ffp_color0", 10, 0});
    }
    if (settings.color1) {
        stage.attributes.push_back({"ffp_color1", 10, 1});
    }
    for (int set = 0; set < kStages; ++set) {
        if (readsSet(settings, set)) {
            stage.attributes.push_back({"ffp_texcoord" + std::to_string(set), 5, static_cast<unsigned>(set)});
        }
    }
    return stage;
}

GlslStage FixedFunctionShaders::pixelStage(const FixedFunctionState& state) {
    const std::vector<StageOps> ops = stageOps(state);
    GlslStage stage;
    stage.source = pixelSource(ops);
    for (std::size_t i = 0; i < ops.size(); ++i) {
        if (readsTexture(ops[i])) {
            stage.samplers.push_back({"ffp_sampler_" + std::to_string(i), static_cast<unsigned>(i)});
        }
    }
    return stage;
}

std::string FixedFunctionShaders::vertexKey(const FixedFunctionState& state) {
    const VertexSettings s = vertexSettings(state);
    std::string key = "vs" + std::to_string(s.lighting) + std::to_string(s.normal) +
                      std::to_string(s.normalize) + std::to_string(s.localViewer) + std::to_string(s.color0) +
                      std::to_string(s.color1) + " m";
    for (DWORD source : s.sources) {
        key += std::to_string(source);
    }
    key += " l";
    for (DWORD type : s.lights) {
        key += std::to_string(type);
    }
    key += " t";
    for (int set : s.texCoordSets) {
        key += set >= 0 ? std::to_string(set) : "-";
    }
    return key;
}

std::string FixedFunctionShaders::pixelKey(const FixedFunctionState& state) {
    std::string key = "ps";
    for (const StageOps& op : stageOps(state)) {
        key += " " + hexText(op.colorOp);
        for (DWORD arg : op.colorArgs) {
            key += "," + (arg == kArgUnused ? std::string("-") : hexText(arg));
        }
        key += "/" + hexText(op.alphaOp);
        for (DWORD arg : op.alphaArgs) {
            key += "," + (arg == kArgUnused ? std::string("-") : hexText(arg));
        }
        key += op.toTemp ? "t" : "c";
    }
    return key;
}

void FixedFunctionShaders::setUniforms(unsigned program, const FixedFunctionState& state) {
    const UniformWriter uniforms(program);
    setVertexUniforms(uniforms, state);
    setPixelUniforms(uniforms, state);
}
