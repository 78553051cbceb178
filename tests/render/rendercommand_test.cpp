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

// Width and height from a PNG file's header, or 0 x 0 when it is not one.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    auto big = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        }
        return v;
    };
    return {big(16), big(20)};
}

// Pixels of a PNG file that are not black.
std::size_t litPixels(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return 0;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
    std::size_t lit = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        lit += rgb[i] + rgb[i + 1] + rgb[i + 2] > 0 ? 1 : 0;
    }
    return lit;
}

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

    std::string data() const { return dir.path(); }
    std::string model(const std::string& name) const { return dir.path() + "/Data/Art/Models/" + name; }
    std::string out(const std::string& name) const { return dir.path() + "/" + name; }

    TempDir dir;
    std::ostringstream err;
};

} // namespace

TEST_F(RenderCommand, WrongCommandLinesExitWithTwoAndTheUsage) {
    const std::string ship = model("Demo_Ship.alo");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {data(), ship, out("a.png"), out("b.png")},
             {"--size", "0x10", data(), ship, out("a.png")},
             {"--size", "640", data(), ship, out("a.png")},
             {"--meshes", "1,x", data(), ship, out("a.png")},
             {"--wings", data(), ship, out("a.png")},
             {"--batch", out("pictures"), data()},
             {data(), ship, out("a.png"), "--size"},
         }) {
        EXPECT_EQ(run(args), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(err.str().rfind("usage: kestrin-render", 0), 0u) << err.str();
    }
    EXPECT_FALSE(fs::exists(out("a.png")));
}

TEST_F(RenderCommand, MissingOrBrokenModelsAndUnwritablePicturesExitWithOneAndTheReport) {
    EXPECT_EQ(run({data(), model("Missing.alo"), out("a.png")}), 1);
    EXPECT_EQ(err.str().rfind("Caught exception from managers/", 0), 0u) << err.str();
    EXPECT_NE(err.str().find("Missing.alo"), std::string::npos) << err.str();
    const std::string ship = readFile(model("Demo_Ship.alo"));
    dir.write("Data/Art/Models/Cut.alo", ship.substr(0, ship.size() / 2));
    EXPECT_EQ(run({data(), model("Cut.alo"), out("a.png")}), 1);
    EXPECT_EQ(err.str().rfind("Caught exception from model/", 0), 0u) << err.str();
    EXPECT_EQ(run({data(), data() + "/Data/Art.meg:Data\\Art\\Models\\Missing.alo", out("a.png")}), 1);
    EXPECT_NE(err.str().find("holds no entry Data\\Art\\Models\\Missing.alo"), std::string::npos)
        << err.str();
    EXPECT_FALSE(fs::exists(out("a.png")));
    EXPECT_EQ(run({data(), model("Demo_Ship.alo"), out("no/such/folder/a.png")}), 1);
    EXPECT_EQ(err.str().rfind("kestrin-render: cannot write ", 0), 0u) << err.str();
    EXPECT_EQ(run({data(), model("Demo_Ship.alo"), data()}), 1);
    EXPECT_TRUE(fs::is_directory(data()));
}

TEST_F(RenderCommand, ReadsArchiveEntriesNamedWithEitherSlash) {
    ASSERT_EQ(run({data(), data() + "/Data/Art.meg:DATA\\ART\\MODELS\\DEMO_SHIP.ALO", out("back.png")}), 0)
        << err.str();
    ASSERT_EQ(run({data(), data() + "/Data/Art.meg:data/art/models/demo_ship.alo", out("forward.png")}), 0)
        << err.str();
    ASSERT_EQ(run({data(), model("Demo_Ship.alo"), out("loose.png")}), 0) << err.str();
    EXPECT_GT(litPixels(out("back.png")), 1000u);
    // The archive holds the same ship as the loose file.
    EXPECT_EQ(readFile(out("back.png")), readFile(out("forward.png")));
    EXPECT_EQ(readFile(out("back.png")), readFile(out("loose.png")));
}

TEST_F(RenderCommand, SizeAndMeshesChooseThePicture) {
    const std::string ship = model("Demo_Ship.alo");
    ASSERT_EQ(run({"--size", "160x90", data(), ship, out("all.png")}), 0) << err.str();
    ASSERT_EQ(run({"--size", "160x90", "--meshes", "0", data(), ship, out("one.png")}), 0) << err.str();
    ASSERT_EQ(run({"--size", "160x90", "--meshes", "99", data(), ship, out("none.png")}), 0) << err.str();
    ASSERT_EQ(run({data(), ship, out("default.png")}), 0) << err.str();
    for (const char* name : {"all.png", "one.png", "none.png"}) {
        EXPECT_EQ(pngSize(out(name)), std::make_pair(160u, 90u)) << name;
    }
    EXPECT_EQ(pngSize(out("default.png")), std::make_pair(800u, 600u));
    const std::size_t all = litPixels(out("all.png"));
    const std::size_t one = litPixels(out("one.png"));
    EXPECT_GT(one, 0u);
    EXPECT_LT(one, all);
    EXPECT_EQ(litPixels(out("none.png")), 0u);
}

TEST_F(RenderCommand, BatchWritesOnePicturePerModelOfAFolderOrAnArchive) {
    ASSERT_EQ(run({"--batch", out("folder"), "--size", "64x48", data(), data() + "/Data/Art/Models"}), 0)
        << err.str();
    ASSERT_EQ(run({"--size", "32x24", "--batch", out("archive"), data(), data() + "/Data/Art.meg"}), 0)
        << err.str();
    std::vector<std::string> written;
    for (const char* folder : {"folder", "archive"}) {
        for (const fs::directory_entry& e : fs::directory_iterator(out(folder))) {
            written.push_back(std::string(folder) + "/" + e.path().filename().string());
            EXPECT_EQ(pngSize(e.path().string()),
                      folder[0] == 'f' ? std::make_pair(64u, 48u) : std::make_pair(32u, 24u));
        }
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"archive/DATA_ART_MODELS_DEMO_PLANET.png",
                                                 "archive/DATA_ART_MODELS_DEMO_SHIP.png",
                                                 "folder/Demo_Oddities.png", "folder/Demo_Ship.png"}));
    // A broken model fails the batch, not the pictures of the others.
    const std::string ship = readFile(model("Demo_Ship.alo"));
    dir.write("Data/Art/Models/Broken.alo", ship.substr(0, ship.size() / 2));
    fs::remove_all(out("folder"));
    EXPECT_EQ(run({"--batch", out("folder"), data(), data() + "/Data/Art/Models"}), 1);
    EXPECT_EQ(err.str().rfind("Broken.alo:\nCaught exception from ", 0), 0u) << err.str();
    EXPECT_TRUE(fs::exists(out("folder/Demo_Ship.png")));
    EXPECT_FALSE(fs::exists(out("folder/Broken.png")));
}
