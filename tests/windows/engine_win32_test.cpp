// The Engine on the real Direct3D 9 and D3DX 9 over a hidden window, drawing models read through
// the file manager with our effects and textures, its frames read back (see FrameCapture).

#include "engine/d3d/d3d9native.h"
#include "engine/engine.h"
#include "fixtures/fixturefiles.h"
#include "model/model.h"
#include "realgraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 180;

// An Engine over a hidden window and the program's caches. Every test ends with both caches
// cleared and the mesh list emptied, when the real device must hold only the references it had
// after construction, and with the Engine destroyed, which must release the device to the last.
class EngineOnWine : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<Engine>(m_window.handle(), kWidth, kHeight, data.textures, data.shaders);
        real = d3d::nativeDevice(engine->getDevice());
        ASSERT_NE(real, nullptr);
        m_startReferences = referenceCount(real);
    }

    void TearDown() override {
        if (!engine) {
            return;
        }
        data.textures.clear();
        data.shaders.clear();
        engine->clearMeshes();
        if (real != nullptr) {
            EXPECT_EQ(referenceCount(real), m_startReferences);
            real->AddRef();
            engine.reset();
            EXPECT_EQ(real->Release(), 0u) << "something still holds the device";
        }
    }

    // The model at path, read through the file manager and kept for the test.
    const Model& load(const std::string& path) {
        RefPtr<File> file = data.files.open(path);
        if (!file) {
            throw std::runtime_error("no " + path + " in the fixture data folder");
        }
        m_models.push_back(std::make_unique<Model>(*file));
        return *m_models.back();
    }

    // Adds every mesh of model with its own transform, as the program shows a model.
    void add(const Model& model, bool visible) {
        for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
            d3d::D3DXMATRIX world;
            model.getMeshTransform(i, &world.m[0][0]);
            engine->addMesh(&model.getMesh(i), world, visible);
        }
    }

    // One frame of the engine, read back.
    Frame draw() {
        FrameCapture capture(real);
        EXPECT_TRUE(engine->render());
        return capture.read();
    }

    // Resets as the program does after a resize: both caches first.
    void reset() {
        data.textures.clear();
        data.shaders.clear();
        engine->reset(m_window.handle(), kWidth, kHeight);
    }

    std::vector<std::unique_ptr<Model>> m_models;
    DataFolder data;
    std::unique_ptr<Engine> engine;
    IDirect3DDevice9* real = nullptr;

private:
    HiddenWindow m_window{kWidth, kHeight};
    ULONG m_startReferences = 0;
};

