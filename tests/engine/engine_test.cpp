#include "main/d3dexception.h"
#include "support/renderfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <sstream>

using namespace d3d;

namespace {

// The calls logged from the last BeginScene on (or all of them), one space between them.
std::string logged(const FakeGraphics& fake) {
    const std::vector<std::string>& calls = fake.calls();
    auto from = std::find(calls.rbegin(), calls.rend(), "BeginScene()");
    std::string log;
    for (auto it = from == calls.rend() ? calls.begin() : std::prev(from.base()); it != calls.end(); ++it) {
        log += (log.empty() ? "" : " ") + *it;
    }
    return log;
}

D3DXMATRIX translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

// The message of the D3DException action raises, which must come from the engine.
std::string engineError(const std::function<void()>& action) {
    try {
        action();
    } catch (const D3DException& e) {
        EXPECT_EQ(e.getFile().rfind("engine/", 0), 0u) << e.getFile();
        return e.getMessage();
    }
    return "no error";
}

// Each named float array set on e, as "NAME:X,Y,Z,W", one space between them.
std::string floatArrays(const FakeEffectValues& e, std::initializer_list<const char*> names) {
    std::ostringstream out;
    for (const char* name : names) {
        out << (out.tellp() > 0 ? " " : "") << name;
        for (std::size_t i = 0; i < e[name].array.size(); ++i) {
            out << (i == 0 ? ":" : ",") << e[name].array[i];
        }
    }
    return out.str();
}

} // namespace

TEST(Engine, CreatesTheDeviceWithTheHighestMultisamplingOfferedAndTheFixedState) {
    struct Case {
        int maxSamples;
        DWORD qualityLevels, devCaps;
        const char* createDevice;
    };
    for (const Case& c : {Case{4, 3, D3DDEVCAPS_HWTRANSFORMANDLIGHT, "CreateDevice(0,1,64,4,2)"},
                          Case{16, 0, D3DDEVCAPS_HWTRANSFORMANDLIGHT, "CreateDevice(0,1,64,16,0)"},
                          Case{0, 1, 0, "CreateDevice(0,1,32,0,0)"}}) {
        RenderFixture f;
        f.fake.setMultiSampleSupport(c.maxSamples, c.qualityLevels);
        f.fake.setDevCaps(c.devCaps);
        auto engine = f.engine();
        std::string expected = "Direct3DCreate9(32) GetAdapterDisplayMode(0)";
        for (int samples = 16; samples >= std::max(c.maxSamples, 2); --samples) {
            expected += " CheckDeviceMultiSampleType(0,1,22,1," + std::to_string(samples) + ")";
        }
        EXPECT_EQ(logged(f.fake), expected + " GetDeviceCaps(0,1) " + c.createDevice +
                                      " CreateVertexDeclaration(0:0:2:0:0:0;0:12:2:0:3:0;0:24:1:0:5:0) "
                                      "SetVertexDeclaration(#3) SetRenderState(7,1) SetRenderState(137,0) "
                                      "SetRenderState(22,3) SetRenderState(8,3)");
        const D3DPRESENT_PARAMETERS& p = f.fake.lastPresentParameters();
        EXPECT_EQ(std::make_tuple(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat,
                                  p.BackBufferCount, p.SwapEffect, p.Windowed, p.EnableAutoDepthStencil,
                                  p.AutoDepthStencilFormat, p.PresentationInterval),
                  std::make_tuple(0u, 0u, D3DFMT_UNKNOWN, 1u, D3DSWAPEFFECT_DISCARD, 1, 1, D3DFMT_D24S8, 0u));
    }
}

TEST(Engine, FailedConstructionRaisesAndReleasesWhatItMade) {
    for (const char* call : {"Direct3DCreate9", "GetAdapterDisplayMode", "CheckDeviceMultiSampleType",
                             "GetDeviceCaps", "CreateDevice", "CreateVertexDeclaration"}) {
        RenderFixture f;
        f.fake.failCall(call, D3DERR_INVALIDCALL);
        // Direct3DCreate9 gives no result code.
        EXPECT_EQ(engineError([&] { f.engine(); }),
                  call[0] == 'D' ? "The function completed successfully" : "Invalid call")
            << call;
        EXPECT_EQ(f.fake.liveObjects(), 0) << call;
        // A device that exists but is unusable is not tried again with other settings.
        EXPECT_LE(f.fake.callsStartingWith("CreateDevice").size(), 1u);
    }
}

