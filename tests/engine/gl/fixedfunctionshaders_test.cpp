// The fixed-function stages drawn on Mesa: a quad whose vertices all carry the same colours, normal
// and texture coordinates, so that its centre pixel shows what the lighting of one vertex and the
// texture stages make of them. Expected colours are worked out by hand from Direct3D's formulas.

#include "engine/gl/eglsurface.h"
#include "engine/gl/fixedfunctionshaders.h"
#include "engine/gl/opengl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using d3d::DWORD;

namespace {

using S = FixedFunctionState;
using TS = FixedFunctionState::TextureStage;
using Change = std::function<void(S&)>;

// Texture arguments (D3DTA_*) and selections (D3DTOP_SELECTARG1, 2); the cases name other
// operations by their values.
constexpr DWORD kDiffuse = 0, kCurrent = 1, kTexture = 2, kFactor = 3, kSpecular = 4, kTemp = 5;
constexpr DWORD kConstant = 6, kComplement = 0x10, kReplicate = 0x20, kSelect1 = 2, kSelect2 = 3;

// Vertex colours 0 and 1 and the 1 x 1 textures of stages 0 and 1, RGBA.
constexpr float kColours[2][4] = {{64 / 255.0f, 128 / 255.0f, 192 / 255.0f, 128 / 255.0f},
                                  {128 / 255.0f, 64 / 255.0f, 0, 1}};
constexpr std::uint8_t kTexels[2][4] = {{255, 128, 0, 64}, {32, 64, 96, 255}};

template <typename T, typename V>
Change set(T S::*member, V value) {
    return [=](S& s) { s.*member = static_cast<T>(value); };
}

template <typename T, typename V>
Change stage(std::size_t i, T TS::*member, V value) {
    return [=](S& s) { s.stages[i].*member = static_cast<T>(value); };
}

Change all(const std::vector<Change>& changes) {
    return [=](S& s) {
        std::for_each(changes.begin(), changes.end(), [&](const Change& change) { change(s); });
    };
}

// Stage i doing op on colour and alpha alike.
Change same(DWORD op, DWORD arg1, DWORD arg2, DWORD arg0 = kCurrent, std::size_t i = 0) {
    return [=](S& s) {
        TS& t = s.stages[i];
        t.colorOp = t.alphaOp = op;
        t.colorArg1 = t.alphaArg1 = arg1;
        t.colorArg2 = t.alphaArg2 = arg2;
        t.colorArg0 = t.alphaArg0 = arg0;
    };
}

struct DrawCase {
    const char* name;
    Change change;
    std::array<int, 4> expected;
};

class FixedFunctionShadersTest : public ::testing::Test {
protected:
    FixedFunctionShadersTest() {
        m_surface.makeCurrent();
        glGenTextures(2, m_textures);
        for (GLuint i = 0; i < 2; ++i) {
            glActiveTexture(GL_TEXTURE0 + i);
            glBindTexture(GL_TEXTURE_2D, m_textures[i]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, kTexels[i]);
        }
    }
    ~FixedFunctionShadersTest() override {
        glDisableVertexAttribArray(0);
        glUseProgram(0);
        glDeleteTextures(2, m_textures);
        glFinish();
    }

