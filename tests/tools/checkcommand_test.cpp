#include "info/ddsheadercheck.h"
#include "info/infocommand.h"
#include "info/modelchecker.h"
#include "info/nativeeffectcheck.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"
#include "writers/ddswriter.h"
#include "writers/effectwriter.h"
#include "writers/megwriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

namespace {

using Status = ModelChecker::Status;

std::string texture4x4() {
    return DdsWriter(4, 4, std::vector<std::uint8_t>(64, 200)).build(DdsWriter::Format::A8R8G8B8);
}

// An effect declaring the parameters the models below set: Diffuse a float4, Shininess a float,
// BaseTexture a texture, sampled through BaseSampler.
std::string glossEffect() {
    EffectWriter w;
    w.addParameter({"Diffuse", EffectWriter::Type::Float4, "", {}, "", {}, {}});
    w.addParameter({"Shininess", EffectWriter::Type::Float, "", {}, "", {}, {}});
    w.addParameter({"BaseTexture", EffectWriter::Type::Texture, "", {}, "", {}, {}});
    w.addParameter({"BaseSampler", EffectWriter::Type::Sampler, "", {}, "BaseTexture", {}, {}});
    const EffectWriter::Shader vs{"vs_1_1\ndcl_position v0\nmov oPos, v0\n", {}};
    const EffectWriter::Shader ps{
        "ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmul r0, r0, c0\nmov oC0, r0\n",
        {{"Diffuse", 0}, {"BaseSampler", 0}}};
    w.addTechnique({"Gloss", {{"P0", {}, vs, ps, {}}}, {}});
    return w.build();
}

AloMesh mesh(const std::string& name, const std::string& effect, const std::string& texture) {
    AloMesh m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.indices = {0, 1, 2};
    m.effect = effect;
    m.parameters = {AloParameter::float4Value("Diffuse", 1, 1, 1, 1),
                    AloParameter::floatValue("Shininess", 8),
                    AloParameter::textureName("BaseTexture", texture)};
    return m;
}

std::string model(const std::vector<AloMesh>& meshes) {
    AloWriter w;
    for (const AloMesh& m : meshes) {
        w.addMesh(m);
    }
    return w.build();
}

// A data folder with one of each problem: Props.alo, in Art.meg, has a mesh for each case; a loose
// Shadowed.alo hides a broken one of the same path in the archive; Broken.meg is cut short and
// Absent.meg missing, so neither is mounted.
class CheckCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>();
        const TempDir& d = *s_dir;
        d.write("Data/MegaFiles.xml", "<Mega_Files><File>Data\\Art.meg</File><File>Data\\Broken.meg</File>"
                                      "<File>Data\\Absent.meg</File></Mega_Files>");
        AloMesh params = mesh("Params", "meshgloss.FX", "Archived.tga");
        params.parameters = {
            AloParameter::floatValue("Glow", 1), AloParameter::float4Value("Shininess", 1, 1, 1, 1),
            AloParameter::floatValue("Diffuse", 1), AloParameter::textureName("BaseTexture", "Archived.tga")};
        AloMesh bare = mesh("NoMaterial", "", "");
        bare.hasMaterial = false;
        const std::string dds = texture4x4();
        MegWriter art;
        art.add("DATA\\ART\\SHADERS\\MESHGLOSS.FXO", glossEffect());
        art.add("DATA\\ART\\SHADERS\\REFUSED.FXO", "not an effect");
        art.add("DATA\\ART\\TEXTURES\\ARCHIVED.DDS", dds);
        art.add("DATA\\ART\\TEXTURES\\SHADOWED.DDS", dds);
        art.add("DATA\\ART\\TEXTURES\\TRUNCATED.DDS", dds.substr(0, dds.size() - 1));
        art.add("DATA\\ART\\MODELS\\PROPS.ALO",
                model({mesh("Archived", "MeshGloss.fx", "Archived.tga"),
                       mesh("Shadowed", "MeshGloss.fx", "shadowed.TGA"),
                       mesh("TgaOnly", "MeshGloss.fx", "Only.tga"),
                       mesh("Missing", "MeshGloss.fx", "Nowhere.tga"),
                       mesh("Header", "MeshGloss.fx", "Header.dds"),
                       mesh("Truncated", "MeshGloss.fx", "Truncated.tga"),
                       mesh("InBrokenArchive", "MeshGloss.fx", "InBroken.dds"),
                       mesh("NoEffect", "alDefault.fx", "Archived.tga"),
                       mesh("Refused", "Refused.fx", "Archived.tga"), params, bare}));
        const std::string cut = model({mesh("A", "MeshGloss.fx", "Archived.tga")}).substr(0, 20);
        art.add("DATA\\ART\\MODELS\\SHADOWED.ALO", cut);
        d.write("Data/Art.meg", art.build());
        MegWriter broken;
        broken.add("DATA\\ART\\TEXTURES\\INBROKEN.DDS", dds);
        broken.add("DATA\\ART\\MODELS\\INBROKEN.ALO", model({mesh("A", "MeshGloss.fx", "Archived.tga")}));
        d.write("Data/Broken.meg", broken.build().substr(0, 30));
        d.write("Data/Art/Textures/Shadowed.dds", dds);
        d.write("Data/Art/Textures/Only.tga", "TGA");
        d.write("Data/Art/Textures/Header.dds", dds.substr(0, 4) + std::string(4, '\0') + dds.substr(8));
        d.write("Data/Art/Models/Shadowed.alo", model({mesh("Fine", "MeshGloss.fx", "Archived.tga")}));
        d.write("Data/Art/Models/Sub/Cut.alo", cut);
        s_art = toUpperAscii(d.folder() + "Data\\Art.meg");
    }

    static void TearDownTestSuite() { s_dir.reset(); }

    struct Run {
        int status;
        std::string out;
        std::string err;
    };

    static Run run(std::vector<std::string> args, std::ostream* progress = nullptr) {
        std::ostringstream out;
        std::ostringstream err;
        args.insert(args.begin(), "check");
        const int status = runInfoCommand(args, out, err, progress);
        return {status, out.str(), err.str()};
    }

    static std::unique_ptr<TempDir> s_dir;
    static std::string s_art;
};

