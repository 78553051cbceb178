// Kestrin's platform code on Windows, under Wine: our D3DX math against the real D3DX 9, the Win32
// side of PhysicalFile, and the graphics on the real Direct3D 9 and D3DX 9 over the data folder of
// the host's kestrin-conformance (KESTRIN_WINDOWS_DATA): the effects our writer makes as D3DX reads
// them, the Engine's frames, and the conformance scenes drawn for the host's comparison.

#include "main/ioexception.h"
#include "managers/physicalfile.h"
#include "render/pngwriter.h"
#include "windows/realgraphics.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <set>

namespace {

const std::string kFolder = std::getenv("KESTRIN_WINDOWS_DATA") ? std::getenv("KESTRIN_WINDOWS_DATA") : "";

// Ours as D3DX's own (the same floats in the same order), in a copy that lasts the expression.
template <class Real, class Ours>
const Real* as(const Ours& ours, Real&& copy = {}) {
    std::memcpy(static_cast<void*>(&copy), &ours, sizeof copy);
    return &copy;
}

// Every float within 16 float epsilons times scale (the size of the terms that make it up).
template <class Ours, class Theirs>
::testing::AssertionResult matches(const char* what, const Ours& ours, const Theirs& theirs, float scale) {
    float o[16];
    float t[16];
    std::memcpy(o, &ours, sizeof ours);
    std::memcpy(t, &theirs, sizeof ours);
    for (std::size_t k = 0; k < sizeof ours / sizeof(float); ++k) {
        if (!(std::fabs(o[k] - t[k]) <= 16 * FLT_EPSILON * std::max(scale, 1.0f))) {
            return ::testing::AssertionFailure()
                   << what << ", float " << k << ": ours " << o[k] << ", D3DX " << t[k];
        }
    }
    return ::testing::AssertionSuccess();
}

// The largest entry's size.
template <class Matrix>
float largest(const Matrix& m) {
    return std::accumulate(&m.m[0][0], &m.m[0][0] + 16, 0.0f,
                           [](float l, float e) { return std::max(l, std::fabs(e)); });
}

// The Engine over a hidden window; every test ends with the device released to its last reference
// once the caches and the mesh list are emptied.
class OnDirect3D : public ::testing::Test {
protected:
    void TearDown() override {
        view->textures.clear();
        view->shaders.clear();
        view->engine.clearMeshes();
        IDirect3DDevice9* real = view->device();
        real->AddRef();
        view.reset();
        EXPECT_EQ(real->Release(), 0u) << "something still holds the device";
    }

    std::unique_ptr<EngineOnWindow> view = std::make_unique<EngineOnWindow>(kFolder, 240, 180);
};

} // namespace

// Every effect of the data folder is loose in Data\Art\Shaders; FlatTwice draws in two passes.
TEST_F(OnDirect3D, D3DXTakesEveryEffectWeWriteWithItsPasses) {
    int effects = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kFolder + "\\Data\\Art\\Shaders")) {
        const std::string name = entry.path().stem().string() + ".fx";
        RefPtr<d3d::ID3DXEffect> effect = view->shaders.getEffect(view->engine.getDevice(), name);
        ASSERT_TRUE(effect) << name;
        UINT passes = 0;
        ASSERT_EQ(effect->SetTechnique(effect->GetTechnique(0)), 0) << name;
        ASSERT_EQ(effect->Begin(&passes, 0), 0) << name;
        EXPECT_EQ(passes, name == "FlatTwice.fx" ? 2u : 1u) << name;
        effect->End();
        ++effects;
    }
    EXPECT_GT(effects, 2);
}