TEST(Engine, TeardownReleasesDeclarationDeviceAndDirect3DThenTheBuffers) {
    RenderFixture f;
    f.addEffect("E.FXO", "pass\n");
    ASSERT_TRUE(f.show({triangleMesh("m", "e.fx")}).render());
    // #1 Direct3D, #2 the device, #3 the declaration, #4 and #5 the mesh's vertex and index buffers.
    const std::size_t before = f.fake.finalReleases().size();
    f.shown.reset();
    EXPECT_EQ(std::vector<std::string>(f.fake.finalReleases().begin() + static_cast<std::ptrdiff_t>(before),
                                       f.fake.finalReleases().end()),
              (std::vector<std::string>{"#3", "#2", "#1", "#5", "#4"}));
}

TEST(Engine, EmptyFrameClearsToBlackAndLostDevicesDrawNothing) {
    RenderFixture f;
    auto engine = f.engine();
    f.fake.clearCalls();
    EXPECT_TRUE(engine->render());
    EXPECT_EQ(logged(f.fake), "BeginScene() EndScene() Present()");
    EXPECT_EQ(f.fake.calls().at(1), "Clear(0,7,0,1,0)");
    f.fake.clearCalls();
    f.fake.setCooperativeLevel(D3DERR_DEVICELOST);
    EXPECT_TRUE(engine->render());
    f.fake.setCooperativeLevel(D3DERR_DEVICENOTRESET);
    EXPECT_FALSE(engine->render());
    EXPECT_EQ(logged(f.fake), "TestCooperativeLevel() TestCooperativeLevel()");
}

TEST(Engine, DrawsEachVisibleMeshWithOneIndexedDrawPerPass) {
    RenderFixture f;
    const std::string description = "pass\npass\nparam WorldViewProj WORLDVIEWPROJECTION\n";
    f.addEffect("E.FXO", description);
    Engine& engine = f.show({triangleMesh("Hidden", "E.fx"), triangleMesh("Shown", "e.FX")});
    engine.setMeshVisible(0, false);
    engine.setMeshVisible(2, false); // past the list: ignored
    ASSERT_TRUE(engine.render());
    EXPECT_EQ(
        logged(f.fake),
        "BeginScene() CreateVertexBuffer(432,0,0,0) Lock(#4,0,0,8192) Unlock(#4) SetStreamSource(0,#4,0,144) "
        "CreateIndexBuffer(6,0,101,0) Lock(#5,0,0,8192) Unlock(#5) SetIndices(#5) D3DXCreateEffect(#2," +
            std::to_string(description.size()) +
            ",0) GetTechnique(#6,0) SetTechnique(#6,technique0) GetParameter(#6,null,0) "
            "IsParameterUsed(#6,WorldViewProj,technique0) GetParameterDesc(#6,WorldViewProj) "
            "SetMatrix(#6,WorldViewProj) GetParameter(#6,null,1) Begin(#6,0) BeginPass(#6,0) "
            "CommitChanges(#6) DrawIndexedPrimitive(4,0,0,3,0,1) EndPass(#6) BeginPass(#6,1) "
            "CommitChanges(#6) DrawIndexedPrimitive(4,0,0,3,0,1) EndPass(#6) End(#6) EndScene() Present()");
    EXPECT_EQ(f.fake.bufferBytes(4), AloWriter::vertexBytes(triangleMesh("", "").vertices));
    EXPECT_EQ(f.fake.bufferBytes(5), AloWriter::indexBytes({0, 1, 2}));
    // The second frame reuses the buffers and the cached effect.
    ASSERT_TRUE(engine.render());
    EXPECT_EQ(
        logged(f.fake).rfind("BeginScene() SetStreamSource(0,#4,0,144) SetIndices(#5) GetTechnique(#6,0)", 0),
        0u);
}