std::unique_ptr<TempDir> CheckCommandTest::s_dir;
std::string CheckCommandTest::s_art;

TEST_F(CheckCommandTest, ReportsEachMeshAsTheViewerWouldFindItsFiles) {
    FileManager files(s_dir->folder());
    NativeEffectCheck native;
    ModelChecker checker(files,
                         [&native](const std::vector<unsigned char>& bytes) { return native.check(bytes); });
    std::string source;
    const RefPtr<File> file = files.locate("Data\\Art\\Models\\Props.alo", source);
    ASSERT_TRUE(file);
    const ModelChecker::ModelResult result = checker.check("Props", source, *file);
    ASSERT_TRUE(result.loaded) << result.error;
    ASSERT_EQ(result.meshes.size(), 11u);

    struct Row {
        const char* mesh;
        Status effect;
        int accepted; // -1: not asked
        Status texture;
        const char* where; // "art", "loose" or "" for none
        const char* reason;
    };
    const Row rows[] = {
        {"Archived", Status::Found, 1, Status::Found, "art", ""},
        {"Shadowed", Status::Found, 1, Status::Found, "loose", ""},
        {"TgaOnly", Status::Found, 1, Status::TgaOnly, "loose", ""},
        {"Missing", Status::Found, 1, Status::Missing, "", ""},
        {"Header", Status::Found, 1, Status::Broken, "loose", "header size 0, not 124"},
        {"Truncated", Status::Found, 1, Status::Broken, "art",
         "cut short: its levels need 212 bytes, it holds 211"},
        {"InBrokenArchive", Status::Found, 1, Status::Missing, "", ""},
        {"NoEffect", Status::Missing, -1, Status::Found, "art", ""},
        {"Refused", Status::Found, 0, Status::Found, "art", ""},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const ModelChecker::MeshResult& m = result.meshes[i];
        SCOPED_TRACE(row.mesh);
        EXPECT_EQ(m.name, row.mesh);
        EXPECT_EQ(m.effect.file.status, row.effect);
        EXPECT_EQ(m.effect.verdict ? int(m.effect.verdict->accepted) : -1, row.accepted);
        ASSERT_EQ(m.textures.size(), 1u);
        EXPECT_EQ(m.textures[0].file.status, row.texture);
        const std::string where = row.where;
        EXPECT_EQ(m.textures[0].file.source, where == "art" ? s_art : where);
        EXPECT_EQ(m.textures[0].file.reason, row.reason);
        // Only an effect the renderer accepted has its declarations compared; these all fit.
        EXPECT_EQ(m.parametersChecked, row.accepted == 1);
        EXPECT_TRUE(m.parameters.empty());
    }
    EXPECT_EQ(result.meshes[0].effect.file.path, "Data\\Art\\Shaders\\MESHGLOSS.FXO");
    EXPECT_EQ(result.meshes[0].effect.verdict->technique, "Gloss");
    EXPECT_EQ(result.meshes[2].textures[0].file.path, "Data\\Art\\Textures\\ONLY.DDS");

    const ModelChecker::MeshResult& params = result.meshes[9];
    ASSERT_EQ(params.parameters.size(), 3u);
    EXPECT_EQ(params.parameters[0].name + "/" + params.parameters[0].expected + "/" +
                  params.parameters[0].declared,
              "Glow/float/");
    EXPECT_EQ(params.parameters[1].name + "/" + params.parameters[1].expected + "/" +
                  params.parameters[1].declared,
              "Shininess/float4/float");
    EXPECT_EQ(params.parameters[2].name + "/" + params.parameters[2].expected + "/" +
                  params.parameters[2].declared,
              "Diffuse/float/float4");
    EXPECT_FALSE(result.meshes[10].hasMaterial);
}

