#include "main/d3dexception.h"
#include "support/renderfixture.h"

#include <gtest/gtest.h>

using namespace d3d;

namespace {

// The calls between BeginScene and EndScene of the last frame.
std::vector<std::string> frameCalls(const FakeGraphics& fake) {
    const auto& calls = fake.calls();
    std::vector<std::string> frame;
    bool inside = false;
    for (const std::string& call : calls) {
        if (call == "EndScene()") {
            inside = false;
        }
        if (inside) {
            frame.push_back(call);
        }
        if (call == "BeginScene()") {
            inside = true;
            frame.clear();
        }
    }
    return frame;
}

// The effect of the last pass begun.
FakeEffect& lastEffect(FakeGraphics& fake) {
    const std::vector<std::string> begins = fake.callsStartingWith("Begin(#");
    return fake.effect(std::stoi(begins.back().substr(7)));
}

D3DXMATRIX translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

std::string engineError(const std::function<void()>& action) {
    try {
        action();
    } catch (const D3DException& e) {
        EXPECT_EQ(e.getFile().rfind("engine/", 0), 0u) << e.getFile();
        return e.getMessage();
    }
    return "no error";
}

} // namespace

TEST(Engine, CreatesTheDeviceWithTheHighestMultisamplingAndTheFixedState) {
    RenderFixture f;
    f.fake.setMultiSampleSupport(4, 3);
    auto engine = f.engine();
    const std::vector<std::string> expected = {
        "Direct3DCreate9(32)",
        "GetAdapterDisplayMode(0)",
        "CheckDeviceMultiSampleType(0,1,22,1,16)",
        "CheckDeviceMultiSampleType(0,1,22,1,15)",
        "CheckDeviceMultiSampleType(0,1,22,1,14)",
        "CheckDeviceMultiSampleType(0,1,22,1,13)",
        "CheckDeviceMultiSampleType(0,1,22,1,12)",
        "CheckDeviceMultiSampleType(0,1,22,1,11)",
        "CheckDeviceMultiSampleType(0,1,22,1,10)",
        "CheckDeviceMultiSampleType(0,1,22,1,9)",
        "CheckDeviceMultiSampleType(0,1,22,1,8)",
        "CheckDeviceMultiSampleType(0,1,22,1,7)",
        "CheckDeviceMultiSampleType(0,1,22,1,6)",
        "CheckDeviceMultiSampleType(0,1,22,1,5)",
        "CheckDeviceMultiSampleType(0,1,22,1,4)",
        "GetDeviceCaps(0,1)",
        "CreateDevice(0,1,64,4,2)",
        "CreateVertexDeclaration(0:0:2:0:0:0;0:12:2:0:3:0;0:24:1:0:5:0)",
        "SetVertexDeclaration(#3)",
        "SetRenderState(7,1)",
        "SetRenderState(137,0)",
        "SetRenderState(22,3)",
        "SetRenderState(8,3)",
    };
    EXPECT_EQ(f.fake.calls(), expected);
    const D3DPRESENT_PARAMETERS& p = f.fake.lastPresentParameters();
    EXPECT_EQ(p.BackBufferWidth, 0u);
    EXPECT_EQ(p.BackBufferHeight, 0u);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_UNKNOWN);
    EXPECT_EQ(p.BackBufferCount, 1u);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(p.Windowed, 1);
    EXPECT_EQ(p.EnableAutoDepthStencil, 1);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(p.PresentationInterval, 0u);
}

TEST(Engine, FallsBackToNoMultisamplingAndSoftwareVertexProcessing) {
    RenderFixture f;
    f.fake.setMultiSampleSupport(0, 1);
    f.fake.setDevCaps(0);
    auto engine = f.engine();
    EXPECT_EQ(f.fake.callsStartingWith("CheckDeviceMultiSampleType").size(), 15u);
    EXPECT_EQ(f.fake.callsStartingWith("CreateDevice"), std::vector<std::string>{"CreateDevice(0,1,32,0,0)"});

    RenderFixture g;
    g.fake.setMultiSampleSupport(16, 0); // no quality levels reported counts as one
    auto other = g.engine();
    EXPECT_EQ(g.fake.callsStartingWith("CreateDevice"),
              std::vector<std::string>{"CreateDevice(0,1,64,16,0)"});
}

