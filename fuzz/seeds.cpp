// kestrin-fuzz-seeds FOLDER: writes the seed corpora of the fuzz targets, one folder per target
// (mega, model, filemanager, xml), made by the same writers the tests use. Besides well-formed
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
                    writeAll(root / "filemanager", fileManagerSeeds()) && writeAll(root / "xml", xmlSeeds());
    return ok ? 0 : 1;
}