TEST_F(CheckCommandTest, ChecksEveryModelOnceFromWhereTheFileManagerFindsItAndLeavesTheFolderAlone) {
    const auto snapshot = [] {
        std::string listing;
        for (const auto& e : std::filesystem::recursive_directory_iterator(s_dir->path())) {
            listing += e.path().string() + " " +
                       std::to_string(e.is_regular_file() ? std::filesystem::file_size(e.path()) : 0) + "\n";
        }
        return listing;
    };
    const std::string before = snapshot();
    std::ostringstream progress;
    const Run r = run({s_dir->path()}, &progress);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(snapshot(), before);
    // In the order of the upper-cased game paths; the broken archive's model is not among them.
    std::string artKey = s_art;
    artKey.insert(artKey.find('\\'), "\\");
    const std::string models[][2] = {
        {"DATA\\\\ART\\\\MODELS\\\\PROPS.ALO", "\"" + artKey + "\""},
        {"Data\\\\Art\\\\Models\\\\Shadowed.alo", "\"loose\",\"problems\":0"},
        {"Data\\\\Art\\\\Models\\\\Sub\\\\Cut.alo", "\"loose\",\"problems\":1,\"error\""}};
    std::size_t at = 0;
    for (const auto& m : models) {
        at = r.out.find("{\"model\":\"" + m[0] + "\",\"source\":" + m[1], at);
        EXPECT_NE(at, std::string::npos) << m[0];
    }
    EXPECT_EQ(r.out.find("INBROKEN.ALO"), std::string::npos);
    EXPECT_NE(r.out.find(
                  "\"summary\":{\"models\":3,\"meshes\":12,\"problems\":{\"modelNotLoaded\":1,"
                  "\"effectMissing\":1,\"effectRefused\":1,\"textureMissing\":2,\"textureTgaOnly\":1,"
                  "\"textureBroken\":2,\"parameterUndeclared\":1,\"parameterType\":2},\"missing\":[{\"file\":"
                  "\"Data\\\\Art\\\\Shaders\\\\ALDEFAULT.FXO\",\"models\":[\"DATA\\\\ART\\\\MODELS\\\\PROPS."
                  "ALO\"]}"),
              std::string::npos)
        << r.out;
    // Each line blanks what the longer one before it left, and the last is blanked at the end.
    const std::string last = "\r[3/3] Data\\Art\\Models\\Sub\\Cut.alo \r" + std::string(33, ' ') + "\r";
    ASSERT_GE(progress.str().size(), last.size());
    EXPECT_EQ(progress.str().substr(progress.str().size() - last.size()), last);
}

TEST_F(CheckCommandTest, TakesModelsAsFilesGamePathsAndArchiveEntries) {
    const std::string folder = s_dir->folder();
    struct Case {
        std::string model;
        int status;
        std::string expected; // in the output
    };
    const Case cases[] = {
        {folder + "Data/Art/Models/Shadowed.alo", 0, "\"source\":\"file\",\"problems\":0"},
        {"data/art/models/shadowed.ALO", 0, "\"source\":\"loose\",\"problems\":0"},
        {folder + "Data/Art.meg:Data/Art/Models/Props.alo", 1, "\"source\":\"" + folder + "Data/Art.meg\""},
        {folder + "Data/Art.meg:Data/Art/Models/Shadowed.alo", 1, "\\n\\nUnable to read chunk header\\n"},
        {"Data\\Art\\Models\\Nothing.alo", 1,
         "\"source\":null,\"problems\":1,\"error\":\"Caught exception from"},
    };
    for (const Case& c : cases) {
        const Run r = run({s_dir->path(), c.model});
        EXPECT_EQ(r.status, c.status) << c.model;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.model << "\n" << r.out;
    }
}

