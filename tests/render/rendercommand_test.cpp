#include "demodata/demodata.h"
#include "render/rendercommand.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A PNG file's size and how many of its pixels are not black; all 0 when it is no PNG.
struct Picture {
    std::uint32_t width = 0, height = 0;
    std::size_t lit = 0;
};

// The demo data folder, and kestrin-render run on it with its error output kept.
class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(writeDemoData(dir.path(), error)) << error;
    }
    // Runs the words of line, "@" standing for the data folder and "%" for the demo ship's file.
    int run(std::string line) {
        for (std::size_t at = line.find_first_of("@%"); at != std::string::npos;
             at = line.find_first_of("@%", at)) {
            line.replace(at, 1, line[at] == '@' ? dir.path() : dir.path() + "/Data/Art/Models/Demo_Ship.alo");
        }
        std::istringstream words(line);
        err.str("");
        return runRenderCommand({std::istream_iterator<std::string>(words), {}}, err, nullptr);
    }
    std::string read(const std::string& name) const {
        std::ifstream in(dir.path() + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Picture picture(const std::string& name) const {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        Picture p;
        if (png_image_begin_read_from_file(&image, (dir.path() + "/" + name).c_str()) != 0) {
            image.format = PNG_FORMAT_GRAY;
            std::vector<std::uint8_t> grey(PNG_IMAGE_SIZE(image));
            png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr);
            p = {image.width, image.height,
                 grey.size() - std::size_t(std::count(grey.begin(), grey.end(), 0))};
        }
        return p;
    }

    TempDir dir;
    std::ostringstream err;
};

} // namespace

TEST_F(RenderCommand, WrongCommandLinesExitWithTwoAndTheUsage) {
    for (const char* line :
         {"", "@ % @/a.png @/b.png", "--size 0x10 @ % @/a.png", "--size 640 @ % @/a.png",
          "--meshes 1,x @ % @/a.png", "--wings @ % @/a.png", "--batch @/pictures @", "@ % @/a.png --size"}) {
        EXPECT_EQ(run(line), 2) << line;
        EXPECT_EQ(err.str().rfind("usage: kestrin-render", 0), 0u) << err.str();
    }
    EXPECT_FALSE(fs::exists(dir.path() + "/a.png"));
}

TEST_F(RenderCommand, MissingOrBrokenModelsAndUnwritablePicturesExitWithOneAndTheReport) {
    dir.write("Data/Art/Models/Cut.alo", read("Data/Art/Models/Demo_Ship.alo").substr(0, 3000));
    for (const auto& [line, report] :
         {std::make_pair("@ @/Data/Art/Models/Missing.alo @/a.png", "Caught exception from managers/"),
          std::make_pair("@ @/Data/Art/Models/Cut.alo @/a.png", "Caught exception from model/"),
          std::make_pair("@ @/Data/Art.meg:Data\\Art\\Models\\Missing.alo @/a.png", "kestrin-render: "),
          std::make_pair("@ % @/no/such/folder/a.png", "kestrin-render: cannot write "),
          std::make_pair("@ % @", "kestrin-render: cannot write ")}) {
        EXPECT_EQ(run(line), 1) << line;
        EXPECT_EQ(err.str().rfind(report, 0), 0u) << err.str();
    }
    EXPECT_FALSE(fs::exists(dir.path() + "/a.png"));
    EXPECT_TRUE(fs::is_directory(dir.path()));
}

TEST_F(RenderCommand, DrawsTheShipFromItsFileOrTheArchiveAtTheSizeAndWithTheMeshesAsked) {
    // Archive entries are named with either slash, in any case; the archive holds the same ship.
    for (const char* line :
         {"@ @/Data/Art.meg:DATA\\ART\\MODELS\\DEMO_SHIP.ALO @/back.png",
          "@ @/Data/Art.meg:data/art/models/demo_ship.alo @/forward.png", "@ % @/loose.png",
          "--size 160x90 @ % @/all.png", "--size 160x90 --meshes 0 @ % @/one.png",
          "--size 160x90 --meshes 99 @ % @/none.png"}) {
        ASSERT_EQ(run(line), 0) << line << ": " << err.str();
    }
    EXPECT_EQ(read("back.png"), read("forward.png"));
    EXPECT_EQ(read("back.png"), read("loose.png"));
    EXPECT_EQ(std::make_tuple(picture("back.png").width, picture("back.png").height),
              std::make_tuple(800u, 600u));
    EXPECT_GT(picture("back.png").lit, 1000u);
    EXPECT_EQ(std::make_tuple(picture("all.png").width, picture("none.png").height),
              std::make_tuple(160u, 90u));
    EXPECT_GT(picture("one.png").lit, 0u);
    EXPECT_LT(picture("one.png").lit, picture("all.png").lit);
    EXPECT_EQ(picture("none.png").lit, 0u);
}

TEST_F(RenderCommand, BatchWritesOnePicturePerModelOfAFolderOrAnArchive) {
    ASSERT_EQ(run("--batch @/folder --size 64x48 @ @/Data/Art/Models"), 0) << err.str();
    ASSERT_EQ(run("--size 32x24 --batch @/archive @ @/Data/Art.meg"), 0) << err.str();
    for (const char* name :
         {"folder/Demo_Oddities.png", "folder/Demo_Ship.png", "archive/DATA_ART_MODELS_DEMO_PLANET.png",
          "archive/DATA_ART_MODELS_DEMO_SHIP.png"}) {
        EXPECT_EQ(picture(name).width, name[0] == 'f' ? 64u : 32u) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() + "/folder"), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() + "/archive"), fs::directory_iterator()), 2);
    // A broken model fails the batch, not the pictures of the others.
    dir.write("Data/Art/Models/Broken.alo", read("Data/Art/Models/Demo_Ship.alo").substr(0, 3000));
    fs::remove_all(dir.path() + "/folder");
    EXPECT_EQ(run("--batch @/folder @ @/Data/Art/Models"), 1);
    EXPECT_EQ(err.str().rfind("Broken.alo:\nCaught exception from ", 0), 0u) << err.str();
    EXPECT_TRUE(fs::exists(dir.path() + "/folder/Demo_Ship.png"));
    EXPECT_FALSE(fs::exists(dir.path() + "/folder/Broken.png"));
}
