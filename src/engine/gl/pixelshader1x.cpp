#include "engine/gl/pixelshader1x.h"

#include "main/hextext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::uint32_t kFirstVersion = 0xFFFF0101;
constexpr std::uint32_t kLastVersion = 0xFFFF0104;
constexpr std::uint32_t kEnd = 0x0000FFFF;
constexpr std::uint32_t kOpcodeMask = 0x0000FFFF;
constexpr std::uint32_t kComment = 0xFFFE;
constexpr std::uint32_t kCommentLengthShift = 16;
constexpr std::uint32_t kCommentLengthMask = 0x7FFF;
constexpr std::uint32_t kCoissue = 0x40000000;
constexpr std::uint32_t kPredicated = 0x10000000;
constexpr std::uint32_t kParameter = 0x80000000;
constexpr std::uint32_t kRelative = 0x00002000;

enum Opcode : std::uint32_t {
    kNop = 0x00,
    kMov = 0x01,
    kAdd = 0x02,
    kSub = 0x03,
    kMad = 0x04,
    kMul = 0x05,
    kDp3 = 0x08,
    kDp4 = 0x09,
    kLrp = 0x12,
    kTexcoord = 0x40, // texcrd in 1.4
    kTexkill = 0x41,
    kTex = 0x42, // texld in 1.4
    kTexbem = 0x43,
    kTexbeml = 0x44,
    kTexreg2ar = 0x45,
    kTexreg2gb = 0x46,
    kTexm3x2pad = 0x47,
    kTexm3x2tex = 0x48,
    kTexm3x3pad = 0x49,
    kTexm3x3tex = 0x4A,
    kTexm3x3spec = 0x4C,
    kTexm3x3vspec = 0x4D,
    kCnd = 0x50,
    kDef = 0x51,
    kTexreg2rgb = 0x52,
    kTexdp3tex = 0x53,
    kTexm3x2depth = 0x54,
    kTexdp3 = 0x55,
    kTexm3x3 = 0x56,
    kTexdepth = 0x57,
    kCmp = 0x58,
    kBem = 0x59,
    kPhase = 0xFFFD,
};

enum class Kind { Arithmetic, Texture, Matrix, Define, Refused };

// An instruction as a version offers it: the operands after the destination are sources (def's
// four are the constant's values).
struct OpcodeInfo {
    std::uint32_t opcode;
    const char* name;
    Kind kind;
    bool destination;
    unsigned sources;
    unsigned firstMinor;
    unsigned lastMinor;
};

constexpr OpcodeInfo kOpcodes[] = {
    {kNop, "nop", Kind::Arithmetic, false, 0, 1, 4},
    {kMov, "mov", Kind::Arithmetic, true, 1, 1, 4},
    {kAdd, "add", Kind::Arithmetic, true, 2, 1, 4},
    {kSub, "sub", Kind::Arithmetic, true, 2, 1, 4},
    {kMad, "mad", Kind::Arithmetic, true, 3, 1, 4},
    {kMul, "mul", Kind::Arithmetic, true, 2, 1, 4},
    {kDp3, "dp3", Kind::Arithmetic, true, 2, 1, 4},
    {kDp4, "dp4", Kind::Arithmetic, true, 2, 2, 4},
    {kLrp, "lrp", Kind::Arithmetic, true, 3, 1, 4},
    {kCnd, "cnd", Kind::Arithmetic, true, 3, 1, 4},
    {kCmp, "cmp", Kind::Arithmetic, true, 3, 2, 4},
    {kBem, "bem", Kind::Refused, true, 2, 4, 4},
    {kDef, "def", Kind::Define, true, 4, 1, 4},
    {kPhase, "phase", Kind::Arithmetic, false, 0, 4, 4},
    {kTexcoord, "texcoord", Kind::Texture, true, 0, 1, 3},
    {kTexcoord, "texcrd", Kind::Texture, true, 1, 4, 4},
    {kTex, "tex", Kind::Texture, true, 0, 1, 3},
    {kTex, "texld", Kind::Texture, true, 1, 4, 4},
    {kTexkill, "texkill", Kind::Texture, true, 0, 1, 4},
    {kTexdepth, "texdepth", Kind::Texture, true, 0, 4, 4},
    {kTexbem, "texbem", Kind::Refused, true, 1, 1, 3},
    {kTexbeml, "texbeml", Kind::Refused, true, 1, 1, 3},
    {kTexreg2ar, "texreg2ar", Kind::Texture, true, 1, 1, 3},
    {kTexreg2gb, "texreg2gb", Kind::Texture, true, 1, 1, 3},
    {kTexreg2rgb, "texreg2rgb", Kind::Texture, true, 1, 2, 3},
    {kTexdp3tex, "texdp3tex", Kind::Texture, true, 1, 2, 3},
    {kTexdp3, "texdp3", Kind::Texture, true, 1, 2, 3},
    {kTexm3x2pad, "texm3x2pad", Kind::Matrix, true, 1, 1, 3},
    {kTexm3x2tex, "texm3x2tex", Kind::Matrix, true, 1, 1, 3},
    {kTexm3x2depth, "texm3x2depth", Kind::Matrix, true, 1, 3, 3},
    {kTexm3x3pad, "texm3x3pad", Kind::Matrix, true, 1, 1, 3},
    {kTexm3x3tex, "texm3x3tex", Kind::Matrix, true, 1, 1, 3},
    {kTexm3x3, "texm3x3", Kind::Matrix, true, 1, 2, 3},
    {kTexm3x3spec, "texm3x3spec", Kind::Matrix, true, 2, 1, 3},
    {kTexm3x3vspec, "texm3x3vspec", Kind::Matrix, true, 1, 1, 3},
};