    // Draws each case's change of base on a quad of the given half size at z 0.5, whose vertices
    // face the viewer; its centre pixel within 1 of the colour expected.
    void expectDrawn(const S& base, const std::vector<DrawCase>& cases, float half = 1.0f) {
        const float quad[] = {-half, -half, 0.5f, half, -half, 0.5f, -half, half, 0.5f, half, half, 0.5f};
        const float normal[] = {0, 0, -1, 1}, coords[] = {0.5f, 0.5f, 0, 1};
        glBindFramebuffer(GL_FRAMEBUFFER, m_surface.framebuffer());
        glViewport(0, 0, 4, 4);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, quad);
        for (const DrawCase& c : cases) {
            S state = base;
            c.change(state);
            const GlslStage vertex = FixedFunctionShaders::vertexStage(state);
            const GlslStage pixel = FixedFunctionShaders::pixelStage(state);
            const GLuint program = glCreateProgram();
            for (const auto& [type, stage] :
                 {std::pair(GL_VERTEX_SHADER, &vertex), std::pair(GL_FRAGMENT_SHADER, &pixel)}) {
                const GLuint shader = glCreateShader(type);
                const char* text = stage->source.c_str();
                glShaderSource(shader, 1, &text, nullptr);
                glCompileShader(shader);
                glAttachShader(program, shader);
                glDeleteShader(shader);
            }
            for (GLuint i = 0; i < vertex.attributes.size(); ++i) {
                const GlslStage::Attribute& a = vertex.attributes[i];
                glBindAttribLocation(program, i, a.name.c_str());
                glVertexAttrib4fv(i, a.usage == 3 ? normal : a.usage == 10 ? kColours[a.usageIndex] : coords);
            }
            glLinkProgram(program);
            glUseProgram(program);
            for (const GlslStage::Sampler& s : pixel.samplers) {
                glUniform1i(glGetUniformLocation(program, s.uniform.c_str()), static_cast<GLint>(s.stage));
            }
            FixedFunctionShaders::setUniforms(program, state);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << c.name;
            glClear(GL_COLOR_BUFFER_BIT);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            glDeleteProgram(program);
            const std::vector<std::uint8_t> pixels = m_surface.readPixels();
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_NEAR(pixels[40 + i], c.expected[i], 1) << c.name << ", channel " << i;
            }
        }
    }

    EglSurface m_surface{4, 4};
    GLuint m_textures[2] = {};
};

TEST_F(FixedFunctionShadersTest, DrawsTextureOperationsAndChainsStages) {
    const std::vector<DrawCase> cases = {
        {"SELECTARG2 of a complement", same(3, 0, kDiffuse | kComplement), {191, 127, 63, 127}},
        {"MODULATE", same(4, kTexture, kDiffuse), {64, 64, 0, 32}},
        {"MODULATE of alpha replicated", same(4, kTexture | kReplicate, kDiffuse), {16, 32, 48, 32}},
        {"MODULATE2X", same(5, kTexture, kDiffuse), {128, 128, 0, 64}},
        {"MODULATE4X", same(6, kTexture, kDiffuse), {255, 255, 0, 128}},
        {"ADD", same(7, kTexture, kDiffuse), {255, 255, 192, 192}},
        {"ADDSIGNED", same(8, kTexture, kDiffuse), {191, 128, 64, 64}},
        {"ADDSIGNED2X", same(9, kTexture, kDiffuse), {255, 255, 129, 129}},
        {"SUBTRACT", same(10, kTexture, kDiffuse), {191, 0, 0, 0}},
        {"ADDSMOOTH", same(11, kTexture, kDiffuse), {255, 192, 192, 160}},
        {"BLENDDIFFUSEALPHA", same(12, kTexture, kFactor), {255, 96, 0, 96}},
        {"BLENDTEXTUREALPHA", same(13, kDiffuse, kFactor), {207, 80, 48, 128}},
        {"BLENDFACTORALPHA", same(14, kTexture, kDiffuse), {160, 128, 96, 96}},
        {"BLENDTEXTUREALPHAPM", same(15, kFactor, kDiffuse), {255, 160, 144, 224}},
        {"PREMODULATE, left as it was", same(17, kTexture, kDiffuse), {64, 128, 192, 128}},
        {"MODULATEALPHA_ADDCOLOR", same(18, kTexture, kDiffuse), {255, 160, 48, 96}},
        {"MODULATECOLOR_ADDALPHA", same(19, kTexture, kDiffuse), {128, 128, 64, 96}},
        {"MODULATEINVALPHA_ADDCOLOR", same(20, kTexture, kDiffuse), {255, 224, 144, 160}},
        {"MODULATEINVCOLOR_ADDALPHA", same(21, kTexture, kDiffuse), {64, 128, 255, 160}},
        {"DOTPRODUCT3, into alpha too",
         all({same(24, kTexture, kConstant | kComplement), stage(0, &TS::alphaOp, 2)}),
         {192, 192, 192, 192}},
        {"MULTIPLYADD", same(25, kTexture, kDiffuse, kFactor), {255, 128, 0, 160}},
        {"LERP", same(26, kTexture, kFactor, kConstant), {255, 80, 0, 112}},
        {"SELECTARG1 of specular", same(2, kSpecular, 0), {128, 64, 0, 255}},
        {"MODULATE of the constant", same(4, kConstant, kDiffuse), {8, 32, 96, 32}},
        {"no texture: current passes on", stage(0, &TS::textured, false), {64, 128, 192, 128}},
        {"alpha disabled: diffuse's", stage(0, &TS::alphaOp, 1), {64, 64, 0, 128}},
        {"stage 1's texture",
         all({same(4, kTexture, kCurrent, 0, 1), stage(1, &TS::textured, true)}),
         {8, 16, 0, 64}},
        {"into temp",
         all({stage(0, &TS::resultArg, kTemp), same(4, kTemp, kCurrent, 0, 1)}),
         {16, 32, 0, 32}},
        {"specular", all({same(kSelect1, kDiffuse, 0), set(&S::specularEnable, true)}), {192, 192, 192, 128}},
    };
    // Texture (255, 128, 0, 64), diffuse (64, 128, 192, 128), specular (128, 64, 0, 255), factor
    // (255, 64, 0, 128), constant (32, 64, 128, 64).
    S base;
    base.lighting = false;
    base.hasColor0 = base.hasColor1 = base.stages[0].textured = true;
    base.textureFactor = 0x80FF4000;
    base.stages[0].constant = 0x40204080;
    expectDrawn(base, cases);
}