TEST(Engine, FailedConstructionRaisesAndReleasesWhatItMade) {
    const HRESULT bad = static_cast<HRESULT>(0x8876086Cu);
    for (const char* call : {"GetAdapterDisplayMode", "CheckDeviceMultiSampleType", "GetDeviceCaps",
                             "CreateDevice", "CreateVertexDeclaration"}) {
        RenderFixture f;
        f.fake.failCall(call, bad);
        EXPECT_EQ(engineError([&] { f.engine(); }), "Invalid call") << call;
        EXPECT_EQ(f.fake.liveObjects(), 0) << call;
        EXPECT_TRUE(f.fake.errors().empty()) << call;
    }
    RenderFixture f;
    f.fake.failDirect3DCreate();
    EXPECT_EQ(engineError([&] { f.engine(); }), "The function completed successfully");
    EXPECT_EQ(f.fake.liveObjects(), 0);
    // A device that exists but is unusable is not tried again with other settings.
    RenderFixture g;
    g.fake.failCall("CreateDevice", bad);
    EXPECT_THROW(g.engine(), D3DException);
    EXPECT_EQ(g.fake.callsStartingWith("CreateDevice").size(), 1u);
}

TEST(Engine, TeardownReleasesDeclarationDeviceAndDirect3DThenTheBuffers) {
    RenderFixture f;
    AloWriter w;
    w.addMesh(triangleMesh("m", "none.fx"));
    const Model& model = f.model(w);
    auto engine = f.engine();
    engine->addMesh(&model.getMesh(0), translation(0, 0, 0), true);
    ASSERT_TRUE(engine->render());
    // #1 Direct3D, #2 the device, #3 the declaration, #4 and #5 the mesh's vertex and index buffers.
    const std::size_t before = f.fake.finalReleases().size();
    engine.reset();
    const std::vector<std::string> released(f.fake.finalReleases().begin() + before,
                                            f.fake.finalReleases().end());
    EXPECT_EQ(released, (std::vector<std::string>{"#3", "#2", "#1", "#5", "#4"}));
}

TEST(Engine, EmptyFrameClearsToBlackAndLostDevicesDrawNothing) {
    RenderFixture f;
    auto engine = f.engine();
    f.fake.clearCalls();
    EXPECT_TRUE(engine->render());
    EXPECT_EQ(f.fake.calls(), (std::vector<std::string>{"TestCooperativeLevel()", "Clear(0,7,0,1,0)",
                                                        "BeginScene()", "EndScene()", "Present()"}));
    f.fake.clearCalls();
    f.fake.setCooperativeLevel(D3DERR_DEVICELOST);
    EXPECT_TRUE(engine->render());
    f.fake.setCooperativeLevel(D3DERR_DEVICENOTRESET);
    EXPECT_FALSE(engine->render());
    EXPECT_EQ(f.fake.calls(), (std::vector<std::string>{"TestCooperativeLevel()", "TestCooperativeLevel()"}));
}

TEST(Engine, DrawsEachVisibleMeshWithOneIndexedDrawPerPass) {
    RenderFixture f;
    const std::string description = "pass\npass\nparam WorldViewProj WORLDVIEWPROJECTION\n";
    f.addEffect("TWOPASS.FXO", description);
    AloWriter w;
    w.addMesh(triangleMesh("Hidden", "TwoPass.fx"));
    w.addMesh(triangleMesh("Shown", "TwoPass.fx"));
    const Model& model = f.model(w);
    auto engine = f.engine();
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        engine->addMesh(&model.getMesh(i), translation(0, 0, 0), false);
    }
    engine->setMeshVisible(1, true);
    engine->setMeshVisible(2, true); // past the list: ignored
    ASSERT_TRUE(engine->render());
    const std::vector<std::string> expected = {
        "CreateVertexBuffer(432,0,0,0)",
        "Lock(#4,0,0,8192)",
        "Unlock(#4)",
        "SetStreamSource(0,#4,0,144)",
        "CreateIndexBuffer(6,0,101,0)",
        "Lock(#5,0,0,8192)",
        "Unlock(#5)",
        "SetIndices(#5)",
        "D3DXCreateEffect(#2," + std::to_string(description.size()) + ",0)",
        "GetTechnique(#6,0)",
        "SetTechnique(#6,technique0)",
        "GetParameter(#6,null,0)",
        "IsParameterUsed(#6,WorldViewProj,technique0)",
        "GetParameterDesc(#6,WorldViewProj)",
        "SetMatrix(#6,WorldViewProj)",
        "GetParameter(#6,null,1)",
        "Begin(#6,0)",
        "BeginPass(#6,0)",
        "CommitChanges(#6)",
        "DrawIndexedPrimitive(4,0,0,3,0,1)",
        "EndPass(#6)",
        "BeginPass(#6,1)",
        "CommitChanges(#6)",
        "DrawIndexedPrimitive(4,0,0,3,0,1)",
        "EndPass(#6)",
        "End(#6)",
    };
    EXPECT_EQ(frameCalls(f.fake), expected);
    EXPECT_EQ(f.fake.bufferBytes(4), AloWriter::vertexBytes(triangleMesh("", "").vertices));
    EXPECT_EQ(f.fake.bufferBytes(5), AloWriter::indexBytes({0, 1, 2}));

    // The second frame reuses the buffers and the cached effect.
    ASSERT_TRUE(engine->render());
    EXPECT_EQ(frameCalls(f.fake).front(), "SetStreamSource(0,#4,0,144)");
    EXPECT_TRUE(f.fake.callsStartingWith("D3DXCreateEffect").size() == 1);
}