// Names of the instructions of other shader models, for the message that refuses them.
struct OpcodeName {
    std::uint32_t opcode;
    const char* name;
};

constexpr OpcodeName kOtherOpcodes[] = {
    {0x06, "rcp"},         {0x07, "rsq"},    {0x0A, "min"},    {0x0B, "max"},    {0x0C, "slt"},
    {0x0D, "sge"},         {0x0E, "exp"},    {0x0F, "log"},    {0x10, "lit"},    {0x11, "dst"},
    {0x13, "frc"},         {0x14, "m4x4"},   {0x15, "m4x3"},   {0x16, "m3x4"},   {0x17, "m3x3"},
    {0x18, "m3x2"},        {0x19, "call"},   {0x1A, "callnz"}, {0x1B, "loop"},   {0x1C, "ret"},
    {0x1D, "endloop"},     {0x1E, "label"},  {0x1F, "dcl"},    {0x20, "pow"},    {0x21, "crs"},
    {0x22, "sgn"},         {0x23, "abs"},    {0x24, "nrm"},    {0x25, "sincos"}, {0x26, "rep"},
    {0x27, "endrep"},      {0x28, "if"},     {0x29, "ifc"},    {0x2A, "else"},   {0x2B, "endif"},
    {0x2C, "break"},       {0x2D, "breakc"}, {0x2E, "mova"},   {0x2F, "defb"},   {0x30, "defi"},
    {0x4B, "texm3x3diff"}, {0x4E, "expp"},   {0x4F, "logp"},   {0x5A, "dp2add"}, {0x5B, "dsx"},
    {0x5C, "dsy"},         {0x5D, "texldd"}, {0x5E, "setp"},   {0x5F, "texldl"}, {0x60, "breakp"},
};

enum RegisterType : unsigned { kTemp = 0, kInput = 1, kConst = 2, kTexture = 3 };

enum SourceModifier : unsigned {
    kNoModifier = 0,
    kNegate = 1,
    kBias = 2,
    kBiasNegate = 3,
    kSign = 4, // _bx2
    kSignNegate = 5,
    kComplement = 6,
    kTimes2 = 7,
    kTimes2Negate = 8,
    kDivideZ = 9,
    kDivideW = 10,
};

constexpr unsigned kSaturate = 0x1;
constexpr unsigned kPartialPrecision = 0x2;
constexpr unsigned kFullMask = 0xF;
constexpr unsigned kAlphaMask = 0x8;
constexpr unsigned kIdentitySwizzle = 0xE4;
constexpr unsigned kConstants = 8;
constexpr unsigned kMostRegisters = 6; // r, t and texture stages of ps_1_4
constexpr unsigned kColours = 2;