// Faces are flat and lit per vertex by one light without specular: many colours mean the textures
// were sampled. The tops face both the light and the eye above, so a model drawn inside out would
// show mostly dark faces. A reset, as the program makes after a resize (the caches emptied first),
// makes effects, textures and buffers again, which draw the same frame.
TEST_F(OnDirect3D, DrawsTheDemoModelsLitAndTexturedOnBlackAndTheSameAfterAReset) {
    for (const auto& [model, distance] :
         {std::pair{"Demo_Ship.alo", 300.0f}, std::pair{"Demo_Planet.alo", 120.0f}}) {
        view->show(std::string("Data\\Art\\Models\\") + model);
        view->engine.setCamera({{-distance, -distance, distance}});
        const Frame frame = view->draw();
        ASSERT_EQ(frame.pixels.size(), 240u * 180u);
        EXPECT_EQ(frame.pixels[0] | frame.pixels[239] | frame.pixels[240 * 179] | frame.pixels.back(), 0u)
            << model;
        ASSERT_GT(frame.lit(), 3000u) << model;
        EXPECT_GT(std::set<std::uint32_t>(frame.pixels.begin(), frame.pixels.end()).size(), 100u) << model;
        const auto bright = std::count_if(frame.pixels.begin(), frame.pixels.end(), [](std::uint32_t p) {
            return (p >> 16 & 0xFF) > 40 || (p >> 8 & 0xFF) > 40 || (p & 0xFF) > 40;
        });
        EXPECT_GT(static_cast<std::size_t>(bright), frame.lit() * 4 / 10) << model;
        EXPECT_EQ(view->draw().pixels, frame.pixels) << model << " drawn again";
        view->textures.clear();
        view->shaders.clear();
        view->engine.reset(view->window.get(), 240, 180);
        EXPECT_EQ(view->draw().pixels, frame.pixels) << model << " after a reset";
    }
}

// Draws each scene into KESTRIN_CONFORMANCE_FRAMES\NAME.png for the host's kestrin-conformance.
TEST(Conformance, ScenesDrawnOnDirect3DAreWrittenForTheNativeRenderersCheck) {
    const char* folder = std::getenv("KESTRIN_CONFORMANCE_FRAMES");
    if (folder == nullptr) {
        GTEST_SKIP() << "KESTRIN_CONFORMANCE_FRAMES names no folder";
    }
    CreateDirectoryA(folder, nullptr);
    EngineOnWindow view(kFolder, conformance::kWidth, conformance::kHeight);
    for (const conformance::Scene& scene : conformance::scenes()) {
        conformance::stage(scene, view.engine, view.files, view.models);
        const Frame frame = view.draw();
        EXPECT_GT(frame.lit(), 0u) << scene.name;
        std::string error;
        EXPECT_TRUE(PngWriter::write(std::string(folder) + "\\" + scene.name + ".png", int(frame.width),
                                     int(frame.height), frame.rgba, error))
            << error;
    }
}