TEST(Engine, InstancesSharingAnEffectEachDrawWithTheirOwnWorld) {
    RenderFixture f;
    f.addEffect("SHARED.FXO", "param W WORLD\nparam V VIEW\nparam P PROJECTION\nparam WV WORLDVIEW\n"
                              "param WVP WORLDVIEWPROJECTION\n");
    AloWriter w;
    w.addMesh(triangleMesh("a", "Shared.fx"));
    w.addMesh(triangleMesh("b", "SHARED.FX"));
    const Model& model = f.model(w);
    auto engine = f.engine();
    const D3DXMATRIX worlds[] = {translation(1, 2, 3), translation(-40, 0, 7)};
    engine->addMesh(&model.getMesh(0), worlds[0], true);
    engine->addMesh(&model.getMesh(1), worlds[1], true);
    ASSERT_TRUE(engine->render());

    // One effect from the cache serves both draws; each draw commits its own instance's matrices.
    ASSERT_EQ(f.fake.callsStartingWith("D3DXCreateEffect").size(), 1u);
    FakeEffect& e = f.fake.effect(6);
    const D3DXMATRIX view = e.matrix("V");
    const D3DXMATRIX projection = e.matrix("P");
    EXPECT_EQ(e.committedMatrices("W"), (std::vector<D3DXMATRIX>{worlds[0], worlds[1]}));
    EXPECT_EQ(e.committedMatrices("WV"), (std::vector<D3DXMATRIX>{worlds[0] * view, worlds[1] * view}));
    EXPECT_EQ(e.committedMatrices("WVP"),
              (std::vector<D3DXMATRIX>{(worlds[0] * view) * projection, (worlds[1] * view) * projection}));
}

