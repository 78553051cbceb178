// The texture and effect caches on the real D3DX 9, fed by the files our writers make: the demo
// data folder and the extra files of kestrin-windows-fixtures (tests/windows/fixtures).

#include "engine/d3d/d3d9native.h"
#include "engine/d3d/d3dx9effect.h"
#include "fixtures/fixturefiles.h"
#include "realgraphics.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kTextures[] = "Data\\Art\\Textures\\";
const char kShaders[] = "Data\\Art\\Shaders\\";

// The demo effects, as the demo data folder's Art.meg holds them.
const char* const kDemoEffects[] = {"MeshBumpColorize", "MeshGloss",    "MeshGlossColorize",
                                    "MeshAlpha",        "MeshAdditive", "AlDefault",
                                    "Default"};

// A device of our backend over a hidden window, as the Engine hands it to the caches; every test
// ends with the caches empty and the real device holding only the references it started with, and
// is released to the last reference.
class CachesOnWine : public ::testing::Test {
protected:
    void SetUp() override {
        m_direct3d = RefPtr<d3d::IDirect3D9>::adopt(d3d::Direct3DCreate9(D3D_SDK_VERSION));
        ASSERT_TRUE(m_direct3d);
        d3d::D3DPRESENT_PARAMETERS parameters{};
        parameters.BackBufferFormat = d3d::D3DFMT_UNKNOWN;
        parameters.BackBufferCount = 1;
        parameters.SwapEffect = d3d::D3DSWAPEFFECT_DISCARD;
        parameters.hDeviceWindow = m_window.handle();
        parameters.Windowed = 1;
        ASSERT_EQ(m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, d3d::D3DDEVTYPE_HAL, m_window.handle(),
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, m_device.put()),
                  0);
        real = d3d::nativeDevice(m_device.get());
        ASSERT_NE(real, nullptr);
        m_startReferences = referenceCount(real);
    }

    void TearDown() override {
        data.textures.clear();
        data.shaders.clear();
        if (real != nullptr) {
            EXPECT_EQ(referenceCount(real), m_startReferences);
            real->AddRef();
            m_device.reset();
            EXPECT_EQ(real->Release(), 0u) << "something still holds the device";
        }
        m_direct3d.reset();
    }

    d3d::IDirect3DDevice9* device() const { return m_device.get(); }

    DataFolder data;
    IDirect3DDevice9* real = nullptr;

private:
    HiddenWindow m_window{64, 64};
    RefPtr<d3d::IDirect3D9> m_direct3d;
    RefPtr<d3d::IDirect3DDevice9> m_device;
    ULONG m_startReferences = 0;
};

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::uint32_t argb(const std::uint8_t* rgba) {
    return std::uint32_t{rgba[3]} << 24 | std::uint32_t{rgba[0]} << 16 | std::uint32_t{rgba[1]} << 8 |
           rgba[2];
}

// The levels of a kTextureSize texture as A8R8G8B8 words, each level the rounded mean of the
// 2 x 2 pixels above it, as our writer makes the mip chain.
std::vector<std::vector<std::uint32_t>> expectedLevels(void (*pixel)(std::uint32_t, std::uint32_t,
                                                                     std::uint8_t*)) {
    std::uint32_t size = fixtures::kTextureSize;
    std::vector<std::uint8_t> rgba(std::size_t{size} * size * 4);
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            pixel(x, y, &rgba[(y * size + x) * 4]);
        }
    }
    std::vector<std::vector<std::uint32_t>> levels;
    while (true) {
        std::vector<std::uint32_t> words;
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            words.push_back(argb(&rgba[i]));
        }
        levels.push_back(words);
        if (size == 1) {
            return levels;
        }
        const std::uint32_t half = size / 2;
        std::vector<std::uint8_t> next(std::size_t{half} * half * 4);
        for (std::uint32_t y = 0; y < half; ++y) {
            for (std::uint32_t x = 0; x < half; ++x) {
                for (std::uint32_t k = 0; k < 4; ++k) {
                    const auto at = [&](std::uint32_t px, std::uint32_t py) {
                        return rgba[(py * size + px) * 4 + k];
                    };
                    const std::uint32_t sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                                              at(2 * x + 1, 2 * y + 1);
                    next[(y * half + x) * 4 + k] = static_cast<std::uint8_t>((sum + 2) / 4);
                }
            }
        }
        rgba = std::move(next);
        size = half;
    }
}

// The pixels of one level of an A8R8G8B8 texture, row by row.
std::vector<std::uint32_t> levelPixels(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(level, &desc);
    std::vector<std::uint32_t> words;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) {
        ADD_FAILURE() << "level " << level << " does not lock";
        return words;
    }
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(locked.pBits) +
                                                                 std::size_t{y} * locked.Pitch);
        words.insert(words.end(), row, row + desc.Width);
    }
    texture->UnlockRect(level);
    return words;
}

} // namespace