TEST(Engine, OffersEachInstanceTheSceneValuesAndTheMaterialsValuesWin) {
    RenderFixture f;
    f.addEffect("E.FXO",
                "param W WORLD\nparam V VIEW\nparam P PROJECTION\nparam WV WORLDVIEW\n"
                "param WVP WORLDVIEWPROJECTION\nparam VP VIEWPROJECTION\nparam L DIR_LIGHT_VEC_0\n"
                "param LO DIR_LIGHT_OBJ_VEC_0\nparam LD DIR_LIGHT_DIFFUSE_0\nparam LS DIR_LIGHT_SPECULAR_0\n"
                "param SC LIGHT_SCALE\nparam E EYE_POSITION\nparam EO EYE_OBJ_POSITION\nparam T TIME\n"
                "param Lower world\nparam Unused WORLD unused\nparam Diffuse DIR_LIGHT_DIFFUSE_0\n"
                "param NoSemantic -\n");
    AloMesh mesh = triangleMesh("m", "e.fx");
    mesh.parameters = {AloParameter::float4Value("Diffuse", 0.25f, 0.5f, 0.75f, 1),
                       AloParameter::floatValue("Unused", 3), AloParameter::floatValue("Absent", 1)};
    // Two instances share the cached effect; each draw commits its own instance's matrices.
    const D3DXMATRIX worlds[] = {translation(10, 20, 30), translation(-40, 0, 7)};
    f.show({mesh}, worlds[0]);
    Engine& engine = f.show({mesh}, worlds[1]);
    ASSERT_TRUE(engine.render());
    const FakeEffectValues& e = f.fake.effect(6);
    const D3DXMATRIX view = Camera().viewMatrix();
    const D3DXMATRIX projection = Camera::projectionMatrix(800, 600);
    ASSERT_EQ(e.commits.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(e.commits[i].at("W").matrix, worlds[i]);
        EXPECT_EQ(e.commits[i].at("WV").matrix, worlds[i] * view);
        EXPECT_EQ(e.commits[i].at("WVP").matrix, (worlds[i] * view) * projection);
    }
    EXPECT_EQ(std::make_tuple(e["V"].matrix, e["P"].matrix, e["VP"].matrix),
              std::make_tuple(view, projection, view * projection));
    EXPECT_EQ(
        floatArrays(e, {"L", "LO", "LD", "LS", "SC", "E", "EO", "Diffuse"}),
        "L:-1,0,-1,1 LO:500,0,500,1 LD:0.6,0.6,0.6,1 LS:0,0,0,0 SC:1,1,1,1 E:-500,-500,500,1 EO:0,0,0,1 "
        "Diffuse:0.25,0.5,0.75,1");
    EXPECT_TRUE(e.wasSet("T"));
    EXPECT_EQ(e["T"].number, 0.0f);
    // Semantics are matched exactly; unused parameters get no scene value but the material's.
    EXPECT_FALSE(e.wasSet("Lower") || e.wasSet("NoSemantic"));
    EXPECT_EQ(e["Unused"].number, 3.0f);
    // The eye values follow the camera: the eye, and the target point.
    Camera moved;
    moved.eye = {0, -100, 0};
    moved.target = {5, 5, 5};
    engine.setCamera(moved);
    ASSERT_TRUE(engine.render());
    EXPECT_EQ(e["V"].matrix, moved.viewMatrix());
    EXPECT_EQ(floatArrays(e, {"E", "EO"}), "E:0,-100,0,1 EO:5,5,5,1");
}