// Both compute in single precision but may order their operations differently and take sines
// and roots from other libraries.
TEST(D3DXMathOnWine, EveryOperationMatchesD3DX) {
    using V = ::D3DXVECTOR3;
    using M = ::D3DXMATRIX;
    std::mt19937 random(1);
    const auto in = [&](float low, float high) {
        return low + (high - low) * static_cast<float>(random() >> 8) / 16777216.0f;
    };
    const auto vector = [&](float r) { return d3d::D3DXVECTOR3(in(-r, r), in(-r, r), in(-r, r)); };
    const auto matrix = [&](float r, float w) {
        d3d::D3DXMATRIX m;
        for (int k = 0; k < 16; ++k) {
            m.m[k / 4][k % 4] = k % 4 == 3 ? (k == 15 ? 1 : in(-w, w)) : in(-r, r);
        }
        return m;
    };
    for (int i = 0; i < 500; ++i) {
        SCOPED_TRACE(i);
        d3d::D3DXMATRIX ours;
        M theirs;
        d3d::D3DXVECTOR3 v;
        V w;
        // A view from anywhere, except nearly along up, where both sides are ill-conditioned.
        const d3d::D3DXVECTOR3 eye = vector(1000), at = vector(200);
        const d3d::D3DXVECTOR3 up = i % 2 == 0 ? d3d::D3DXVECTOR3(0, 0, 1) : vector(2), d = at - eye;
        d3d::D3DXVec3Cross(&v, &up, &d);
        if (d3d::D3DXVec3Length(&v) > 0.1f * d3d::D3DXVec3Length(&up) * d3d::D3DXVec3Length(&d)) {
            ::D3DXMatrixLookAtLH(&theirs, as<V>(eye), as<V>(at), as<V>(up));
            EXPECT_TRUE(matches("look-at", *d3d::D3DXMatrixLookAtLH(&ours, &eye, &at, &up), theirs,
                                d3d::D3DXVec3Length(&eye)));
        }
        const float fov = in(0.1f, 3), aspect = in(0.2f, 5), zNear = in(0.1f, 10),
                    zFar = zNear * in(2, 10000);
        ::D3DXMatrixPerspectiveFovLH(&theirs, fov, aspect, zNear, zFar);
        EXPECT_TRUE(matches("perspective", *d3d::D3DXMatrixPerspectiveFovLH(&ours, fov, aspect, zNear, zFar),
                            theirs, largest(theirs)));
        // Axes of any length; angles of several turns either way.
        const d3d::D3DXVECTOR3 axis = vector(1) * std::pow(10.0f, in(-3, 3));
        const float angle = in(-20, 20);
        EXPECT_TRUE(matches("rotation about an axis", *d3d::D3DXMatrixRotationAxis(&ours, &axis, angle),
                            *::D3DXMatrixRotationAxis(&theirs, as<V>(axis), angle), 2));
        EXPECT_TRUE(matches("rotation about Z", *d3d::D3DXMatrixRotationZ(&ours, angle),
                            *::D3DXMatrixRotationZ(&theirs, angle), 1));
        // Products, also written over either input; a projective transform whose w stays near 1.
        const d3d::D3DXMATRIX a = matrix(i % 2 == 0 ? 1.0f : 1000.0f, 1000), b = matrix(10, 10);
        ::D3DXMatrixMultiply(&theirs, as<M>(a), as<M>(b));
        EXPECT_TRUE(
            matches("product", *d3d::D3DXMatrixMultiply(&ours, &a, &b), theirs, 4 * largest(a) * largest(b)));
        d3d::D3DXMATRIX overA = a, overB = b;
        EXPECT_EQ(*d3d::D3DXMatrixMultiply(&overA, &overA, &b), ours);
        EXPECT_EQ(*d3d::D3DXMatrixMultiply(&overB, &a, &overB), ours);
        const d3d::D3DXMATRIX m = matrix(i % 2 == 0 ? 2.0f : 500.0f, 0.001f);
        const d3d::D3DXVECTOR3 p =
            i == 0 ? d3d::D3DXVECTOR3(0, 0, 0) : vector(1) * std::pow(10.0f, in(-6, 6));
        const d3d::D3DXVECTOR3 q = vector(100);
        EXPECT_TRUE(matches("transformed", *d3d::D3DXVec3TransformCoord(&v, &q, &m),
                            *::D3DXVec3TransformCoord(&w, as<V>(q), as<M>(m)), 800 * largest(m)));
        // Vectors of any length, the zero vector first.
        EXPECT_TRUE(
            matches("normalized", *d3d::D3DXVec3Normalize(&v, &p), *::D3DXVec3Normalize(&w, as<V>(p)), 1));
        EXPECT_TRUE(
            matches("length", d3d::D3DXVec3Length(&p), ::D3DXVec3Length(as<V>(p)), d3d::D3DXVec3Length(&p)));
        EXPECT_TRUE(matches("cross", *d3d::D3DXVec3Cross(&v, &p, &q),
                            *::D3DXVec3Cross(&w, as<V>(p), as<V>(q)),
                            d3d::D3DXVec3Length(&p) * d3d::D3DXVec3Length(&q)));
    }
}

TEST(PhysicalFileWin32, TellsMissingFromUnreadableAndReadsFromItsOwnPosition) {
    const std::string folder = (std::filesystem::temp_directory_path() / "kestrin-test").string();
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "\\ten.bin", std::ios::binary) << "0123456789";
    // A folder is there but cannot be read as a file.
    for (const auto& [path, message] : {std::pair{folder + "\\none.alo", "Unable to find file:\n"},
                                        {folder + "\\no\\such\\x.alo", "Unable to find file:\n"},
                                        {folder, "Unable to open file"}}) {
        try {
            makeRef<PhysicalFile>(path);
            ADD_FAILURE() << path;
        } catch (const IOException& e) {
            EXPECT_EQ(e.getMessage(), message + path);
        }
    }
    // Two objects over one file each read from their own position, up to the end.
    RefPtr<File> a = makeRef<PhysicalFile>(folder + "\\ten.bin");
    RefPtr<File> b = makeRef<PhysicalFile>(folder + "\\ten.bin");
    char buffer[16];
    a->seek(7);
    EXPECT_EQ(b->read(buffer, 2), 2u);
    EXPECT_EQ(a->read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_TRUE(a->isEOF() && !b->isEOF());
    EXPECT_EQ(a->size(), 10u);
    a.reset();
    b.reset();
    std::filesystem::remove_all(folder);
}
