#include "support/fakegraphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace d3d;

namespace {

using Calls = std::vector<std::string>;

// A fake with a Direct3D object (#1) and a device (#2) made on it.
class FakeGraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        m_parameters.BackBufferWidth = 640;
        m_parameters.BackBufferHeight = 480;
        m_parameters.BackBufferCount = 1;
        m_parameters.Windowed = 1;
        ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      &m_parameters, &m_device),
                  D3D_OK);
        m_fake.clearCalls();
    }

    void TearDown() override {
        if (m_device != nullptr) {
            m_device->Release();
        }
        if (m_d3d != nullptr) {
            m_d3d->Release();
        }
    }

    IDirect3DVertexBuffer9* vertexBuffer(UINT length) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        EXPECT_EQ(m_device->CreateVertexBuffer(length, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
        return buffer;
    }

    ID3DXEffect* effect(const std::string& description) {
        ID3DXEffect* e = nullptr;
        EXPECT_EQ(D3DXCreateEffect(m_device, description.data(), static_cast<UINT>(description.size()),
                                   nullptr, nullptr, 0, nullptr, &e, nullptr),
                  D3D_OK);
        return e;
    }

    FakeGraphics m_fake;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_parameters = {};
};

// ---- Reference counting ----

TEST_F(FakeGraphicsTest, CountsLiveObjectsDownToZeroOnCleanTeardown) {
    IDirect3DVertexBuffer9* buffer = vertexBuffer(16);
    EXPECT_EQ(m_fake.liveObjects(), 3);
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
    m_device->Release();
    m_device = nullptr;
    m_d3d->Release();
    m_d3d = nullptr;
    EXPECT_EQ(m_fake.liveObjects(), 0);
    EXPECT_TRUE(m_fake.errors().empty());
}

TEST_F(FakeGraphicsTest, ReportsReleaseWithNoReferenceLeftAndUseAfterRelease) {
    IDirect3DVertexBuffer9* buffer = vertexBuffer(16);
    buffer->Release();
    EXPECT_EQ(buffer->Release(), 0u);
    ASSERT_EQ(m_fake.errors().size(), 1u);
    EXPECT_NE(m_fake.errors()[0].find("#3"), std::string::npos);

    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetStreamSource(0, buffer, 0, 4), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_fake.errors().size(), 3u);
    EXPECT_EQ(m_fake.liveObjects(), 2);
}

TEST_F(FakeGraphicsTest, GivesIdsInCreationOrderAndLogsThem) {
    IDirect3DVertexBuffer9* vb = vertexBuffer(12);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(m_device->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    m_device->SetStreamSource(0, vb, 0, 12);
    m_device->SetIndices(ib);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(m_fake.calls(), (Calls{"CreateVertexBuffer(12,0,0,1)", "CreateIndexBuffer(6,0,101,1)",
                                     "SetStreamSource(0,#3,0,12)", "SetIndices(#4)", "SetRenderState(22,3)",
                                     "Clear(0,3,4278190080,1,0)"}));
    EXPECT_EQ(m_fake.callsStartingWith("Set").size(), 3u);
    m_fake.setRecording(false);
    m_device->BeginScene();
    EXPECT_EQ(m_fake.calls().size(), 6u);
    m_device->EndScene();
    vb->Release();
    ib->Release();
}

// ---- Device creation ----

TEST(FakeGraphicsDeviceTest, LogsDeviceCreationAndKeepsPresentParameters) {
    FakeGraphics fake;
    fake.setMultiSampleSupport(2, 3);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DDISPLAYMODE mode = {};
    d3d->GetAdapterDisplayMode(0, &mode);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    DWORD levels = 0;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_2_SAMPLES,
                                              &levels),
              D3D_OK);
    EXPECT_EQ(levels, 3u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1,
                                              D3DMULTISAMPLE_16_SAMPLES, &levels),
              D3DERR_NOTAVAILABLE);
    D3DPRESENT_PARAMETERS p = {};
    p.BackBufferWidth = 320;
    p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    p.MultiSampleQuality = 2;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device),
              D3D_OK);
    EXPECT_EQ(fake.calls(), (Calls{"Direct3DCreate9(32)", "GetAdapterDisplayMode(0)",
                                   "CheckDeviceMultiSampleType(0,1,22,1,2)",
                                   "CheckDeviceMultiSampleType(0,1,22,1,16)", "CreateDevice(0,1,64,2,2)"}));
    EXPECT_EQ(fake.lastPresentParameters().BackBufferWidth, 320u);

    p.MultiSampleQuality = 3; // one past the levels reported
    IDirect3DDevice9* second = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &second),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(fake.errors().size(), 1u);
    device->Release();
    d3d->Release();
}

// ---- Injected failures ----

