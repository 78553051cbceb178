// kestrin-fuzz-seeds FOLDER: writes the seed corpora of the fuzz targets, one folder per target
// (mega, model, filemanager, xml, effect, dds), made by the same writers the tests use. Besides well-formed
// files it writes a few a careless tool would make (cut short, odd tables, chunks declaring more
// than they hold), so that the error paths are reached from the first run.
//
// kestrin-fuzz-seeds --data-folders FOLDER: lays out every data folder seed (and every XML seed
// as an archive list) as a data folder of its own, FOLDER/NAME/Data/..., for tools that take a
// data folder rather than one input.

#include "datafolderinput.h"

#include "model/alochunks.h"
#include "writers/alowriter.h"
#include "writers/bytewriter.h"
#include "writers/chunkwriter.h"
#include "writers/ddswriter.h"
#include "writers/demoeffects.h"
#include "writers/effectwriter.h"
#include "writers/megwriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Seed {
    std::string name;
    std::string bytes;
};

AloMesh quad(const std::string& name) {
    AloMesh m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.indices = {0, 1, 2, 0, 2, 3};
    m.parameters = {AloParameter::floatValue("Shininess", 16),
                    AloParameter::float4Value("Color", 1, 0.5f, 0.25f, 1),
                    AloParameter::textureName("BaseTexture", "W_Hull.dds")};
    return m;
}

std::string fullModel() {
    AloWriter w;
    AloBone root;
    root.name = "Root";
    w.addBone(root);
    AloBone arm;
    arm.name = "Arm";
    arm.parent = 0;
    arm.matrix[3] = 10;
    w.addBone(arm);
    w.addMesh(quad("Hull"));
    AloMesh bare = quad("");
    bare.hasMaterial = false;
    w.addMesh(bare);
    AloMesh empty;
    empty.name = "Empty";
    empty.hasGeometry = false;
    w.addMesh(empty);
    w.connect(0, 1);
    w.connect(1, 0);
    return w.build();
}

std::vector<Seed> modelSeeds() {
    std::vector<Seed> seeds;
    const std::string full = fullModel();
    seeds.push_back({"full.alo", full});
    seeds.push_back({"truncated.alo", full.substr(0, full.size() / 2)});
    {
        AloWriter w;
        w.addMesh(quad("Only"));
        seeds.push_back({"mesh.alo", w.build()});
    }
    {
        // Bones whose parents run in a circle and a connection to a bone that does not exist.
        AloWriter w;
        for (int i = 0; i < 3; ++i) {
            AloBone bone;
            bone.name = "B" + std::to_string(i);
            bone.parent = (i + 1) % 3;
            w.addBone(bone);
        }
        w.addMesh(quad("A"));
        w.addMesh(quad("B"));
        w.connect(0, 2);
        w.connect(1, 7);
        seeds.push_back({"cycle.alo", w.build()});
    }
    {
        // A geometry chunk declaring more than it holds, and chunks claiming more than the file.
        ChunkWriter c;
        c.begin(alo::kMesh).text(alo::kMeshName, "Short").begin(alo::kGeometry);
        c.data(alo::kGeometryCounts, AloWriter::counts(5, 2));
        c.data(alo::kVertices, AloWriter::vertexBytes({{0, 0, 0}, {1, 0, 0}}), true);
        c.end().end();
        c.header(alo::kSkeleton, 0x7FFFFFF0u);
        seeds.push_back({"oversized.alo", c.bytes()});
    }
    {
        // Material parameters with lengths that do not fit their data.
        ChunkWriter c;
        c.begin(alo::kMesh).begin(alo::kMaterial);
        c.text(alo::kEffectName, "MeshGloss.fx");
        c.data(alo::kFloatParameter,
               ChunkWriter::mini(1, std::string("Name\0", 5)) + ChunkWriter::mini(2, "ab"));
        c.data(alo::kTextureParameter, std::string("\x01\x7f"
                                                   "Tex",
                                                   5));
        c.end().end();
        seeds.push_back({"parameters.alo", c.bytes()});
    }
    return seeds;
}

std::vector<Seed> megaSeeds() {
    std::vector<Seed> seeds;
    MegWriter w;
    w.add("Data\\Art\\Models\\Ship.alo", fullModel());
    w.add("DATA\\ART\\TEXTURES\\HULL.DDS", std::string(300, 'x'));
    w.add("data/art/shaders/readme.txt", "forward slashes");
    w.add("Empty.txt", "");
    const std::string archive = w.build();
    seeds.push_back({"archive.meg", archive});
    seeds.push_back({"truncated.meg", archive.substr(0, MegWriter::tablesSize({"a", "b"}, 1) + 3)});
    seeds.push_back({"empty.meg", MegWriter().build()});

    // Records a well-behaved writer never makes: equal CRCs, a name index past the table, data
    // past the end, a window reaching past 4 GiB.
    const std::vector<std::string> names = {"A.TXT", "B.TXT", std::string("C\0hidden", 8)};
    std::vector<MegaFileRecord> records(4);
    records[0] = {7, 0, 4, 0, 0};
    records[1] = {7, 1, 4, 4, 1};
    records[2] = {9, 2, 0xFFFFFFFFu, 0xFFFFFF00u, 2};
    records[3] = {11, 3, 100000, 8, 2};
    seeds.push_back({"odd.meg", MegWriter::layout(names, records, "abcdefgh")});
    records[3].nameIndex = 3;
    seeds.push_back({"badname.meg", MegWriter::layout(names, records, "abcdefgh")});
    return seeds;
}