struct Destination {
    unsigned type;
    unsigned index;
    unsigned mask;
    unsigned modifiers;
    unsigned shift;
};

struct Source {
    unsigned type;
    unsigned index;
    unsigned swizzle;
    unsigned modifier;
};

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A float as a GLSL literal that reads back as the same float.
std::string glslFloat(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string literal = text;
    if (literal.find_first_of(".e") == std::string::npos) {
        literal += ".0";
    }
    return literal;
}

std::string maskSuffix(unsigned mask) {
    if (mask == kFullMask) {
        return "";
    }
    std::string suffix = ".";
    for (unsigned i = 0; i < 4; ++i) {
        if ((mask >> i) & 1u) {
            suffix += "xyzw"[i];
        }
    }
    return suffix;
}

std::string swizzleSuffix(unsigned swizzle) {
    if (swizzle == kIdentitySwizzle) {
        return "";
    }
    std::string suffix = ".";
    for (unsigned i = 0; i < 4; ++i) {
        suffix += "xyzw"[(swizzle >> (2 * i)) & 3u];
    }
    return suffix;
}

// Reads the words and writes the GLSL body as it goes; the declarations follow from what the body
// used once the end word is reached.
class Translator {
public:
    Translator(const std::uint32_t* tokens, std::size_t count) : m_tokens(tokens), m_count(count) {}

    GlslStage run();

private:
    const OpcodeInfo& lookUp(std::uint32_t token);
    void comment();
    std::uint32_t parameter();
    Destination destination();
    Source source();
    void instruction(std::uint32_t token);
    void define();
    void arithmetic(std::uint32_t opcode, const Destination& d, const Source* s, bool coissue);
    void textureLoad(std::uint32_t opcode, const Destination& d, const Source* s);
    void textureMatrix(std::uint32_t opcode, const Destination& d, const Source* s);
    void coordinates(const Source& s, unsigned alsoAllowed);

    [[noreturn]] void fail(const std::string& what) const;
    std::string where() const;
    std::string registerName(unsigned type, unsigned index);
    std::string destinationName(const Destination& d);
    std::string expression(const Source& s);
    void loadSources(const Source* s, unsigned count);
    void assign(const Destination& d, const std::string& value);
    unsigned sampler(const Destination& d);
    void line(const std::string& text) { m_body += "    " + text + "\n"; }

    const std::uint32_t* m_tokens;
    std::size_t m_count;
    std::size_t m_position = 0;
    std::size_t m_start = 0;
    unsigned m_minor = 0;
    const OpcodeInfo* m_instruction = nullptr;
    std::string m_body;
    unsigned m_temps = 1; // r0 is the colour written, read or not
    unsigned m_texcoords = 0;
    unsigned m_colours = 0;
    unsigned m_constantsRead = 0;
    unsigned m_samplers = 0;
    unsigned m_scratch = 0;
    bool m_matrix = false;
    unsigned m_defined = 0;
    std::array<std::array<float, 4>, kConstants> m_definitions{};
    // Texture-matrix rows computed so far by texm3x2pad / texm3x3pad, and the rows' registers.
    std::uint32_t m_padOpcode = 0;
    unsigned m_padRows = 0;
    std::array<unsigned, 2> m_padRegisters{};
};

void Translator::fail(const std::string& what) const {
    throw Refusal(what);
}

std::string Translator::where() const {
    return std::string(m_instruction->name) + " (" + hexText(m_instruction->opcode, 2) + ") at word " +
           std::to_string(m_start);
}

