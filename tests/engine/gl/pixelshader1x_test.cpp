#include "engine/gl/eglsurface.h"
#include "engine/gl/opengl.h"
#include "engine/gl/pixelshader1x.h"
#include "writers/shaderassembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Vec4 = std::array<float, 4>;

// Texture coordinates of the four texels of every stage's 2 x 2 texture.
constexpr Vec4 kA{0.25f, 0.25f, 0, 1};
constexpr Vec4 kB{0.75f, 0.25f, 0, 1};
constexpr Vec4 kClear{0.2f, 0.4f, 0.6f, 0.8f};

// Texels A, B (first row), C, D of the textures of stages 0 to 5, in steps of 0.2.
constexpr float kTexels[6][4][4] = {
    {{.8f, .4f, .2f, 1}, {0, 1, 0, .6f}, {.2f, .2f, 1, .4f}, {1, 1, 1, 0}},
    {{.6f, .8f, 1, .2f}, {1, 0, 0, 1}, {.4f, .6f, .2f, .8f}, {0, 0, 0, 1}},
    {{.2f, .4f, .6f, .8f}, {1, 0, 1, 1}, {0, 1, 1, .2f}, {.6f, .6f, .6f, .6f}},
    {{1, .8f, .6f, .4f}, {.4f, .2f, 0, 1}, {.8f, .8f, .2f, .2f}, {.2f, 0, .4f, .6f}},
    {{.4f, .4f, .8f, 1}, {.4f, .4f, .8f, 1}, {.4f, .4f, .8f, 1}, {.4f, .4f, .8f, 1}},
    {{1, 1, 0, .2f}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
};

// A shader drawn over the whole target and the colour Direct3D's rules give at a pixel ("clear" when
// it discards). The vertex stage passes v0, v1, t0 .. t5, the same at every vertex; inputs and
// uploaded constants read "v0=1,.5,.5,.6 t0=A c1=2,-3,.5,.25" (A and B: coordinates of texels).
struct DrawCase {
    const char* name;
    const char* shader; // MojoShader's assembly with ';' between lines, or the words in hex
    const char* values;
    const char* expected;
};

Vec4 vec4(const std::string& text) {
    Vec4 v = text == "A" ? kA : text == "B" ? kB : text == "clear" ? kClear : Vec4{};
    std::sscanf(text.c_str(), "%f,%f,%f,%f", &v[0], &v[1], &v[2], &v[3]);
    return v;
}

std::vector<std::uint32_t> bytecode(std::string shader) {
    std::vector<std::uint32_t> words;
    if (shader.rfind("ps_", 0) != 0) {
        std::istringstream hex(shader);
        for (std::uint32_t word = 0; hex >> std::hex >> word;) {
            words.push_back(word);
        }
        return words;
    }
    std::replace(shader.begin(), shader.end(), ';', '\n');
    std::vector<ShaderAssembler::Constant> table{
        {"c", ShaderAssembler::RegisterSet::Float4, 0, 8, 1, 3, 1, 4}};
    for (std::uint32_t i = 0; i < 6; ++i) {
        table.push_back({"s" + std::to_string(i), ShaderAssembler::RegisterSet::Sampler, i, 1, 4, 12, 1, 1});
    }
    const std::string bytes = ShaderAssembler::assemble(shader, ShaderAssembler::Stage::Pixel, table);
    words.resize(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

class PixelShader1xDraw : public ::testing::TestWithParam<DrawCase> {
protected:
    static void SetUpTestSuite() {
        s_surface = std::make_unique<EglSurface>(4, 4);
        glClampColor(GL_CLAMP_VERTEX_COLOR, GL_FALSE); // the stage clamps v0 and v1 itself
        for (GLuint stage = 0; stage < 6; ++stage) {
            std::array<std::uint8_t, 16> bytes{};
            for (std::size_t i = 0; i < 16; ++i) {
                bytes[i] = static_cast<std::uint8_t>(std::lround(kTexels[stage][i / 4][i % 4] * 255));
            }
            GLuint texture = 0;
            glGenTextures(1, &texture);
            glActiveTexture(GL_TEXTURE0 + stage);
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    static void TearDownTestSuite() { s_surface.reset(); }

    static GLuint compile(GLenum type, const std::string& source) {
        const GLuint shader = glCreateShader(type);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        return shader;
    }

    static std::unique_ptr<EglSurface> s_surface;
};

std::unique_ptr<EglSurface> PixelShader1xDraw::s_surface;

const char* const kVertexStage = R"(#version 120
uniform vec4 inputs[8];
void main() {
    gl_Position = gl_Vertex;
    gl_FrontColor = inputs[0];
    gl_FrontSecondaryColor = inputs[1];
    gl_TexCoord[0] = inputs[2]; gl_TexCoord[1] = inputs[3]; gl_TexCoord[2] = inputs[4];
    gl_TexCoord[3] = inputs[5]; gl_TexCoord[4] = inputs[6]; gl_TexCoord[5] = inputs[7];
}
)";

TEST_P(PixelShader1xDraw, DrawsWhatDirect3DComputes) {
    const DrawCase& c = GetParam();
    const std::vector<std::uint32_t> words = bytecode(c.shader);
    GlslStage stage;
    std::string error;
    ASSERT_TRUE(PixelShader1x::translate(words.data(), words.size(), stage, error)) << error;
    SCOPED_TRACE(stage.source);

    const GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, kVertexStage));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, stage.source));
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    std::array<char, 4096> log{};
    glGetProgramInfoLog(program, log.size(), nullptr, log.data());
    ASSERT_TRUE(linked) << log.data();
    glUseProgram(program);

    std::array<Vec4, 8> inputs{};
    std::istringstream values(c.values);
    for (std::string item; values >> item;) {
        const Vec4 value = vec4(item.substr(3));
        const unsigned index = static_cast<unsigned>(item[1] - '0');
        if (item[0] != 'c') {
            inputs[(item[0] == 't' ? 2 : 0) + index] = value;
        }
        for (const GlslStage::Constants& run : stage.constants) {
            if (item[0] == 'c' && index >= run.firstRegister && index - run.firstRegister < run.count) {
                const std::string element =
                    "ps_c[" + std::to_string(run.firstElement + index - run.firstRegister) + "]";
                glUniform4fv(glGetUniformLocation(program, element.c_str()), 1, value.data());
            }
        }
    }
    glUniform4fv(glGetUniformLocation(program, "inputs"), 8, inputs[0].data());
    for (const GlslStage::Sampler& sampler : stage.samplers) {
        glUniform1i(glGetUniformLocation(program, sampler.uniform.c_str()),
                    static_cast<GLint>(sampler.stage));
    }

    glBindFramebuffer(GL_FRAMEBUFFER, s_surface->framebuffer());
    glViewport(0, 0, 4, 4);
    glClearColor(kClear[0], kClear[1], kClear[2], kClear[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(-1, 1);
    glVertex2f(1, 1);
    glEnd();
    glUseProgram(0);
    glDeleteProgram(program);

    const std::vector<std::uint8_t> pixels = s_surface->readPixels();
    const Vec4 expected = vec4(c.expected);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(pixels[(4 + 1) * 4 + i], std::lround(expected[i] * 255), 1) << "component " << i;
    }
}

const DrawCase kDrawCases[] = {
    {"TexModulatesDiffuse", "ps_1_1; tex t0; mul r0, t0, v0", "v0=1,.5,.5,.6 t0=A", ".8,.2,.1,.6"},
    {"Dot3BumpWithCoissuedAlpha",
     "ps_1_1; tex t0; tex t1; dp3_sat r0.rgb, t0_bx2, v0_bx2; +mul r0.a, t1.a, v1.a",
     "v0=1,.2,.6,0 v1=0,0,0,.4 t0=A t1=B", ".6,.6,.6,.4"},
    {"SaturateClampsBeforeLaterInstructions", "ps_1_1; tex t0; dp3_sat r1, t0_bx2, v0_bx2; mul r0, r1, c0",
     "v0=1,1,1,1 t0=.75,.75,0,1 c0=.2,.2,.2,.2", ".2,.2,.2,.2"},
    {"ComplementBiasAndHalvedResult", "ps_1_1; def c0, 0.25, 0.5, 0.75, 1; mad_d2 r0, 1-v0, c0, -v1_bias",
     "v0=.2,.4,.6,.8 v1=0,.2,.4,.6", ".35,.3,.2,.05"},
    {"QuadrupledResult", "ps_1_1; mul_x4 r0, v0, v1", "v0=.5,.25,.1,.2 v1=.4,.8,.5,.5", ".8,.8,.2,.4"},
    {"NegatedBx2DoubledResult", "ps_1_1; mov_x2 r0, -v0_bx2", "v0=.4,.3,.5,.45", ".4,.8,0,.2"},
    {"ColourInputsClamp", "ps_1_1; mov_d2 r0, v0", "v0=1.6,-.4,.5,1", ".5,0,.25,.5"},
    {"UploadedConstantsClamp", "ps_1_1; mad r0, c1, v1, v0", "v0=0,1,.2,.1 v1=.25,.25,1,1 c1=2,-3,.5,.25",
     ".25,.75,.7,.35"},
    {"DefinedConstantsClampBesideUploaded", "ps_1_1; def c2, 4, -2, 0.5, 0; mad r0, c2, c3, v0",
     "v0=0,1,.2,.1 c2=.1,.1,.1,.1 c3=.25,.25,1,1", ".25,.75,.7,.1"},
    {"Lrp", "ps_1_1; tex t0; tex t1; lrp r0, v0, t0, t1", "v0=.5,.25,1,0 t0=A t1=A", ".7,.7,.2,.2"},
    {"CndTakesSecondAboveHalf", "ps_1_1; mov r0, v0; cnd r0, r0.a, v1, c0",
     "v0=0,0,0,.6 v1=1,0,.4,.2 c0=0,.6,.8,1", "1,0,.4,.2"},
    {"CndTakesThirdAtHalf", "ps_1_1; def c1, 0, 0, 0, 0.5; mov r0, c1; cnd r0, r0.a, v1, c0",
     "v1=1,0,.4,.2 c0=0,.6,.8,1", "0,.6,.8,1"},
    {"CoissuedCndOnColourTakesSecond",
     "ps_1_1; def c1, 0, 0, 0, 0.25; mov r0.a, c1.a; +cnd r0.rgb, r0.a, v1, c0", "v1=1,0,.4,.2 c0=0,.6,.8,1",
     "1,0,.4,.25"},
    // texcoord t0; mad r0, t0, v0, v1
    {"TexcoordClamps", "FFFF0101 40 B00F0000 04 800F0000 B0E40000 90E40000 90E40001 FFFF",
     "v0=.5,1,1,1 v1=0,.5,0,0 t0=1.5,-.5,.25,.75", ".5,.5,.25,.75"},
    {"TexkillDiscardsOnNegativeXyz", "ps_1_1; texkill t0; mov r0, v0", "v0=1,1,1,1 t0=.5,-.1,.5,1", "clear"},
    {"TexkillIgnoresW", "ps_1_1; texkill t0; mov r0, v0", "v0=1,1,1,1 t0=.5,.5,.5,-1", "1,1,1,1"},
    {"Texreg2arReadsAlphaAndRed", "ps_1_1; tex t0; texreg2ar t1, t0; mov r0, t1", "t0=B", "1,0,0,1"},
    {"Texm3x2tex", "ps_1_1; tex t0; texm3x2pad t1, t0_bx2; texm3x2tex t2, t0_bx2; mov r0, t2",
     "t0=A t1=1.25,0,0,1 t2=0,-1.25,0,1", "1,0,1,1"},
    // ps_1_2: tex t0; texm3x3pad t1, t0_bx2; texm3x3pad t2, t0_bx2; texm3x3 t3, t0_bx2; mov r0, t3
    {"Texm3x3",
     "FFFF0102 42 B00F0000 49 B00F0001 B4E40000 49 B00F0002 B4E40000 56 B00F0003 B4E40000 01 800F0000 "
     "B0E40003 FFFF",
     "t0=A t1=.5,0,0,1 t2=0,-2,0,1 t3=0,0,-1,1", ".3,.4,.6,1"},
    {"DependentReadAfterPhase",
     "ps_1_4; texld r0, t0; texcrd r1.rgb, t1; phase; texld r3, r1; mul r0, r0, r3", "t0=A t1=B",
     ".32,.08,0,1"},
    {"TexldDividesByZTexcrdByW",
     "ps_1_4; texld r2, t2_dz.xyz; texcrd r1.rgb, t1_dw.xyw; mov r0.rgb, r1; mov r0.a, r2.g",
     "t1=.2,.4,.9,.5 t2=1.5,.5,2,4", ".4,.8,1,0"},
    {"CmpPerComponent", "ps_1_4; texcrd r1.rgb, t1; cmp r0.rgb, r1, c0, c1; mov r0.a, c1.a",
     "t1=-.5,0,.5,1 c0=.2,.4,.6,.8 c1=1,0,0,0", "1,.4,.6,0"},
    {"CndPerComponentIn14", "ps_1_4; def c2, 0.6, 0.5, 0.4, 0; cnd r0.rgb, c2, c0, c1; mov r0.a, c0.a",
     "c0=.2,.4,.6,.8 c1=1,.6,.2,0", ".2,.6,.2,.8"},
    {"StagesFourAndFive", "ps_1_4; texld r4, t4; texld r5, t5; mul r0, r4, r5", "t4=B t5=A", ".4,.4,0,.2"},
};

INSTANTIATE_TEST_SUITE_P(Shaders, PixelShader1xDraw, ::testing::ValuesIn(kDrawCases),
                         [](const ::testing::TestParamInfo<DrawCase>& shader) { return shader.param.name; });

TEST(PixelShader1x, RefusesMalformedAndUnofferedCode) {
    const struct {
        std::vector<std::uint32_t> words;
        const char* error;
    } cases[] = {
        {{}, "the shader has no version word"},
        {{0xFFFF0200, 0xFFFF}, "version word 0xFFFF0200 is not a pixel shader of version 1.1 to 1.4"},
        {{0xFFFF0101, 0x01, 0x800F0000, 0x90E40000}, "ends without the end word 0x0000FFFF"},
        {{0xFFFF0101, 0x01, 0x800F0000}, "mov (0x01) at word 1 is cut off"},
        {{0xFFFF0101, 0x51, 0xA00F0000, 0x3F800000}, "def (0x51) at word 1 is cut off"},
        {{0xFFFF0101, 0x0010FFFE, 0, 0xFFFF}, "comment block at word 1 claims 16 words, 2 follow"},
        {{0xFFFF0101, 0x77, 0xFFFF}, "unknown opcode 0x0077 at word 1"},
        {{0xFFFF0101, 0x06, 0x800F0000, 0x90E40000, 0xFFFF}, "rcp (0x06) at word 1 is not offered by ps_1_1"},
        {{0xFFFF0101, 0xFFFD, 0xFFFF}, "phase (0xFFFD) at word 1 is not offered by ps_1_1"},
        {{0xFFFF0101, 0x43, 0xB00F0001, 0xB0E40000, 0xFFFF}, "texbem (0x43) at word 1 is not supported"},
        {{0xFFFF0101, 0x01, 0x800F0002, 0x90E40000, 0xFFFF}, "uses r2; ps_1_1 has r0 to r1"},
        {{0xFFFF0104, 0x01, 0x800F0000, 0xA0E40008, 0xFFFF}, "uses c8; ps_1_4 has c0 to c7"},
        {{0xFFFF0101, 0x01, 0x800F0000, 0x00E40000, 0xFFFF},
         "has 0x00E40000 at word 3 where a register is due"},
        {{0xFFFF0101, 0x01, 0x800F0000, 0xA0E42000, 0xFFFF}, "addresses a register relatively"},
        {{0xFFFF0101, 0x01, 0x900F0000, 0x80E40000, 0xFFFF}, "cannot write to register type 1"},
        {{0xFFFF0104, 0x01, 0x800F0000, 0xB9E40000, 0xFFFF}, "only texld and texcrd do"},
        {{0xFFFF0101, 0x01, 0x840F0000, 0x90E40000, 0xFFFF}, "result shift 0x4"},
        {{0xFFFF0101, 0x48, 0xB00F0001, 0xB0E40000, 0xFFFF},
         "texm3x2tex (0x48) at word 1 follows 0 instead of 1"},
        {{0xFFFF0101, 0x47, 0xB00F0001, 0xB0E40000, 0x47, 0xB00F0002, 0xB0E40000, 0xFFFF},
         "follows 1 texm3x2pad already"},
    };
    for (const auto& c : cases) {
        GlslStage stage;
        std::string error;
        EXPECT_FALSE(PixelShader1x::translate(c.words.data(), c.words.size(), stage, error)) << c.error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

} // namespace