std::string megaFiles(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<Mega_Files>\n" + body + "</Mega_Files>\n";
}

std::vector<Seed> xmlSeeds() {
    return {
        {"list.xml", megaFiles("  <File> Data\\A.meg </File>\n  <File>Data\\Sub\\b.MEG</File>\n")},
        {"empty.xml", ""},
        {"mixed.xml", "<a x=\"1\" y='2'>t<b/>u &amp; v<![CDATA[<w>]]><!-- c --><?pi data?></a>"},
        {"cut.xml", "<Mega_Files><File>Data\\A.meg</Fi"},
        {"doctype.xml", "<!DOCTYPE a [<!ENTITY e \"text\">]><a>&e;&#x41;&lt;</a>"},
        {"encoding.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xe9</a>"},
    };
}

std::vector<Seed> fileManagerSeeds() {
    MegWriter a;
    a.add("Data\\Art\\Models\\X.alo", "model in A");
    a.add("Data\\Art\\Loose.txt", "hidden by the loose file");
    MegWriter b;
    b.add("DATA\\ART\\MODELS\\X.ALO", "model in B");
    b.add("Data\\Art\\Textures\\T.dds", std::string(64, 't'));

    std::vector<Seed> seeds;
    DataFolderInput both;
    both.list =
        megaFiles("<File>Data\\Sub\\B.meg</File>\n<File>Data\\A.meg</File>\n<File>Data\\A.meg</File>\n"
                  "<File>Data\\Missing.meg</File>\n");
    both.hasArchiveA = true;
    both.archiveA = a.build();
    both.hasArchiveB = true;
    both.archiveB = b.build();
    seeds.push_back({"both", both.join()});

    DataFolderInput broken = both;
    broken.archiveA = both.archiveA.substr(0, 20);
    seeds.push_back({"brokenarchive", broken.join()});

    DataFolderInput listOnly;
    listOnly.list = megaFiles("");
    seeds.push_back({"nothing", listOnly.join()});

    DataFolderInput wrong = both;
    wrong.list = "<Mega_Files><File>Data\\A.meg</File>text<Other/></Mega_Files>";
    seeds.push_back({"wronglist", wrong.join()});
    return seeds;
}

std::vector<Seed> effectSeeds() {
    std::vector<Seed> seeds;
    // The demo effects have the game's shapes: shader variables in the object section named by
    // passes, shaders written in a pass, fixed-function passes whose states take indices, name
    // parameters or compute expressions.
    for (const auto& [name, bytes] : buildDemoEffects()) {
        seeds.push_back({name + ".fxo", bytes});
    }
    // Annotations of every kind (a string is an object of its own) and two techniques.
    EffectWriter w;
    EffectWriter::Parameter colour;
    colour.name = "Color";
    colour.annotations = {{"Count", EffectWriter::Annotation::Kind::Int, 3, 0, ""},
                          {"Scale", EffectWriter::Annotation::Kind::Float, 0, 0.5f, ""},
                          {"UIName", EffectWriter::Annotation::Kind::String, 0, 0, "Team colour"}};
    w.addParameter(colour);
    EffectWriter::Technique technique;
    technique.name = "Flat";
    technique.annotations = {{"Hint", EffectWriter::Annotation::Kind::String, 0, 0, "fast"}};
    EffectWriter::Pass pass;
    pass.name = "P0";
    pass.states = {{"CullMode", 1}, {"ZFunc", 4}};
    pass.vertexShader = {"vs_2_0\ndcl_position v0\nmov oPos, v0\n", {}};
    pass.pixelShader = {"ps_2_0\nmov oC0, c0\n", {{"Color", 0}}};
    pass.annotations = {{"Order", EffectWriter::Annotation::Kind::Int, 1, 0, ""}};
    technique.passes = {pass};
    w.addTechnique(technique);
    technique.name = "Second";
    technique.passes[0].states.clear();
    w.addTechnique(technique);
    const std::string annotated = w.build();
    seeds.push_back({"annotated.fxo", annotated});
    seeds.push_back({"cut.fxo", annotated.substr(0, annotated.size() * 2 / 3)});
    return seeds;
}

// A DDS header for one level of width x height in an uncompressed layout (bits, masks) or, when
// fourCC is set, a block-compressed one; pixelFlags as the file stores them.
std::string ddsHeader(std::uint32_t width, std::uint32_t height, std::uint32_t pixelFlags, const char* fourCC,
                      std::uint32_t bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                      std::uint32_t alpha) {
    ByteWriter w;
    w.bytes("DDS ").u32(124).u32(0x1007).u32(height).u32(width).u32(0).u32(0).u32(1);
    for (int i = 0; i < 11; ++i) {
        w.u32(0);
    }
    w.u32(32).u32(pixelFlags).bytes(fourCC != nullptr ? fourCC : std::string(4, '\0'));
    w.u32(bits).u32(red).u32(green).u32(blue).u32(alpha).u32(0x1000).u32(0).u32(0).u32(0).u32(0);
    return w.data();
}