GlslStage Translator::run() {
    if (m_count == 0) {
        fail("the shader has no version word");
    }
    const std::uint32_t version = m_tokens[0];
    if (version < kFirstVersion || version > kLastVersion) {
        fail("version word " + hexText(version, 8) + " is not a pixel shader of version 1.1 to 1.4");
    }
    m_minor = version & 0xFF;
    m_position = 1;
    for (;;) {
        if (m_position >= m_count) {
            fail("the shader ends without the end word " + hexText(kEnd, 8));
        }
        const std::uint32_t token = m_tokens[m_position];
        if (token == kEnd) {
            break;
        }
        if ((token & kOpcodeMask) == kComment) {
            comment();
        } else {
            instruction(token);
        }
    }
    if (m_padRows != 0) {
        fail("the shader ends inside a texture matrix (" + std::to_string(m_padRows) + " row(s) computed)");
    }

    GlslStage stage;
    std::string& s = stage.source;
    s = "#version 120\n";
    const unsigned uniforms = m_constantsRead & ~m_defined;
    if (uniforms != 0) {
        unsigned first = 0;
        unsigned last = kConstants - 1;
        while (((uniforms >> first) & 1u) == 0) {
            ++first;
        }
        while (((uniforms >> last) & 1u) == 0) {
            --last;
        }
        s += "uniform vec4 ps_c[" + std::to_string(last + 1) + "];\n";
        stage.constants.push_back({GlslStage::Registers::Float4, first, last - first + 1, "ps_c", first});
    }
    for (unsigned i = 0; i < kMostRegisters; ++i) {
        if ((m_samplers >> i) & 1u) {
            const std::string name = "ps_s" + std::to_string(i);
            s += "uniform sampler2D " + name + ";\n";
            stage.samplers.push_back({name, i});
        }
    }
    s += "\nvoid main() {\n";
    for (unsigned i = 0; i < kMostRegisters; ++i) {
        if ((m_temps >> i) & 1u) {
            s += "    vec4 r" + std::to_string(i) + " = vec4(0.0);\n";
        }
    }
    for (unsigned i = 0; i < kMostRegisters; ++i) {
        if ((m_texcoords >> i) & 1u) {
            s += "    vec4 t" + std::to_string(i) + " = gl_TexCoord[" + std::to_string(i) + "];\n";
        }
    }
    // Wine's vertex side clamps the colours it passes; a vertex stage here may not.
    if (m_colours & 1u) {
        s += "    vec4 v0 = clamp(gl_Color, 0.0, 1.0);\n";
    }
    if (m_colours & 2u) {
        s += "    vec4 v1 = clamp(gl_SecondaryColor, 0.0, 1.0);\n";
    }
    for (unsigned i = 0; i < kConstants; ++i) {
        if (((m_constantsRead >> i) & 1u) == 0) {
            continue;
        }
        const std::string name = "c" + std::to_string(i);
        if ((m_defined >> i) & 1u) {
            const std::array<float, 4>& v = m_definitions[i];
            s += "    const vec4 " + name + " = vec4(" + glslFloat(v[0]) + ", " + glslFloat(v[1]) + ", " +
                 glslFloat(v[2]) + ", " + glslFloat(v[3]) + ");\n";
        } else {
            s += "    vec4 " + name + " = clamp(ps_c[" + std::to_string(i) + "], -1.0, 1.0);\n";
        }
    }
    for (unsigned i = 0; i < m_scratch; ++i) {
        s += "    vec4 s" + std::to_string(i) + ";\n";
    }
    if (m_matrix) {
        s += "    vec3 m = vec3(0.0);\n";
    }
    s += m_body;
    s += "    gl_FragColor = r0;\n}\n";
    return stage;
}

void Translator::comment() {
    const std::uint32_t length = (m_tokens[m_position] >> kCommentLengthShift) & kCommentLengthMask;
    const std::size_t left = m_count - m_position - 1;
    if (length > left) {
        fail("the comment block at word " + std::to_string(m_position) + " claims " + std::to_string(length) +
             " words, " + std::to_string(left) + " follow");
    }
    m_position += 1 + length;
}

const OpcodeInfo& Translator::lookUp(std::uint32_t token) {
    const std::uint32_t opcode = token & kOpcodeMask;
    const char* name = nullptr;
    for (const OpcodeInfo& info : kOpcodes) {
        if (info.opcode == opcode) {
            if (m_minor >= info.firstMinor && m_minor <= info.lastMinor) {
                return info;
            }
            name = info.name;
        }
    }
    for (const OpcodeName& other : kOtherOpcodes) {
        if (other.opcode == opcode) {
            name = other.name;
        }
    }
    const std::string at = " at word " + std::to_string(m_position);
    if (name == nullptr) {
        fail("unknown opcode " + hexText(opcode, 4) + at);
    }
    fail(std::string(name) + " (" + hexText(opcode, 2) + ")" + at + " is not offered by ps_1_" +
         std::to_string(m_minor));
}

