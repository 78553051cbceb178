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