TEST_F(CachesOnWine, OurDdsTexturesAreAcceptedAndKeptOncePerName) {
    // Uncompressed and DXT1, loose and from either archive, asked for under .DDS and .TGA names.
    const struct {
        const char* name;
        const char* file;
    } textures[] = {
        {fixtures::kArgbTexture, "CHECKER_ARGB.DDS"}, {"Checker_Dxt1.tga", "CHECKER_DXT1.DDS"},
        {"Demo_Hull.tga", "DEMO_HULL.DDS"},           {"Demo_Engine.tga", "DEMO_ENGINE.DDS"},
        {"Demo_Planet.tga", "DEMO_PLANET.DDS"},
    };
    const ULONG before = referenceCount(real);
    for (const auto& t : textures) {
        RefPtr<d3d::IDirect3DTexture9> first = data.textures.getTexture(device(), t.name);
        ASSERT_TRUE(first) << t.name;
        EXPECT_EQ(data.textures.getTexture(device(), upper(t.name)), first) << t.name;
        EXPECT_EQ(data.files.opens(std::string(kTextures) + t.file), 1) << t.name;
    }
    // Each texture D3DX made holds the device, and the cache holds each texture.
    EXPECT_EQ(referenceCount(real), before + std::size(textures));
}

TEST_F(CachesOnWine, D3DXReadsOurDdsFilesToThePixelsWritten) {
    const std::vector<unsigned char> argbFile =
        readWhole(data.files, std::string(kTextures) + fixtures::kArgbTexture);
    const std::vector<unsigned char> dxt1File =
        readWhole(data.files, std::string(kTextures) + fixtures::kDxt1Texture);
    ASSERT_FALSE(argbFile.empty());
    ASSERT_FALSE(dxt1File.empty());

    // The headers as D3DX reads them: size, the whole mip chain and the format.
    const std::pair<const std::vector<unsigned char>*, D3DFORMAT> files[] = {{&argbFile, D3DFMT_A8R8G8B8},
                                                                             {&dxt1File, D3DFMT_DXT1}};
    for (const auto& [bytes, format] : files) {
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(bytes->data(), static_cast<UINT>(bytes->size()), &info),
                  D3D_OK);
        EXPECT_EQ(info.Width, fixtures::kTextureSize);
        EXPECT_EQ(info.Height, fixtures::kTextureSize);
        EXPECT_EQ(info.MipLevels, fixtures::kTextureLevels);
        EXPECT_EQ(info.Format, format);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    }

    // The uncompressed file as the cache has it decoded: every level exactly as written.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(real, argbFile.data(), static_cast<UINT>(argbFile.size()),
                                                &texture),
              D3D_OK);
    const auto argbLevels = expectedLevels(fixtures::argbPixel);
    ASSERT_EQ(texture->GetLevelCount(), argbLevels.size());
    for (UINT level = 0; level < argbLevels.size(); ++level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        EXPECT_EQ(levelPixels(texture, level), argbLevels[level]) << "level " << level;
    }
    texture->Release();

    // The DXT1 file stays compressed: D3DX takes our blocks as they are.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(real, dxt1File.data(), static_cast<UINT>(dxt1File.size()),
                                                &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), fixtures::kTextureLevels);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_DXT1);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const std::size_t topBlocks = (fixtures::kTextureSize / 4) * (fixtures::kTextureSize / 4) * 8;
    EXPECT_EQ(std::memcmp(locked.pBits, dxt1File.data() + 128, topBlocks), 0);
    texture->UnlockRect(0);
    texture->Release();
    // Decoded, its top level shows the four solid blocks exactly (DXT1 cannot keep the mixed
    // colours of the smaller levels exactly).
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(real, dxt1File.data(), static_cast<UINT>(dxt1File.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, D3DX_FROM_FILE, 0,
                                                  D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, D3DX_FILTER_NONE,
                                                  D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), fixtures::kTextureLevels);
    EXPECT_EQ(levelPixels(texture, 0), expectedLevels(fixtures::dxt1Pixel)[0]);
    texture->Release();
}

TEST_F(CachesOnWine, BrokenOrMissingTexturesAreRefusedAndLookedForAgain) {
    const ULONG before = referenceCount(real);
    const std::pair<const char*, const char*> textures[] = {{fixtures::kTextTexture, "NOTATEXTURE.DDS"},
                                                            {fixtures::kTruncatedTexture, "TRUNCATED.DDS"},
                                                            {"Missing.tga", "MISSING.DDS"}};
    for (const auto& [name, file] : textures) {
        for (int request = 1; request <= 3; ++request) {
            EXPECT_FALSE(data.textures.getTexture(device(), name)) << name;
            EXPECT_EQ(data.files.opens(std::string(kTextures) + file), request) << name;
        }
    }
    // Nothing half-made is kept.
    EXPECT_EQ(referenceCount(real), before);
    // A good texture after them is still made and kept.
    EXPECT_TRUE(data.textures.getTexture(device(), fixtures::kArgbTexture));
    EXPECT_EQ(referenceCount(real), before + 1);
}