std::uint32_t Translator::parameter() {
    if (m_position >= m_count) {
        fail(where() + " is cut off by the end of the shader");
    }
    const std::uint32_t token = m_tokens[m_position];
    if ((token & kParameter) == 0) {
        fail(where() + " has " + hexText(token, 8) + " at word " + std::to_string(m_position) +
             " where a register is due");
    }
    if (token & kRelative) {
        fail(where() + " addresses a register relatively, which ps_1_x does not offer");
    }
    ++m_position;
    return token;
}

Destination Translator::destination() {
    const std::uint32_t token = parameter();
    Destination d{};
    d.type = ((token >> 28) & 0x7) | ((token >> 8) & 0x18);
    d.index = token & 0x7FF;
    d.mask = (token >> 16) & 0xF;
    d.modifiers = (token >> 20) & 0xF;
    d.shift = (token >> 24) & 0xF;
    if (d.modifiers & ~(kSaturate | kPartialPrecision)) {
        fail(where() + " has the result modifier " + hexText(d.modifiers, 1) +
             ", which ps_1_x does not offer");
    }
    if (d.shift >= 4 && d.shift <= 12) {
        fail(where() + " has the result shift " + hexText(d.shift, 1) + ", which ps_1_x does not offer");
    }
    if (d.mask == 0) {
        fail(where() + " writes no component");
    }
    return d;
}

Source Translator::source() {
    const std::uint32_t token = parameter();
    Source s{};
    s.type = ((token >> 28) & 0x7) | ((token >> 8) & 0x18);
    s.index = token & 0x7FF;
    s.swizzle = (token >> 16) & 0xFF;
    s.modifier = (token >> 24) & 0xF;
    if (s.modifier > kDivideW) {
        fail(where() + " has the source modifier " + hexText(s.modifier, 1) +
             ", which ps_1_x does not offer");
    }
    return s;
}

std::string Translator::registerName(unsigned type, unsigned index) {
    struct File {
        char letter;
        unsigned count;
        unsigned* used;
    };
    const bool early = m_minor < 4;
    const File files[] = {{'r', early ? 2u : kMostRegisters, &m_temps},
                          {'v', kColours, &m_colours},
                          {'c', kConstants, &m_constantsRead},
                          {'t', early ? 4u : kMostRegisters, &m_texcoords}};
    if (type > kTexture) {
        fail(where() + " uses register type " + std::to_string(type) + ", which ps_1_x does not offer");
    }
    const File& file = files[type];
    if (index >= file.count) {
        fail(where() + " uses " + file.letter + std::to_string(index) + "; ps_1_" + std::to_string(m_minor) +
             " has " + file.letter + "0 to " + file.letter + std::to_string(file.count - 1));
    }
    *file.used |= 1u << index;
    return file.letter + std::to_string(index);
}

std::string Translator::destinationName(const Destination& d) {
    if (d.type != kTemp && !(d.type == kTexture && m_minor < 4)) {
        fail(where() + " cannot write to register type " + std::to_string(d.type));
    }
    return registerName(d.type, d.index);
}

std::string Translator::expression(const Source& s) {
    const std::string r = registerName(s.type, s.index) + swizzleSuffix(s.swizzle);
    switch (s.modifier) {
    case kNoModifier:
        return r;
    case kNegate:
        return "-" + r;
    case kBias:
        return "(" + r + " - 0.5)";
    case kBiasNegate:
        return "-(" + r + " - 0.5)";
    case kSign:
        return "2.0 * (" + r + " - 0.5)";
    case kSignNegate:
        return "-2.0 * (" + r + " - 0.5)";
    case kComplement:
        return "(1.0 - " + r + ")";
    case kTimes2:
        return "2.0 * " + r;
    case kTimes2Negate:
        return "-2.0 * " + r;
    default:
        fail(where() + " divides a source by its z or w, which only texld and texcrd do");
    }
}