// Light 0, 2 away from the quad and shining towards +z unless given a direction; spot lights with
// half angles whose cosines are 0.99500 and 0.87758, falloff 2.
Change light(d3d::D3DLIGHTTYPE type, d3d::D3DVECTOR direction = {0, 0, 1}, float range = 10,
             float quadratic = 0, float ambient = 0) {
    const d3d::D3DCOLORVALUE white = {1, 1, 1, 1}, grey = {0.5f, 0.5f, 0.5f, 1},
                             glow = {ambient, ambient, ambient, 1};
    const d3d::D3DVECTOR position = {0, 0, -1.5f};
    const d3d::D3DLIGHT9 l = {type, white, grey, glow,      position, direction, range,
                              2,    1,     0,    quadratic, 0.2f,     1.0f};
    return [l](S& s) { s.lights[0] = l; };
}

TEST_F(FixedFunctionShadersTest, LightsOneVertex) {
    using d3d::D3DLIGHT_DIRECTIONAL, d3d::D3DLIGHT_POINT, d3d::D3DLIGHT_SPOT;
    // A light at 60 degrees from the normal; a spot's direction at cos 0.93629 from the quad, halfway
    // between its half angles' cosines.
    const d3d::D3DVECTOR sixtyDegrees = {0.8660254f, 0, 0.5f};
    const d3d::D3DVECTOR halfwayInCone = {0.3512125f, 0, 0.9362935f};
    // A world twice the size (its normals half as long, not normalised), seen turned by 60 degrees
    // about y and moved to keep the quad in place: the light falls at 60 degrees.
    const d3d::D3DXMATRIX twice(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1);
    const d3d::D3DXMATRIX turn(0.5f, 0, -0.8660254f, 0, 0, 1, 0, 0, 0.8660254f, 0, 0.5f, 0, -0.8660254f, 0, 0,
                               1);
    const std::vector<DrawCase> cases = {
        {"directional, head on", light(D3DLIGHT_DIRECTIONAL), {153, 179, 230, 128}},
        {"directional at 60 degrees", light(D3DLIGHT_DIRECTIONAL, sixtyDegrees), {102, 102, 128, 128}},
        {"point, attenuated, with ambient", light(D3DLIGHT_POINT, {}, 10, 0.25f, 0.2f), {115, 115, 140, 128}},
        {"point out of range", light(D3DLIGHT_POINT, {}, 1.9f), {51, 26, 26, 128}},
        {"spot, halfway out, falloff 2", light(D3DLIGHT_SPOT, halfwayInCone), {77, 64, 77, 128}},
        {"diffuse from vertex colour 0", set(&S::hasColor0, true), {115, 154, 218, 128}},
        {"ambient, colour 1",
         all({set(&S::hasColor1, 1), set(&S::ambientMaterialSource, 2)}),
         {153, 166, 204, 128}},
        {"no normal: ambient and emissive", set(&S::hasNormal, false), {51, 26, 26, 128}},
        {"camera space", all({set(&S::world, twice), set(&S::view, turn)}), {102, 102, 128, 128}},
        {"unlit without vertex colours: white", set(&S::lighting, false), {255, 255, 255, 255}},
        {"specular, head on", set(&S::specularEnable, true), {179, 204, 255, 128}},
        {"specular at 60 degrees, distant viewer down -z",
         all({set(&S::specularEnable, true), set(&S::localViewer, false),
              light(D3DLIGHT_DIRECTIONAL, sixtyDegrees)}),
         {121, 121, 147, 128}},
    };
    S base;
    light(D3DLIGHT_DIRECTIONAL)(base);
    base.hasNormal = base.lightEnabled[0] = true;
    base.ambient = 0x00333333;
    base.material = {
        {0.4f, 0.6f, 0.8f, 0.5f}, {0.5f, 0.5f, 0.5f, 1}, {0.2f, 0.2f, 0.2f, 1}, {0.1f, 0, 0, 0}, 2};
    // A quad so small that its vertices are lit alike, magnified to fill the surface.
    base.projection = {512, 0, 0, 0, 0, 512, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    expectDrawn(base, cases, 1.0f / 512);
}

TEST(FixedFunctionShaders, KeysDifferExactlyWhenSourcesDo) {
    const std::tuple<const char*, Change, bool, bool> cases[] = {
        {"transform", set(&S::world, d3d::D3DXMATRIX()), false, false},
        {"colour", set(&S::textureFactor, 7), false, false},
        {"light values", light(d3d::D3DLIGHT_DIRECTIONAL, {1, 0, 0}, 5), false, false},
        {"specular enable", set(&S::specularEnable, true), false, false},
        {"an unread argument", stage(0, &TS::colorArg0, kFactor), false, false},
        {"ADD in a stage after a disabled one", stage(2, &TS::colorOp, 7), false, false},
        {"colours with COLORVERTEX off", all({set(&S::hasColor0, 1), set(&S::colorVertex, 0)}), false, false},
        {"the same argument as argument 2", same(kSelect2, 0, kTexture), false, false},
        {"light type", light(d3d::D3DLIGHT_POINT), true, false},
        {"a second light", [](S& s) { s.lightEnabled[5] = true; }, true, false},
        {"normalised normals", set(&S::normalizeNormals, true), true, false},
        {"texture coordinate set", stage(1, &TS::texCoordIndex, 0), true, false},
        {"result into temp", stage(0, &TS::resultArg, kTemp), false, true},
        {"texture unbound", stage(0, &TS::textured, false), false, true},
    };
    for (const auto& [name, change, vertexDiffers, pixelDiffers] : cases) {
        S base;
        all({set(&S::hasNormal, true), set(&S::texCoords, 2), light(d3d::D3DLIGHT_DIRECTIONAL),
             set(&S::lightEnabled, std::array<bool, 8>{true}), same(kSelect1, kTexture, 0),
             stage(0, &TS::textured, true)})(base);
        base.lights[5] = base.lights[0];
        S changed = base;
        change(changed);
        using F = FixedFunctionShaders;
        EXPECT_EQ(F::vertexKey(base) != F::vertexKey(changed), vertexDiffers) << name;
        EXPECT_EQ(F::vertexStage(base).source != F::vertexStage(changed).source, vertexDiffers) << name;
        EXPECT_EQ(F::pixelKey(base) != F::pixelKey(changed), pixelDiffers) << name;
        EXPECT_EQ(F::pixelStage(base).source != F::pixelStage(changed).source, pixelDiffers) << name;
    }
}

TEST(FixedFunctionShaders, RefusesBumpMappingAndUnknownLights) {
    S state;
    same(0x16, kTexture, kDiffuse)(state);
    EXPECT_THROW(FixedFunctionShaders::pixelStage(state), std::runtime_error);
    state.lightEnabled[2] = true;
    EXPECT_THROW(FixedFunctionShaders::vertexStage(state), std::runtime_error);
}

} // namespace
