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

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A PNG file's size and how many of its pixels are not black; all 0 when it is no PNG.
struct Picture {
    std::uint32_t width = 0, height = 0;
    std::size_t lit = 0;
};

Picture picture(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture p;
    if (png_image_begin_read_from_file(&image, path.c_str()) != 0) {
        image.format = PNG_FORMAT_RGB;
        std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
        png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
        p = {image.width, image.height, 0};
        for (std::size_t i = 0; i < rgb.size(); i += 3) {
            p.lit += rgb[i] + rgb[i + 1] + rgb[i + 2] > 0 ? 1 : 0;
        }
    }
    return p;
}

// The demo data folder, and kestrin-render run on it with its error output kept.
class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(writeDemoData(dir.path(), error)) << error;
    }
    int run(const std::vector<std::string>& args) {
        err.str("");
        return runRenderCommand(args, err, nullptr);
    }
    std::string at(const std::string& name) const { return dir.path() + "/" + name; }

    TempDir dir;
    const std::string data = dir.path();
    const std::string ship = at("Data/Art/Models/Demo_Ship.alo");
    std::ostringstream err;
};

} // namespace

TEST_F(RenderCommand, WrongCommandLinesExitWithTwoAndTheUsage) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {data, ship, at("a.png"), at("b.png")},
                                               {"--size", "0x10", data, ship, at("a.png")},
                                               {"--size", "640", data, ship, at("a.png")},
                                               {"--meshes", "1,x", data, ship, at("a.png")},
                                               {"--wings", data, ship, at("a.png")},
                                               {"--batch", at("pictures"), data},
                                               {data, ship, at("a.png"), "--size"}}) {
        EXPECT_EQ(run(args), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(err.str().rfind("usage: kestrin-render", 0), 0u) << err.str();
    }
    EXPECT_FALSE(fs::exists(at("a.png")));
}

TEST_F(RenderCommand, MissingOrBrokenModelsAndUnwritablePicturesExitWithOneAndTheReport) {
    dir.write("Data/Art/Models/Cut.alo", readFile(ship).substr(0, readFile(ship).size() / 2));
    for (const auto& [model, report] :
         {std::make_pair(at("Data/Art/Models/Missing.alo"), "Caught exception from managers/"),
          std::make_pair(at("Data/Art/Models/Cut.alo"), "Caught exception from model/"),
          std::make_pair(data + "/Data/Art.meg:Data\\Art\\Models\\Missing.alo", "kestrin-render: ")}) {
        EXPECT_EQ(run({data, model, at("a.png")}), 1);
        EXPECT_EQ(err.str().rfind(report, 0), 0u) << err.str();
    }
    EXPECT_NE(err.str().find("holds no entry Data\\Art\\Models\\Missing.alo"), std::string::npos)
        << err.str();
    EXPECT_FALSE(fs::exists(at("a.png")));
    EXPECT_EQ(run({data, ship, at("no/such/folder/a.png")}), 1);
    EXPECT_EQ(err.str().rfind("kestrin-render: cannot write ", 0), 0u) << err.str();
    EXPECT_EQ(run({data, ship, data}), 1);
    EXPECT_TRUE(fs::is_directory(data));
}

TEST_F(RenderCommand, DrawsTheSameShipFromTheArchiveNamedWithEitherSlashAndFromItsFile) {
    ASSERT_EQ(run({data, data + "/Data/Art.meg:DATA\\ART\\MODELS\\DEMO_SHIP.ALO", at("back.png")}), 0)
        << err.str();
    ASSERT_EQ(run({data, data + "/Data/Art.meg:data/art/models/demo_ship.alo", at("forward.png")}), 0)
        << err.str();
    ASSERT_EQ(run({data, ship, at("loose.png")}), 0) << err.str();
    EXPECT_GT(picture(at("back.png")).lit, 1000u);
    EXPECT_EQ(readFile(at("back.png")), readFile(at("forward.png")));
    EXPECT_EQ(readFile(at("back.png")), readFile(at("loose.png")));
}

TEST_F(RenderCommand, SizeAndMeshesChooseThePicture) {
    ASSERT_EQ(run({"--size", "160x90", data, ship, at("all.png")}), 0) << err.str();
    ASSERT_EQ(run({"--size", "160x90", "--meshes", "0", data, ship, at("one.png")}), 0) << err.str();
    ASSERT_EQ(run({"--size", "160x90", "--meshes", "99", data, ship, at("none.png")}), 0) << err.str();
    ASSERT_EQ(run({data, ship, at("default.png")}), 0) << err.str();
    const Picture all = picture(at("all.png"));
    const Picture one = picture(at("one.png"));
    const Picture none = picture(at("none.png"));
    const Picture standard = picture(at("default.png"));
    for (const Picture& p : {all, one, none}) {
        EXPECT_EQ(std::make_pair(p.width, p.height), std::make_pair(160u, 90u));
    }
    EXPECT_EQ(std::make_pair(standard.width, standard.height), std::make_pair(800u, 600u));
    EXPECT_GT(one.lit, 0u);
    EXPECT_LT(one.lit, all.lit);
    EXPECT_EQ(none.lit, 0u);
}

TEST_F(RenderCommand, BatchWritesOnePicturePerModelOfAFolderOrAnArchive) {
    ASSERT_EQ(run({"--batch", at("folder"), "--size", "64x48", data, data + "/Data/Art/Models"}), 0)
        << err.str();
    ASSERT_EQ(run({"--size", "32x24", "--batch", at("archive"), data, data + "/Data/Art.meg"}), 0)
        << err.str();
    std::vector<std::string> written;
    for (const char* folder : {"folder", "archive"}) {
        for (const fs::directory_entry& e : fs::directory_iterator(at(folder))) {
            written.push_back(std::string(folder) + "/" + e.path().filename().string());
            const Picture p = picture(e.path().string());
            EXPECT_EQ(p.width, folder[0] == 'f' ? 64u : 32u);
        }
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"archive/DATA_ART_MODELS_DEMO_PLANET.png",
                                                 "archive/DATA_ART_MODELS_DEMO_SHIP.png",
                                                 "folder/Demo_Oddities.png", "folder/Demo_Ship.png"}));
    // A broken model fails the batch, not the pictures of the others.
    dir.write("Data/Art/Models/Broken.alo", readFile(ship).substr(0, readFile(ship).size() / 2));
    fs::remove_all(at("folder"));
    EXPECT_EQ(run({"--batch", at("folder"), data, data + "/Data/Art/Models"}), 1);
    EXPECT_EQ(err.str().rfind("Broken.alo:\nCaught exception from ", 0), 0u) << err.str();
    EXPECT_TRUE(fs::exists(at("folder/Demo_Ship.png")));
    EXPECT_FALSE(fs::exists(at("folder/Broken.png")));
}