void Translator::loadSources(const Source* s, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        line("s" + std::to_string(i) + " = " + expression(s[i]) + ";");
    }
    m_scratch = std::max(m_scratch, count);
}

// The shift scales the result before _sat clamps it, as in Wine.
void Translator::assign(const Destination& d, const std::string& value) {
    static const char* const kShifts[16] = {"", "2.0 * ",   "4.0 * ",  "8.0 * ", "", "",
                                            "", "",         "",        "",       "", "",
                                            "", "0.125 * ", "0.25 * ", "0.5 * "};
    std::string result = value;
    if (d.shift != 0) {
        result = kShifts[d.shift] + ("(" + result + ")");
    }
    if (d.modifiers & kSaturate) {
        result = "clamp(" + result + ", 0.0, 1.0)";
    }
    const std::string mask = maskSuffix(d.mask);
    if (!mask.empty()) {
        const bool name = result.find_first_of(" (") == std::string::npos;
        result = (name ? result : "(" + result + ")") + mask;
    }
    line(destinationName(d) + mask + " = " + result + ";");
}

unsigned Translator::sampler(const Destination& d) {
    const unsigned wanted = m_minor < 4 ? kTexture : kTemp;
    if (d.type != wanted) {
        fail(where() + " writes register type " + std::to_string(d.type) + " instead of the " +
             (m_minor < 4 ? "t" : "r") + " register named after the stage it samples");
    }
    registerName(d.type, d.index);
    m_samplers |= 1u << d.index;
    return d.index;
}

void Translator::instruction(std::uint32_t token) {
    m_start = m_position;
    m_instruction = &lookUp(token);
    ++m_position;
    if (token & kPredicated) {
        fail(where() + " is predicated, which ps_1_x does not offer");
    }
    switch (m_instruction->kind) {
    case Kind::Refused:
        fail(where() + " is not supported: it needs the bump-environment matrix of a texture stage, "
                       "which the device does not pass to shaders");
    case Kind::Define:
        define();
        return;
    default:
        break;
    }
    Destination d{};
    if (m_instruction->destination) {
        d = destination();
    }
    Source s[3] = {};
    for (unsigned i = 0; i < m_instruction->sources; ++i) {
        s[i] = source();
    }
    const std::uint32_t opcode = m_instruction->opcode;
    if (m_instruction->kind == Kind::Matrix) {
        textureMatrix(opcode, d, s);
    } else if (m_instruction->kind == Kind::Texture) {
        textureLoad(opcode, d, s);
    } else {
        arithmetic(opcode, d, s, (token & kCoissue) != 0);
    }
}

// Wine clamps a ps_1_x shader's own constants to [-1, 1] when it creates the shader.
void Translator::define() {
    const Destination d = destination();
    if (d.type != kConst || d.index >= kConstants) {
        fail(where() + " defines a register other than c0 to c7");
    }
    if (m_count - m_position < 4) {
        fail(where() + " is cut off by the end of the shader");
    }
    if ((m_defined >> d.index) & 1u) {
        fail(where() + " defines c" + std::to_string(d.index) + " a second time");
    }
    std::array<float, 4>& values = m_definitions[d.index];
    for (float& value : values) {
        const std::uint32_t bits = m_tokens[m_position++];
        std::memcpy(&value, &bits, sizeof value);
        value = std::isnan(value) ? 0.0f : std::min(1.0f, std::max(-1.0f, value));
    }
    m_defined |= 1u << d.index;
}