TEST(FakeGraphicsFailureTest, FailsTheNextCallsAsToldThenSucceeds) {
    FakeGraphics fake;
    fake.failCall("GetAdapterDisplayMode", D3DERR_NOTAVAILABLE, 2);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DDISPLAYMODE mode = {};
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);

    fake.failCall("CreateDevice", D3DERR_OUTOFVIDEOMEMORY);
    D3DPRESENT_PARAMETERS p = {};
    IDirect3DDevice9* device = nullptr;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(
            d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
            D3DERR_OUTOFVIDEOMEMORY);
        EXPECT_EQ(device, nullptr);
    }
    EXPECT_EQ(fake.liveObjects(), 1);
    EXPECT_EQ(fake.callsStartingWith("CreateDevice").size(), 3u);
    d3d->Release();
    EXPECT_TRUE(fake.errors().empty());
}

TEST(FakeGraphicsFailureTest, Direct3DCreateCanFail) {
    FakeGraphics fake;
    fake.failDirect3DCreate();
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    EXPECT_EQ(fake.calls(), Calls{"Direct3DCreate9(32)"});
    EXPECT_EQ(fake.liveObjects(), 0);
}

TEST_F(FakeGraphicsTest, FailedCreationMakesNothingAndTakesNoId) {
    m_fake.failCall("CreateIndexBuffer", D3DERR_OUTOFVIDEOMEMORY, 1);
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(m_device->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(ib, nullptr);
    IDirect3DVertexBuffer9* vb = vertexBuffer(4);
    m_device->SetStreamSource(0, vb, 0, 4);
    EXPECT_EQ(m_fake.calls().back(), "SetStreamSource(0,#3,0,4)");
    vb->Release();
}

// ---- Buffers ----

TEST_F(FakeGraphicsTest, KeepsTheBytesWrittenBetweenLockAndUnlock) {
    IDirect3DVertexBuffer9* buffer = vertexBuffer(8);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memcpy(data, "abcdefgh", 8);
    EXPECT_EQ(m_fake.bufferBytes(3), "");
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(m_fake.bufferBytes(3), "abcdefgh");
    EXPECT_EQ(m_fake.calls(), (Calls{"CreateVertexBuffer(8,0,0,1)", "Lock(#3,0,0,8192)", "Unlock(#3)"}));
    EXPECT_TRUE(m_fake.errors().empty());
    buffer->Release();
}

TEST_F(FakeGraphicsTest, RefusesBadLocksAndEmptyBuffers) {
    IDirect3DVertexBuffer9* buffer = vertexBuffer(8);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(4, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(buffer->Lock(9, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer9* empty = nullptr;
    EXPECT_EQ(m_device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &empty, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(empty, nullptr);
    EXPECT_EQ(m_fake.calls().back(), "CreateVertexBuffer(0,0,0,1)");
    EXPECT_EQ(m_fake.errors().size(), 4u);
    buffer->Release();
}

TEST_F(FakeGraphicsTest, CatchesWritesPastTheLockedRange) {
    IDirect3DVertexBuffer9* buffer = vertexBuffer(8);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, "0123456789", 10);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(m_fake.errors().size(), 1u);

    ASSERT_EQ(buffer->Lock(0, 4, &data, 0), D3D_OK);
    std::memcpy(data, "abcdef", 6);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_fake.errors().size(), 2u);
    buffer->Release();
}

// ---- Drawing ----

TEST_F(FakeGraphicsTest, ChecksDrawsAgainstTheBoundBuffers) {
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          D3DDECL_END_ELEMENT};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(m_device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    EXPECT_EQ(m_fake.calls().back(), "CreateVertexDeclaration(0:0:2:0:0:0)");
    IDirect3DVertexBuffer9* vb = vertexBuffer(36); // three vertices
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(m_device->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    void* data = nullptr;
    ib->Lock(0, 0, &data, 0);
    const std::uint16_t indices[] = {0, 1, 3};
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();
    m_device->SetVertexDeclaration(declaration);
    m_device->SetStreamSource(0, vb, 0, 12);
    m_device->SetIndices(ib);

    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1),
              D3DERR_INVALIDCALL); // no scene
    m_device->BeginScene();
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1),
              D3DERR_INVALIDCALL); // index 3
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2),
              D3DERR_INVALIDCALL); // past ib
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_LINELIST, 0, 0, 3, 0, 1), D3D_OK);
    m_device->EndScene();
    EXPECT_EQ(m_fake.errors().size(), 3u);
    declaration->Release();
    vb->Release();
    ib->Release();
}

// ---- Reset ----