TEST_F(CachesOnWine, OurEffectsAreAcceptedWithTheirParametersAndPasses) {
    std::vector<std::pair<std::string, UINT>> effects;
    for (const char* name : kDemoEffects) {
        effects.emplace_back(std::string(name) + ".fx", 1);
    }
    effects.emplace_back(fixtures::kFlatOnceEffect, 1);
    effects.emplace_back(fixtures::kFlatTwiceEffect, 2);

    const ULONG before = referenceCount(real);
    for (const auto& [name, passCount] : effects) {
        RefPtr<d3d::ID3DXEffect> effect = data.shaders.getEffect(device(), name);
        ASSERT_TRUE(effect) << name;
        EXPECT_EQ(data.shaders.getEffect(device(), upper(name)), effect) << name;
        EXPECT_EQ(data.files.opens(kShaders + upper(name) + "O"), 1) << name;

        // The first parameter is the transform, bound by its semantic and used by the technique.
        const d3d::D3DXHANDLE technique = effect->GetTechnique(0);
        ASSERT_NE(technique, nullptr) << name;
        const d3d::D3DXHANDLE first = effect->GetParameter(nullptr, 0);
        ASSERT_NE(first, nullptr) << name;
        d3d::D3DXPARAMETER_DESC desc{};
        ASSERT_EQ(effect->GetParameterDesc(first, &desc), 0) << name;
        EXPECT_STREQ(desc.Name, "WorldViewProjection") << name;
        ASSERT_NE(desc.Semantic, nullptr) << name;
        EXPECT_STREQ(desc.Semantic, "WORLDVIEWPROJECTION") << name;
        EXPECT_EQ(desc.Class, d3d::D3DXPC_MATRIX_ROWS) << name;
        EXPECT_EQ(desc.Type, d3d::D3DXPT_FLOAT) << name;
        EXPECT_EQ(desc.Rows * desc.Columns, 16u) << name;
        EXPECT_TRUE(effect->IsParameterUsed(first, technique)) << name;
        EXPECT_EQ(effect->GetParameterByName(nullptr, "WorldViewProjection"), first) << name;
        EXPECT_EQ(effect->GetParameterByName(nullptr, "NoSuchParameter"), nullptr) << name;

        EXPECT_EQ(effect->SetTechnique(technique), 0) << name;
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), 0) << name;
        EXPECT_EQ(passes, passCount) << name;
        effect->End();
    }
    // The material parameters the demo models set are there with their types.
    RefPtr<d3d::ID3DXEffect> gloss = data.shaders.getEffect(device(), "MeshGloss.fx");
    for (const auto& [parameter, type] :
         {std::pair<const char*, d3d::D3DXPARAMETER_TYPE>{"BaseTexture", d3d::D3DXPT_TEXTURE},
          {"Diffuse", d3d::D3DXPT_FLOAT},
          {"Shininess", d3d::D3DXPT_FLOAT}}) {
        const d3d::D3DXHANDLE handle = gloss->GetParameterByName(nullptr, parameter);
        ASSERT_NE(handle, nullptr) << parameter;
        d3d::D3DXPARAMETER_DESC desc{};
        gloss->GetParameterDesc(handle, &desc);
        EXPECT_EQ(desc.Type, type) << parameter;
    }
    // Each effect D3DX made holds the device; clearing lets every one go.
    EXPECT_GT(referenceCount(real), before);
    gloss.reset();
    data.shaders.clear();
    EXPECT_EQ(referenceCount(real), before);
}

TEST_F(CachesOnWine, BrokenOrMissingEffectsAreRefusedAndLookedForAgain) {
    const ULONG before = referenceCount(real);
    // Text that is not a compiled effect goes to D3DX's compiler, which refuses it; an empty file is
    // refused outright.
    const std::pair<const char*, const char*> effects[] = {{fixtures::kTextEffect, "NOTANEFFECT.FXO"},
                                                           {fixtures::kEmptyEffect, "EMPTY.FXO"},
                                                           {fixtures::kMissingEffect, "NOSUCHEFFECT.FXO"}};
    for (const auto& [name, file] : effects) {
        for (int request = 1; request <= 3; ++request) {
            EXPECT_FALSE(data.shaders.getEffect(device(), name)) << name;
            EXPECT_EQ(data.files.opens(std::string(kShaders) + file), request) << name;
        }
    }
    EXPECT_EQ(referenceCount(real), before);
    EXPECT_TRUE(data.shaders.getEffect(device(), fixtures::kFlatOnceEffect));
}