void Translator::arithmetic(std::uint32_t opcode, const Destination& d, const Source* s, bool coissue) {
    const unsigned sources = m_instruction->sources;
    if (opcode == kNop || opcode == kPhase) {
        return; // Wine runs a 1.4 shader's two phases as one: nothing is lost at the phase.
    }
    loadSources(s, sources);
    std::string value;
    switch (opcode) {
    case kMov:
        value = "s0";
        break;
    case kAdd:
        value = "s0 + s1";
        break;
    case kSub:
        value = "s0 - s1";
        break;
    case kMul:
        value = "s0 * s1";
        break;
    case kMad:
        value = "s0 * s1 + s2";
        break;
    case kDp3:
        value = "vec4(dot(s0.xyz, s1.xyz))";
        break;
    case kDp4:
        value = "vec4(dot(s0, s1))";
        break;
    case kLrp:
        value = "mix(s2, s1, s0)";
        break;
    case kCnd:
        // Before 1.4 the condition is one component (r0.a); a co-issued cnd writing colour picks
        // its first source whatever the condition, as Wine renders it.
        if (m_minor < 4) {
            value = coissue && d.mask != kAlphaMask ? "s1" : "(s0.x > 0.5 ? s1 : s2)";
            break;
        }
        [[fallthrough]];
    case kCmp: {
        const std::string test = opcode == kCnd ? " > 0.5" : " >= 0.0";
        value = "vec4(";
        for (unsigned i = 0; i < 4; ++i) {
            const char c = "xyzw"[i];
            value += std::string(i ? ", " : "") + "s0." + c + test + " ? s1." + c + " : s2." + c;
        }
        value += ")";
        break;
    }
    default:
        fail(where() + " is not supported");
    }
    assign(d, value);
}

void Translator::textureLoad(std::uint32_t opcode, const Destination& d, const Source* s) {
    const std::string index = std::to_string(d.index);
    switch (opcode) {
    case kTexkill:
        // Only x, y and z are tested in 1.x, whatever the mask.
        if (d.type != kTemp && d.type != kTexture) {
            fail(where() + " tests register type " + std::to_string(d.type));
        }
        line("if (any(lessThan(" + registerName(d.type, d.index) + ".xyz, vec3(0.0)))) discard;");
        return;
    case kTexdepth: {
        const std::string r = destinationName(d);
        line("gl_FragDepth = clamp(" + r + ".x / min(" + r + ".y, 1.0), 0.0, 1.0);");
        return;
    }
    case kTexcoord:
        if (m_minor >= 4) {
            coordinates(s[0], kTexture);
            assign(d, s[0].modifier == kDivideZ   ? "s0 / s0.z"
                      : s[0].modifier == kDivideW ? "s0 / s0.w"
                                                  : "s0");
            return;
        }
        if (d.type != kTexture) {
            fail(where() + " writes register type " + std::to_string(d.type) + " instead of a t register");
        }
        assign(d, "clamp(gl_TexCoord[" + index + "], 0.0, 1.0)");
        return;
    case kTexdp3:
        if (d.type != kTexture) {
            fail(where() + " writes register type " + std::to_string(d.type) + " instead of a t register");
        }
        loadSources(s, 1);
        assign(d, "vec4(dot(t" + index + ".xyz, s0.xyz))");
        return;
    default:
        break;
    }

    const std::string unit = "ps_s" + std::to_string(sampler(d));
    switch (opcode) {
    case kTex:
        if (m_minor < 4) {
            assign(d, "texture2D(" + unit + ", t" + index + ".xy)");
        } else {
            coordinates(s[0], kTemp);
            assign(d, s[0].modifier == kDivideZ   ? "texture2DProj(" + unit + ", s0.xyz)"
                      : s[0].modifier == kDivideW ? "texture2DProj(" + unit + ", s0.xyw)"
                                                  : "texture2D(" + unit + ", s0.xy)");
        }
        return;
    case kTexreg2ar:
        assign(d, "texture2D(" + unit + ", " + registerName(s[0].type, s[0].index) + ".wx)");
        return;
    case kTexreg2gb:
        assign(d, "texture2D(" + unit + ", " + registerName(s[0].type, s[0].index) + ".yz)");
        return;
    case kTexreg2rgb:
        loadSources(s, 1);
        assign(d, "texture2D(" + unit + ", s0.xy)");
        return;
    case kTexdp3tex:
        loadSources(s, 1);
        assign(d, "texture2D(" + unit + ", vec2(dot(gl_TexCoord[" + index + "].xyz, s0.xyz), 0.0))");
        return;
    default:
        fail(where() + " is not supported");
    }
}