// The 8 x 8 blocks in the frame's corners are black.
::testing::AssertionResult blackCorners(const Frame& frame) {
    for (const UINT cornerX : {0u, frame.width - 8}) {
        for (const UINT cornerY : {0u, frame.height - 8}) {
            for (UINT y = cornerY; y < cornerY + 8; ++y) {
                for (UINT x = cornerX; x < cornerX + 8; ++x) {
                    if (frame.at(x, y) != 0) {
                        return ::testing::AssertionFailure()
                               << "pixel " << x << "," << y << " is " << std::hex << frame.at(x, y);
                    }
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// The start-up camera's view from nearer: the eye at (-d, -d, d).
Camera closer(float d) {
    Camera camera;
    camera.eye = {-d, -d, d};
    return camera;
}

std::set<std::uint32_t> colours(const Frame& frame) {
    std::set<std::uint32_t> distinct(frame.pixels.begin(), frame.pixels.end());
    distinct.erase(0);
    return distinct;
}

} // namespace

// Faces are flat and lit per vertex by one directional light without specular, so lighting alone
// gives each face one colour; many colours on a few faces mean the textures were sampled. The
// emissive term alone gives at most a tenth of the texture, so bright pixels mean the light counts.
TEST_F(EngineOnWine, DrawsTheDemoModelsLitAndTexturedOnBlack) {
    // The ship: five boxes with the hull's (loose, A8R8G8B8) and the engines' (archived, DXT1) textures.
    add(load(fixtures::kShipModel), true);
    engine->setCamera(closer(300));
    const Frame ship = draw();
    ASSERT_EQ(ship.width, static_cast<UINT>(kWidth));
    ASSERT_EQ(ship.height, static_cast<UINT>(kHeight));
    EXPECT_TRUE(blackCorners(ship));
    ASSERT_GT(ship.litCount(), 3000u);
    EXPECT_GT(colours(ship).size(), 100u);
    std::size_t bright = 0;
    std::size_t bluish = 0;
    for (const std::uint32_t p : ship.pixels) {
        bright += std::max({red(p), green(p), blue(p)}) > 40 ? 1 : 0;
        bluish += p != 0 && blue(p) > red(p) ? 1 : 0;
    }
    // The tops face both the light and the eye above them and make most of what is seen; a ship
    // drawn inside out would show its far faces, mostly turned from the light.
    EXPECT_GT(bright, ship.litCount() * 4 / 10);
    // Both textures and the materials' Diffuse are bluer than they are red.
    EXPECT_GT(bluish, ship.litCount() * 9 / 10);

    // The planet: one sphere with a DXT1 texture from the second archive, of green land and blue sea.
    engine->clearMeshes();
    add(load(fixtures::kPlanetModel), true);
    engine->setCamera(closer(120));
    const Frame planet = draw();
    EXPECT_TRUE(blackCorners(planet));
    ASSERT_GT(planet.litCount(), 6000u);
    std::size_t land = 0;
    std::size_t sea = 0;
    for (const std::uint32_t p : planet.pixels) {
        land += green(p) > red(p) && green(p) > blue(p) ? 1 : 0;
        sea += blue(p) > red(p) && blue(p) > green(p) ? 1 : 0;
    }
    EXPECT_GT(land, 500u);
    EXPECT_GT(sea, 2000u);
}

TEST_F(EngineOnWine, FramesRepeatExactlyAcrossAResetThatReloadsEverything) {
    add(load(fixtures::kShipModel), true);
    const Frame first = draw();
    ASSERT_GT(first.litCount(), 1000u);
    const std::string gloss = "Data\\Art\\Shaders\\MESHGLOSS.FXO";
    const std::string hull = "Data\\Art\\Textures\\DEMO_HULL.DDS";
    EXPECT_EQ(data.files.opens(gloss), 1);
    EXPECT_EQ(data.files.opens(hull), 1);

    // A second frame comes from the caches alone.
    EXPECT_EQ(draw().pixels, first.pixels);
    EXPECT_EQ(data.files.opens(gloss), 1);

    // After a reset the effects, textures and buffers are all made again, and draw the same.
    reset();
    EXPECT_EQ(draw().pixels, first.pixels);
    EXPECT_EQ(data.files.opens(gloss), 2);
    EXPECT_EQ(data.files.opens(hull), 2);
    reset();
    reset();
    EXPECT_EQ(draw().pixels, first.pixels);

    // Nothing visible: black.
    for (std::size_t i = 0; i < engine->getMeshCount(); ++i) {
        engine->setMeshVisible(i, false);
    }
    EXPECT_EQ(draw().litCount(), 0u);
}

// The flat effects add the same colour in each pass, so two passes draw the same pixels twice as
// bright as one: every channel doubles, give or take the rounding of each pass to 8 bits.
TEST_F(EngineOnWine, EachPassOfAnEffectDrawsTheMeshAgain) {
    add(load(fixtures::kPassesModel), false);
    engine->setMeshVisible(fixtures::kOnceMesh, true);
    const Frame once = draw();
    engine->setMeshVisible(fixtures::kOnceMesh, false);
    engine->setMeshVisible(fixtures::kTwiceMesh, true);
    const Frame twice = draw();

    EXPECT_TRUE(blackCorners(once));
    ASSERT_GT(once.litCount(), 2000u);
    const std::uint32_t centre = once.at(kWidth / 2, kHeight / 2);
    EXPECT_NEAR(red(centre), fixtures::kFlatColour[0] * 255, 1.0);
    EXPECT_NEAR(green(centre), fixtures::kFlatColour[1] * 255, 1.0);
    EXPECT_NEAR(blue(centre), fixtures::kFlatColour[2] * 255, 1.0);
    EXPECT_EQ(colours(once).size(), 1u);

    ASSERT_EQ(twice.pixels.size(), once.pixels.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < once.pixels.size(); ++i) {
        const std::uint32_t a = once.pixels[i];
        const std::uint32_t b = twice.pixels[i];
        const bool doubled = std::abs(red(b) - 2 * red(a)) <= 2 && std::abs(green(b) - 2 * green(a)) <= 2 &&
                             std::abs(blue(b) - 2 * blue(a)) <= 2 && (a == 0) == (b == 0);
        mismatches += doubled ? 0 : 1;
    }
    EXPECT_EQ(mismatches, 0u) << "pixels of the two-pass frame that are not twice the one-pass frame";
}

TEST_F(EngineOnWine, AMeshWhoseEffectIsMissingDrawsNothing) {
    add(load(fixtures::kPassesModel), false);
    const std::string missing = "Data\\Art\\Shaders\\NOSUCHEFFECT.FXO";
    engine->setMeshVisible(fixtures::kNoEffectMesh, true);
    EXPECT_EQ(draw().litCount(), 0u);
    EXPECT_EQ(data.files.opens(missing), 1);

    // Beside a mesh that draws, it changes nothing, and it is looked for again in every frame.
    engine->setMeshVisible(fixtures::kOnceMesh, true);
    const Frame both = draw();
    engine->setMeshVisible(fixtures::kNoEffectMesh, false);
    const Frame alone = draw();
    EXPECT_GT(alone.litCount(), 2000u);
    EXPECT_EQ(both.pixels, alone.pixels);
    EXPECT_EQ(data.files.opens(missing), 2);
}