TEST(Engine, OffersTheFourteenSceneValuesAndTheMaterialsValuesWin) {
    RenderFixture f;
    f.addEffect("ALL.FXO",
                "param W WORLD\nparam V VIEW\nparam P PROJECTION\nparam WV WORLDVIEW\n"
                "param WVP WORLDVIEWPROJECTION\nparam VP VIEWPROJECTION\nparam L DIR_LIGHT_VEC_0\n"
                "param LO DIR_LIGHT_OBJ_VEC_0\nparam LD DIR_LIGHT_DIFFUSE_0\n"
                "param LS DIR_LIGHT_SPECULAR_0\nparam SC LIGHT_SCALE\nparam E EYE_POSITION\n"
                "param EO EYE_OBJ_POSITION\nparam T TIME\nparam Lower world\nparam Unused WORLD unused\n"
                "param Diffuse DIR_LIGHT_DIFFUSE_0\nparam NoSemantic -\n");
    AloWriter w;
    AloMesh mesh = triangleMesh("m", "all.fx");
    mesh.parameters = {AloParameter::float4Value("Diffuse", 0.25f, 0.5f, 0.75f, 1),
                       AloParameter::floatValue("Unused", 3), AloParameter::floatValue("Absent", 1)};
    w.addMesh(mesh);
    const Model& model = f.model(w);
    auto engine = f.engine(800, 600);
    engine->addMesh(&model.getMesh(0), translation(10, 20, 30), true);
    ASSERT_TRUE(engine->render());
    FakeEffect& e = f.fake.effect(6);

    EXPECT_EQ(e.matrix("W"), translation(10, 20, 30));
    const D3DXMATRIX view = e.matrix("V");
    // The default eye is 866.03 from the origin, straight ahead.
    EXPECT_NEAR(view(3, 2), 866.0254f, 1e-3f);
    // The screen's x axis runs along (-1, 1, 0) / sqrt(2) in the world.
    EXPECT_NEAR(view(0, 0), -0.7071068f, 1e-6f);
    EXPECT_NEAR(view(1, 0), 0.7071068f, 1e-6f);
    const D3DXMATRIX projection = e.matrix("P");
    EXPECT_NEAR(projection(1, 1), 2.4142135f, 1e-5f);
    EXPECT_NEAR(projection(0, 0), 2.4142135f * 600 / 800, 1e-5f);
    EXPECT_NEAR(projection(2, 2), 3000.0f / 2999.0f, 1e-6f);
    EXPECT_NEAR(projection(3, 2), -3000.0f / 2999.0f, 1e-6f);
    EXPECT_EQ(projection(2, 3), 1.0f);
    const D3DXMATRIX world = translation(10, 20, 30);
    EXPECT_EQ(e.matrix("WV"), world * view);
    EXPECT_EQ(e.matrix("WVP"), (world * view) * projection);
    EXPECT_EQ(e.matrix("VP"), view * projection);
    EXPECT_EQ(e.floatArray("L"), (std::vector<float>{-1, 0, -1, 1}));
    EXPECT_EQ(e.floatArray("LO"), (std::vector<float>{500, 0, 500, 1}));
    EXPECT_EQ(e.floatArray("LS"), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(e.floatArray("SC"), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(e.floatArray("E"), (std::vector<float>{-500, -500, 500, 1}));
    EXPECT_EQ(e.floatArray("EO"), (std::vector<float>{0, 0, 0, 1}));
    EXPECT_TRUE(e.wasSet("T"));
    EXPECT_EQ(e.floatValue("T"), 0.0f);
    EXPECT_EQ(e.floatArray("LD"), (std::vector<float>{0.6f, 0.6f, 0.6f, 1}));
    // Semantics are matched exactly, unused parameters get no scene value, and the material comes last.
    EXPECT_FALSE(e.wasSet("Lower"));
    EXPECT_FALSE(e.wasSet("NoSemantic"));
    EXPECT_EQ(e.floatValue("Unused"), 3.0f);
    EXPECT_EQ(e.floatArray("Diffuse"), (std::vector<float>{0.25f, 0.5f, 0.75f, 1}));

    // The eye values follow the camera: the eye, and the target point.
    Camera moved;
    moved.eye = {0, -100, 0};
    moved.target = {5, 5, 5};
    engine->setCamera(moved);
    ASSERT_TRUE(engine->render());
    EXPECT_EQ(e.floatArray("E"), (std::vector<float>{0, -100, 0, 1}));
    EXPECT_EQ(e.floatArray("EO"), (std::vector<float>{5, 5, 5, 1}));
}

TEST(Engine, TexturesAreHeldForTheDrawAndMissingOnesLeaveTheParameterAlone) {
    RenderFixture f;
    f.addEffect("TEX.FXO", "param BaseTexture -\nparam GlossTexture -\n");
    f.addTexture("HULL.DDS");
    AloWriter w;
    AloMesh mesh = triangleMesh("m", "Tex.fx");
    mesh.parameters = {AloParameter::textureName("BaseTexture", "hull.tga"),
                       AloParameter::textureName("GlossTexture", "missing.tga")};
    w.addMesh(mesh);
    const Model& model = f.model(w);
    {
        auto engine = f.engine();
        engine->addMesh(&model.getMesh(0), translation(0, 0, 0), true);
        ASSERT_TRUE(engine->render());
        FakeEffect& e = f.fake.effect(6);
        EXPECT_NE(e.textureId("BaseTexture"), 0);
        EXPECT_FALSE(e.wasSet("GlossTexture"));
        // Between frames only the caches hold the effect and the texture.
        const int cached = f.fake.liveObjects();
        f.textures->clear();
        f.shaders->clear();
        EXPECT_EQ(f.fake.liveObjects(), cached - 2);
        // A reset lets go of the buffers first; the next frame makes them again.
        engine->reset(nullptr, 0, 0);
        EXPECT_TRUE(f.fake.errors().empty());
        f.fake.clearCalls();
        ASSERT_TRUE(engine->render());
        EXPECT_EQ(f.fake.callsStartingWith("CreateVertexBuffer").size(), 1u);
        EXPECT_EQ(f.fake.callsStartingWith("D3DXCreateTextureFromFileInMemory").size(), 1u);
        f.textures->clear();
        f.shaders->clear();
    }
    EXPECT_EQ(f.fake.liveObjects(), 0);
    EXPECT_TRUE(f.fake.errors().empty());
}

TEST(Engine, ResetKeepsTheProjectionForAnEmptyAreaAndFollowsANewSize) {
    RenderFixture f;
    f.addEffect("P.FXO", "param P PROJECTION\n");
    AloWriter w;
    w.addMesh(triangleMesh("m", "p.fx"));
    const Model& model = f.model(w);
    auto engine = f.engine(800, 600);
    engine->addMesh(&model.getMesh(0), translation(0, 0, 0), true);
    engine->render();
    const D3DXMATRIX before = lastEffect(f.fake).matrix("P");
    f.shaders->clear();
    f.fake.clearCalls();
    engine->reset(nullptr, 0, 600);
    EXPECT_EQ(f.fake.calls().front(), "Reset(0,0,1,1)");
    engine->render();
    EXPECT_EQ(lastEffect(f.fake).matrix("P"), before);
    f.shaders->clear();
    engine->reset(nullptr, 400, 400);
    engine->render();
    EXPECT_EQ(lastEffect(f.fake).matrix("P")(0, 0), lastEffect(f.fake).matrix("P")(1, 1));
    f.shaders->clear();

    // A refused reset raises; the buffers are already gone.
    f.fake.failCall("Reset", D3DERR_DEVICELOST, 1);
    EXPECT_EQ(engineError([&] { engine->reset(nullptr, 10, 10); }), "Device lost");
}

TEST(Engine, MeshesWithoutMaterialOrEffectBindBuffersButDrawNothing) {
    RenderFixture f;
    AloWriter w;
    AloMesh bare = triangleMesh("bare", "");
    bare.hasMaterial = false;
    w.addMesh(bare);
    w.addMesh(triangleMesh("missing effect", "Nowhere.fx"));
    const Model& model = f.model(w);
    auto engine = f.engine();
    engine->addMesh(&model.getMesh(0), translation(0, 0, 0), true);
    engine->addMesh(&model.getMesh(1), translation(0, 0, 0), true);
    ASSERT_TRUE(engine->render());
    EXPECT_EQ(f.fake.callsStartingWith("SetStreamSource").size(), 2u);
    EXPECT_EQ(f.fake.callsStartingWith("SetIndices").size(), 2u);
    EXPECT_TRUE(f.fake.callsStartingWith("DrawIndexedPrimitive").empty());
    // The missing effect is searched for again on the next frame.
    f.addEffect("NOWHERE.FXO", "pass\n");
    ASSERT_TRUE(engine->render());
    EXPECT_EQ(f.fake.callsStartingWith("DrawIndexedPrimitive").size(), 1u);
    f.shaders->clear();
}

TEST(Engine, MeshesWithoutGeometryAreNeverUploaded) {
    RenderFixture f;
    f.addEffect("A.FXO", "pass\n");
    AloWriter w;
    AloMesh none = triangleMesh("none", "a.fx");
    none.hasGeometry = false;
    AloMesh empty = triangleMesh("empty", "a.fx");
    empty.vertices.clear();
    empty.indices.clear();
    w.addMesh(none);
    w.addMesh(empty);
    const Model& model = f.model(w);
    auto engine = f.engine();
    engine->addMesh(&model.getMesh(0), translation(0, 0, 0), true);
    engine->addMesh(&model.getMesh(1), translation(0, 0, 0), true);
    ASSERT_TRUE(engine->render());
    EXPECT_TRUE(f.fake.callsStartingWith("CreateVertexBuffer").empty());
    EXPECT_TRUE(f.fake.callsStartingWith("DrawIndexedPrimitive").empty());
}

TEST(Engine, FailedBufferCreationRaisesAndKeepsNoBuffer) {
    RenderFixture f;
    AloWriter w;
    w.addMesh(triangleMesh("m", "a.fx"));
    const Model& model = f.model(w);
    {
        auto engine = f.engine();
        engine->addMesh(&model.getMesh(0), translation(0, 0, 0), true);
        f.fake.failCall("CreateIndexBuffer", kResultOutOfMemory, 1);
        EXPECT_EQ(engineError([&] { engine->render(); }), "Ran out of memory");
        // The vertex buffer made just before went with it.
        EXPECT_EQ(f.fake.liveObjects(), 3);
        f.fake.failCall("CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY, 1);
        EXPECT_EQ(engineError([&] { engine->render(); }), "Out of video memory");
        EXPECT_EQ(f.fake.liveObjects(), 3);
        EXPECT_TRUE(engine->render());
        engine->clearMeshes();
        engine->clearMeshes();
        EXPECT_EQ(engine->getMeshCount(), 0u);
        EXPECT_EQ(f.fake.liveObjects(), 3);
    }
    EXPECT_EQ(f.fake.liveObjects(), 0);
    // A failed frame is left begun, as the program ends on it; the frames after it begin again.
    f.allowMisuse = true;
    for (const std::string& error : f.fake.errors()) {
        EXPECT_NE(error.find("BeginScene"), std::string::npos) << error;
    }
}