// The coordinates of texld and texcrd (1.4) into s0, swizzled; their _dz and _dw are left to the
// caller. texcrd reads a t register, texld a t register or (in the second phase) an r register.
void Translator::coordinates(const Source& s, unsigned alsoAllowed) {
    if (s.type != kTexture && s.type != alsoAllowed) {
        fail(where() + " reads its coordinates from register type " + std::to_string(s.type));
    }
    if (s.modifier != kNoModifier && s.modifier != kDivideZ && s.modifier != kDivideW) {
        fail(where() + " has the source modifier " + hexText(s.modifier, 1) + "; it offers only _dz and _dw");
    }
    line("s0 = " + registerName(s.type, s.index) + swizzleSuffix(s.swizzle) + ";");
    m_scratch = std::max(m_scratch, 1u);
}

// texm3x2pad and texm3x3pad compute the first rows of a matrix product into m; the instruction
// that follows them computes the last row and uses the product.
void Translator::textureMatrix(std::uint32_t opcode, const Destination& d, const Source* s) {
    m_matrix = true;
    const bool threeRows = opcode == kTexm3x3pad || opcode == kTexm3x3tex || opcode == kTexm3x3 ||
                           opcode == kTexm3x3spec || opcode == kTexm3x3vspec;
    const unsigned padOpcode = threeRows ? kTexm3x3pad : kTexm3x2pad;
    const unsigned rows = threeRows ? 3 : 2;
    if (d.type != kTexture) {
        fail(where() + " writes register type " + std::to_string(d.type) + " instead of a t register");
    }
    const std::string t = registerName(d.type, d.index);
    if (m_padRows != 0 && m_padOpcode != padOpcode) {
        fail(where() + " interrupts a texture matrix begun with " +
             (threeRows ? "texm3x2pad" : "texm3x3pad"));
    }
    const bool pad = opcode == padOpcode;
    const std::string pads = threeRows ? " texm3x3pad" : " texm3x2pad";
    if (pad && m_padRows == rows - 1) {
        fail(where() + " follows " + std::to_string(m_padRows) + pads + " already");
    }
    if (!pad && m_padRows != rows - 1) {
        fail(where() + " follows " + std::to_string(m_padRows) + " instead of " + std::to_string(rows - 1) +
             pads);
    }
    loadSources(s, opcode == kTexm3x3spec ? 2 : 1);
    line(std::string("m.") + "xyz"[m_padRows] + " = dot(" + t + ".xyz, s0.xyz);");
    if (pad) {
        m_padOpcode = padOpcode;
        m_padRegisters[m_padRows++] = d.index;
        return;
    }
    m_padRows = 0;
    const std::string sample = "texture2D(ps_s" + std::to_string(d.index) + ", m.xy)";
    switch (opcode) {
    case kTexm3x2tex:
    case kTexm3x3tex:
        sampler(d);
        assign(d, sample);
        return;
    case kTexm3x2depth:
        line("gl_FragDepth = m.y == 0.0 ? 1.0 : clamp(m.x / m.y, 0.0, 1.0);");
        return;
    case kTexm3x3:
        assign(d, "vec4(m, 1.0)");
        return;
    case kTexm3x3spec:
        line("m = -reflect(s1.xyz, normalize(m));");
        sampler(d);
        assign(d, sample);
        return;
    case kTexm3x3vspec:
        // The eye vector is the w of the three rows' texture coordinates.
        line("m = -reflect(normalize(vec3(gl_TexCoord[" + std::to_string(m_padRegisters[0]) +
             "].w, gl_TexCoord[" + std::to_string(m_padRegisters[1]) + "].w, gl_TexCoord[" +
             std::to_string(d.index) + "].w)), normalize(m));");
        sampler(d);
        assign(d, sample);
        return;
    default:
        fail(where() + " is not supported");
    }
}

} // namespace

bool PixelShader1x::translate(const std::uint32_t* tokens, std::size_t count, GlslStage& stage,
                              std::string& error) {
    if (tokens == nullptr && count != 0) {
        error = "no bytecode given";
        return false;
    }
    try {
        stage = Translator(tokens, count).run();
        return true;
    } catch (const Refusal& refusal) {
        error = refusal.what();
        return false;
    }
}