TEST_F(CheckCommandTest, SummarisesForAPersonAndRefusesWrongCommandLines) {
    const Run text = run({"--text", s_dir->path()});
    EXPECT_EQ(text.status, 1);
    // The counts by kind (the JSON's summary, checked above) come between these.
    EXPECT_EQ(text.out.substr(0, text.out.find('\n') + 1), "3 models, 12 meshes: 11 problems\n");
    const std::string props = "1 model: DATA\\ART\\MODELS\\PROPS.ALO\n";
    EXPECT_EQ(
        text.out.substr(text.out.find("Missing files")),
        "Missing files (4):\n"
        "  Data\\Art\\Shaders\\ALDEFAULT.FXO: " +
            props + "  Data\\Art\\Textures\\INBROKEN.DDS: " + props + "  Data\\Art\\Textures\\NOWHERE.DDS: " +
            props + "  Data\\Art\\Textures\\ONLY.DDS (only Data\\Art\\Textures\\ONLY.TGA exists): " + props +
            "Broken files (3):\n"
            "  Data\\Art\\Shaders\\REFUSED.FXO: not a compiled effect file; " +
            props + "  Data\\Art\\Textures\\HEADER.DDS: header size 0, not 124; " + props +
            "  Data\\Art\\Textures\\TRUNCATED.DDS: cut short: its levels need 212 bytes, it holds 211; " +
            props +
            "Models that do not load (1):\n"
            "  Data\\Art\\Models\\Sub\\Cut.alo: Unable to read chunk header\n");
    EXPECT_EQ(run({"--text", s_dir->path(), "Data/Art/Models/Shadowed.alo"}).out,
              "1 model, 1 mesh: everything they need resolves\n");

    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({"--json", s_dir->path()}).status, 2);
    TempDir empty;
    const Run missing = run({empty.path()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("Unable to find file:\n" + empty.folder() + "Data\\MegaFiles.xml"),
              std::string::npos);
}

TEST(DdsHeaderCheck, AsksForTheBytesD3dxReadsAndRefusesWhatItRefuses) {
    const std::string rgba = texture4x4();
    const std::string dxt1 =
        DdsWriter(4, 4, std::vector<std::uint8_t>(64, 200)).build(DdsWriter::Format::Dxt1);
    const auto with = [](std::string bytes, std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        }
        return bytes;
    };
    struct Case {
        const char* what;
        std::string bytes;
        std::uint64_t size; // 0: refused
        const char* reason;
    };
    const Case cases[] = {
        {"A8R8G8B8 4x4, 3 levels", rgba, 128 + 64 + 16 + 4, ""},
        {"DXT1, a block per level", dxt1, 128 + 3 * 8, ""},
        {"level count 0 means 1", with(rgba, 28, 0), 128 + 64, ""},
        {"six cube faces", with(rgba, 112, 0xFE00), 128 + 6 * 84, ""},
        {"volume of depth 4", with(with(rgba, 112, 0x200000), 24, 4), 128 + 256 + 32 + 4, ""},
        {"2^32-1 levels of 1x1", with(with(with(rgba, 12, 1), 16, 1), 28, 0xFFFFFFFF),
         128 + 4ull * 0xFFFFFFFF, ""},
        {"the largest sides", with(with(rgba, 12, 0xFFFFFFFF), 16, 0xFFFFFFFF), 128 + (1ull << 40), ""},
        {"no magic", "DDS", 0, "not a DDS file"},
        {"short header", rgba.substr(0, 100), 0, "the header is cut short: 100 of 128 bytes"},
        {"header size", with(rgba, 4, 128), 0, "header size 128, not 124"},
        {"pixel format size", with(rgba, 76, 0), 0, "pixel format size 0, not 32"},
        {"unknown FourCC", with(dxt1, 84, 0x31545844 + 0x07000000), 0, "FourCC 0x38545844"},
        {"12 bits per pixel", with(rgba, 88, 12), 0, "12 bits per pixel"},
        {"no format flag", with(rgba, 80, 0), 0, "flags 0x00000000"},
        {"width 0", with(rgba, 16, 0), 0, "a dimension of 0 (0 x 4 x 1)"},
        {"volume of depth 0", with(rgba, 112, 0x200000), 0, "a dimension of 0 (4 x 4 x 0)"},
    };
    for (const Case& c : cases) {
        std::string problem;
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        EXPECT_EQ(DdsHeaderCheck::requiredSize(bytes, std::min<std::size_t>(c.bytes.size(), 128), problem),
                  c.size)
            << c.what;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << c.what << ": " << problem;
    }
    EXPECT_EQ(rgba.size(), 128u + 84u);
    EXPECT_EQ(dxt1.size(), 128u + 24u);
}

} // namespace