TEST_F(FakeGraphicsTest, RefusesResetWhileDeviceResourcesLive) {
    IDirect3DVertexBuffer9* buffer = vertexBuffer(4);
    EXPECT_EQ(m_device->Reset(&m_parameters), D3DERR_INVALIDCALL);
    ASSERT_EQ(m_fake.errors().size(), 1u);
    EXPECT_NE(m_fake.errors()[0].find("#3"), std::string::npos);
    buffer->Release();

    m_fake.setCooperativeLevel(D3DERR_DEVICENOTRESET);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    m_parameters.BackBufferWidth = 800;
    EXPECT_EQ(m_device->Reset(&m_parameters), D3D_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(m_fake.callsStartingWith("Reset"), (Calls{"Reset(640,480,1,1)", "Reset(800,480,1,1)"}));
    EXPECT_EQ(m_fake.lastPresentParameters().BackBufferWidth, 800u);
    EXPECT_EQ(m_fake.errors().size(), 1u);
}

// ---- Effects and textures ----

TEST_F(FakeGraphicsTest, BuildsEffectsFromTheirDescription) {
    ID3DXEffect* e = effect("param World WORLD\nparam Color -\npass\npass\nparam Spare - unused\n");
    ASSERT_NE(e, nullptr);
    D3DXHANDLE world = e->GetParameter(nullptr, 0);
    ASSERT_NE(world, nullptr);
    EXPECT_STREQ(world, "World");
    EXPECT_EQ(e->GetParameter(nullptr, 0), world);
    EXPECT_EQ(e->GetParameter(nullptr, 3), nullptr);
    EXPECT_EQ(e->GetParameterByName(nullptr, "Color"), e->GetParameter(nullptr, 1));
    EXPECT_EQ(e->GetParameterByName(nullptr, "color"), nullptr);

    D3DXPARAMETER_DESC desc = {};
    ASSERT_EQ(e->GetParameterDesc(world, &desc), D3D_OK);
    EXPECT_STREQ(desc.Semantic, "WORLD");
    ASSERT_EQ(e->GetParameterDesc(e->GetParameter(nullptr, 1), &desc), D3D_OK);
    EXPECT_EQ(desc.Semantic, nullptr);

    D3DXHANDLE technique = e->GetTechnique(0);
    EXPECT_EQ(e->GetTechnique(1), nullptr);
    EXPECT_TRUE(e->IsParameterUsed(world, technique));
    EXPECT_FALSE(e->IsParameterUsed(e->GetParameter(nullptr, 2), technique));
    UINT passes = 0;
    e->Begin(&passes, 0);
    EXPECT_EQ(passes, 2u);
    e->End();
    EXPECT_EQ(m_fake.calls()[1], "GetParameter(#3,null,0)");
    EXPECT_EQ(m_fake.callsStartingWith("IsParameterUsed")[0], "IsParameterUsed(#3,World,technique0)");
    EXPECT_TRUE(m_fake.errors().empty());
    e->Release();
}

TEST_F(FakeGraphicsTest, RejectsDataThatIsNoDescription) {
    for (const std::string bad : {"", "DXBC", "\npass", "pass\nparam OnlyName"}) {
        ID3DXEffect* e = nullptr;
        EXPECT_EQ(D3DXCreateEffect(m_device, bad.data(), static_cast<UINT>(bad.size()), nullptr, nullptr, 0,
                                   nullptr, &e, nullptr),
                  D3DXERR_INVALIDDATA)
            << bad;
        EXPECT_EQ(e, nullptr);
    }
    ID3DXEffect* one = effect("pass");
    UINT passes = 0;
    one->Begin(&passes, 0);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(m_fake.liveObjects(), 3);
    one->End();
    one->Release();
}

TEST_F(FakeGraphicsTest, RecordsWhatIsSetOnAnEffect) {
    ID3DXEffect* e = effect("param Light - \nparam World WORLD\nparam Base -");
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(m_device, "JPEG", 4, &texture), D3DXERR_INVALIDDATA);
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(m_device, "DDS xyz", 7, &texture), D3D_OK);
    const float light[] = {0.5f, 1, -2, 0};
    D3DXMATRIX world;
    world(3, 0) = 7;
    e->SetFloatArray(e->GetParameterByName(nullptr, "Light"), light, 4);
    e->SetMatrix(e->GetParameterByName(nullptr, "World"), &world);
    e->SetTexture(e->GetParameterByName(nullptr, "Base"), texture);
    EXPECT_EQ(e->SetFloat(nullptr, 1), D3DERR_INVALIDCALL);

    FakeEffect& fake = m_fake.effect(3);
    EXPECT_EQ(fake.floatArray("Light"), (std::vector<float>{0.5f, 1, -2, 0}));
    EXPECT_EQ(fake.matrix("World"), world);
    EXPECT_EQ(fake.textureId("Base"), 4);
    EXPECT_FALSE(fake.wasSet("Missing"));
    EXPECT_EQ(m_fake.callsStartingWith("Set"),
              (Calls{"SetFloatArray(#3,Light,0.5,1,-2,0)", "SetMatrix(#3,World)", "SetTexture(#3,Base,#4)",
                     "SetFloat(#3,null,1)"}));
    EXPECT_EQ(m_fake.callsStartingWith("D3DXCreateTexture")[0], "D3DXCreateTextureFromFileInMemory(#2,4)");
    EXPECT_EQ(m_fake.errors().size(), 1u);
    texture->Release();
    e->Release();
}

TEST_F(FakeGraphicsTest, ChecksPassOrder) {
    ID3DXEffect* e = effect("pass");
    EXPECT_EQ(e->BeginPass(0), D3DERR_INVALIDCALL);
    UINT passes = 0;
    e->Begin(&passes, 0);
    EXPECT_EQ(e->BeginPass(1), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(e->CommitChanges(), D3D_OK);
    EXPECT_EQ(e->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->EndPass(), D3D_OK);
    EXPECT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(m_fake.errors().size(), 3u);
    e->Release();
}

} // namespace