std::vector<Seed> ddsSeeds() {
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t i = 0; i < 8 * 8; ++i) {
        rgba.insert(rgba.end(),
                    {static_cast<std::uint8_t>(i * 4), static_cast<std::uint8_t>(255 - i * 3),
                     static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i % 2 == 0 ? 255 : 60)});
    }
    const DdsWriter square(8, 8, rgba);
    const DdsWriter odd(5, 3, std::vector<std::uint8_t>(rgba.begin(), rgba.begin() + 5 * 3 * 4));
    const std::string argb = square.build(DdsWriter::Format::A8R8G8B8);
    std::vector<Seed> seeds = {
        {"argb.dds", argb},
        {"dxt1.dds", square.build(DdsWriter::Format::Dxt1)},
        {"odd_argb.dds", odd.build(DdsWriter::Format::A8R8G8B8)},
        {"odd_dxt1.dds", odd.build(DdsWriter::Format::Dxt1)},
        {"cut.dds", argb.substr(0, argb.size() - 5)},
    };
    // One 4 x 4 level of each other layout the reader takes.
    const std::string blocks(16, '\x5A');
    const std::string pixels(4 * 4 * 4, '\xA5');
    seeds.push_back({"dxt3.dds", ddsHeader(4, 4, 0x4, "DXT3", 0, 0, 0, 0, 0) + blocks});
    seeds.push_back({"dxt5.dds", ddsHeader(4, 4, 0x4, "DXT5", 0, 0, 0, 0, 0) + blocks});
    seeds.push_back({"x8r8g8b8.dds", ddsHeader(4, 4, 0x40, nullptr, 32, 0xFF0000, 0xFF00, 0xFF, 0) + pixels});
    seeds.push_back(
        {"r5g6b5.dds", ddsHeader(4, 4, 0x40, nullptr, 16, 0xF800, 0x7E0, 0x1F, 0) + pixels.substr(32)});
    seeds.push_back({"a1r5g5b5.dds",
                     ddsHeader(4, 4, 0x41, nullptr, 16, 0x7C00, 0x3E0, 0x1F, 0x8000) + pixels.substr(32)});
    seeds.push_back(
        {"a4r4g4b4.dds", ddsHeader(4, 4, 0x41, nullptr, 16, 0xF00, 0xF0, 0xF, 0xF000) + pixels.substr(32)});
    seeds.push_back({"l8.dds", ddsHeader(4, 4, 0x20000, nullptr, 8, 0xFF, 0, 0, 0) + pixels.substr(48)});
    seeds.push_back(
        {"a8l8.dds", ddsHeader(4, 4, 0x20001, nullptr, 16, 0xFF, 0, 0, 0xFF00) + pixels.substr(32)});
    std::string cube = argb;
    cube[113] = '\xFE'; // caps2: a cube map
    seeds.push_back({"cube.dds", cube});
    return seeds;
}

bool writeFile(const fs::path& path, const std::string& bytes) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "kestrin-fuzz-seeds: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool writeDataFolders(const fs::path& root) {
    std::vector<Seed> folders = fileManagerSeeds();
    for (const Seed& xml : xmlSeeds()) {
        DataFolderInput input;
        input.list = xml.bytes;
        folders.push_back({"xml-" + xml.name, input.join()});
    }
    for (const Seed& seed : folders) {
        const DataFolderInput input = DataFolderInput::split(seed.bytes);
        const fs::path data = root / seed.name / "Data";
        if (!writeFile(data / "MegaFiles.xml", input.list) ||
            !writeFile(data / "Art" / "Loose.txt", "loose") ||
            (input.hasArchiveA && !writeFile(data / "A.meg", input.archiveA)) ||
            (input.hasArchiveB && !writeFile(data / "Sub" / "B.meg", input.archiveB))) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--data-folders") {
        return writeDataFolders(argv[2]) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: kestrin-fuzz-seeds FOLDER\n       kestrin-fuzz-seeds --data-folders FOLDER\n");
        return 2;
    }
    const fs::path root = argv[1];
    const auto writeAll = [](const fs::path& folder, const std::vector<Seed>& seeds) {
        for (const Seed& seed : seeds) {
            if (!writeFile(folder / seed.name, seed.bytes)) {
                return false;
            }
        }
        return true;
    };
    const bool ok = writeAll(root / "mega", megaSeeds()) && writeAll(root / "model", modelSeeds()) &&
                    writeAll(root / "filemanager", fileManagerSeeds()) &&
                    writeAll(root / "xml", xmlSeeds()) && writeAll(root / "effect", effectSeeds()) &&
                    writeAll(root / "dds", ddsSeeds());
    return ok ? 0 : 1;
}