TEST(Engine, TexturesAreHeldForTheDrawAndAResetMakesTheBuffersAgainWithTheProjectionOfTheNewSize) {
    RenderFixture f;
    f.addEffect("E.FXO", "param BaseTexture -\nparam GlossTexture -\nparam P PROJECTION\n");
    f.addTexture("HULL.DDS");
    AloMesh mesh = triangleMesh("m", "E.fx");
    mesh.parameters = {AloParameter::textureName("BaseTexture", "hull.tga"),
                       AloParameter::textureName("GlossTexture", "missing.tga")};
    Engine& engine = f.show({mesh});
    // Effect and texture ids: #6 and #7, then five objects more after each reset.
    for (const auto& [width, height, projection, effect] :
         {std::make_tuple(0, 0, Camera::projectionMatrix(800, 600), 6),
          std::make_tuple(0, 600, Camera::projectionMatrix(800, 600), 11),
          std::make_tuple(400, 400, Camera::projectionMatrix(1, 1), 16)}) {
        if (effect > 6) {
            // Between frames only the caches hold the effect and the texture; a reset lets go of
            // the buffers first.
            const int cached = f.fake.liveObjects();
            f.textures->clear();
            f.shaders->clear();
            EXPECT_EQ(f.fake.liveObjects(), cached - 2);
            f.fake.clearCalls();
            engine.reset(nullptr, width, height);
            EXPECT_EQ(f.fake.calls().front(), "Reset(0,0,1,1)");
        }
        ASSERT_TRUE(engine.render());
        EXPECT_EQ(f.fake.effect(effect)["BaseTexture"].texture, effect + 1);
        EXPECT_FALSE(f.fake.effect(effect).wasSet("GlossTexture"));
        EXPECT_EQ(f.fake.effect(effect)["P"].matrix, projection);
    }
    // A refused reset raises.
    f.fake.failCall("Reset", D3DERR_DEVICELOST, 1);
    EXPECT_EQ(engineError([&] { engine.reset(nullptr, 10, 10); }), "Device lost");
}

TEST(Engine, MeshesWithoutGeometryMaterialOrEffectDrawNothing) {
    RenderFixture f;
    f.addEffect("E.FXO", "pass\n");
    AloMesh bare = triangleMesh("bare", "");
    bare.hasMaterial = false;
    AloMesh none = triangleMesh("none", "e.fx");
    none.hasGeometry = false;
    AloMesh empty = triangleMesh("empty", "e.fx");
    empty.vertices.clear();
    empty.indices.clear();
    Engine& engine = f.show({bare, triangleMesh("missing effect", "Nowhere.fx"), none, empty});
    ASSERT_TRUE(engine.render());
    // Those with geometry bind their buffers; those without never have any.
    EXPECT_EQ(f.fake.callsStartingWith("CreateVertexBuffer").size(), 2u);
    EXPECT_EQ(f.fake.callsStartingWith("SetIndices").size(), 2u);
    EXPECT_TRUE(f.fake.callsStartingWith("DrawIndexedPrimitive").empty());
    // The missing effect is searched for again on the next frame.
    f.addEffect("NOWHERE.FXO", "pass\n");
    ASSERT_TRUE(engine.render());
    EXPECT_EQ(f.fake.callsStartingWith("DrawIndexedPrimitive").size(), 1u);
}

TEST(Engine, FailedBufferCreationRaisesAndKeepsNoBuffer) {
    RenderFixture f;
    f.addEffect("E.FXO", "pass\n");
    Engine& engine = f.show({triangleMesh("m", "e.fx")});
    f.fake.failCall("CreateIndexBuffer", kResultOutOfMemory, 1);
    EXPECT_EQ(engineError([&] { engine.render(); }), "Ran out of memory");
    // The vertex buffer made just before went with it.
    EXPECT_EQ(f.fake.liveObjects(), 3);
    f.fake.failCall("CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY, 1);
    EXPECT_EQ(engineError([&] { engine.render(); }), "Out of video memory");
    EXPECT_EQ(f.fake.liveObjects(), 3);
    EXPECT_TRUE(engine.render());
    engine.clearMeshes();
    engine.clearMeshes();
    EXPECT_EQ(engine.getMeshCount(), 0u);
    EXPECT_EQ(f.fake.liveObjects(), 4); // Direct3D, device, declaration and the cached effect
    // A failed frame is left begun, as the program ends on it; the frames after it begin again.
    f.allowMisuse = true;
    for (const std::string& error : f.fake.errors()) {
        EXPECT_NE(error.find("BeginScene"), std::string::npos) << error;
    }
}
