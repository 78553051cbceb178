#include "glfixture.h"
#include "managers/filemanager.h"
#include "managers/texturemanager.h"
#include "support/tempdir.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

using namespace d3d;

TEST(GlTexture, RefusesTextTruncationsAndCubeMaps) {
    GlFixture f;
    const DdsWriter writer(8, 8, std::vector<std::uint8_t>(256, 90));
    const std::string argb = writer.build(DdsWriter::Format::A8R8G8B8);
    const std::string dxt1 = writer.build(DdsWriter::Format::Dxt1);
    ASSERT_TRUE(f.texture(argb));
    ASSERT_TRUE(f.texture(dxt1));
    std::string cube = argb;
    cube[113] = '\xFE'; // caps2: a cube map with all six faces
    std::vector<std::string> bad = {"This is not a texture.\n", cube};
    for (const std::string& good : {argb, dxt1}) {
        for (std::size_t cut = 0; cut < good.size(); ++cut) {
            bad.push_back(good.substr(0, cut));
        }
    }
    for (const std::string& bytes : bad) {
        RefPtr<IDirect3DTexture9> texture;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemory(f.device.get(), bytes.data(),
                                                    static_cast<UINT>(bytes.size()), texture.put()),
                  D3DXERR_INVALIDDATA)
            << bytes.size();
        EXPECT_FALSE(texture);
    }

    TempDir dir;
    dir.write("Data/MegaFiles.xml", "<Mega_Files/>");
    dir.write("Data/Art/Textures/Text.dds", bad[0]);
    dir.write("Data/Art/Textures/Cube.dds", cube);
    dir.write("Data/Art/Textures/Empty.dds", "");
    dir.write("Data/Art/Textures/Cut.dds", dxt1.substr(0, dxt1.size() - 1));
    dir.write("Data/Art/Textures/Good.dds", dxt1);
    FileManager files(dir.folder());
    TextureManager textures(&files, "Data\\Art\\Textures\\");
    for (const char* name : {"Text.tga", "Cube.dds", "Empty.dds", "Cut.tga", "Missing.dds"}) {
        EXPECT_FALSE(textures.getTexture(f.device.get(), name)) << name;
    }
    EXPECT_TRUE(textures.getTexture(f.device.get(), "Good.tga"));
}
