// kestrin-info check over every model of the demo data folder, and of a synthetic one of 2,000
// models (200 loose, 1,800 in 30 archives) whose 8,000 meshes name the demo effects and 320
// textures, some of either missing. Each beside a baseline that reads, in one sequential read, as
// many bytes as the check reads: the archive list and tables, every model and effect whole, and
// every texture's header. X: the whole command as it runs on Linux, where the native renderer
// creates each effect on a device of its own; XFiles: the files alone, as on Windows.
#include "demodata/demodata.h"
#include "info/checkcommand.h"
#include "info/checkreport.h"
#include "info/ddsheadercheck.h"
#include "info/infocommand.h"
#include "info/modelchecker.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#include "writers/alowriter.h"
#include "writers/ddswriter.h"
#include "writers/demoeffects.h"
#include "writers/megwriter.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kArchives = 30;
constexpr int kModelsPerArchive = 60;
constexpr int kLooseModels = 200;
constexpr int kTexturesPerArchive = 10;
constexpr int kMissingTextures = 20;
constexpr int kMeshesPerModel = 4;
constexpr int kVerticesPerMesh = 24;

std::string makeModel(int index, const std::vector<std::string>& effects) {
    AloWriter w;
    for (int m = 0; m < kMeshesPerModel; ++m) {
        AloMesh mesh;
        mesh.name = "Mesh" + std::to_string(m);
        for (int v = 0; v < kVerticesPerMesh; ++v) {
            AloVertex vertex;
            vertex.x = static_cast<float>(v);
            vertex.y = static_cast<float>(v % 3);
            mesh.vertices.push_back(vertex);
            mesh.indices.push_back(static_cast<std::uint16_t>(v));
        }
        // One model in ten names an effect the folder lacks.
        mesh.effect =
            index % 10 == 0 && m == 0 ? "alDefault.fx" : effects[(index + m) % effects.size()] + ".fx";
        const int texture = (index * 7 + m) % (kArchives * kTexturesPerArchive + kMissingTextures);
        mesh.parameters = {AloParameter::float4Value("Diffuse", 1, 1, 1, 1),
                           AloParameter::floatValue("Shininess", 8),
                           AloParameter::textureName("BaseTexture", "T" + std::to_string(texture) + ".tga")};
        w.addMesh(mesh);
    }
    return w.build();
}

std::string makeFolder() {
    std::string pattern = (fs::temp_directory_path() / "kestrin-bench-XXXXXX").string();
    return std::string(::mkdtemp(pattern.data())) + "/";
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The bytes a check of folder reads, found as the check finds them.
std::uint64_t checkedBytes(const std::string& folder, bool effects) {
    FileManager files(folder);
    std::uint64_t bytes = makeRef<PhysicalFile>(folder + "Data/MegaFiles.xml")->size();
    for (const std::string& key : files.getArchiveKeys()) {
        const MegaFile& archive = *files.getArchive(key);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
            names.push_back(archive.getFileName(i));
        }
        bytes += MegWriter::tablesSize(names, names.size());
    }
    ModelChecker checker(files, {});
    std::set<std::string> read;
    for (const std::string& path : CheckCommand::modelPaths(folder, files)) {
        std::string source;
        const RefPtr<File> model = files.locate(path, source);
        bytes += model->size();
        for (const ModelChecker::MeshResult& mesh : checker.check(path, source, *model).meshes) {
            const ModelChecker::Lookup& effect = mesh.effect.file;
            if (effects && effect.status == ModelChecker::Status::Found && read.insert(effect.path).second) {
                bytes += files.open(effect.path)->size();
            }
            for (const ModelChecker::Texture& t : mesh.textures) {
                if (t.file.status == ModelChecker::Status::Found && read.insert(t.file.path).second) {
                    bytes +=
                        std::min<std::uint64_t>(files.open(t.file.path)->size(), DdsHeaderCheck::kHeaderSize);
                }
            }
        }
    }
    return bytes;
}

// A data folder, and files of as many bytes as checking it reads with and without its effects.
struct Folder {
    std::string path;
    std::string baseline;
    std::string filesBaseline;

    explicit Folder(std::string folder) : path(std::move(folder)) {
        baseline = path + "baseline.bin";
        filesBaseline = path + "files-baseline.bin";
        writeFile(baseline, std::string(checkedBytes(path, true), 'x'));
        writeFile(filesBaseline, std::string(checkedBytes(path, false), 'x'));
    }

    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const Folder& demo() {
    static const Folder folder([] {
        const std::string path = makeFolder();
        std::string error;
        if (!writeDemoData(path, error)) {
            throw std::runtime_error(error);
        }
        return path;
    }());
    return folder;
}

const Folder& synthetic() {
    static const Folder folder([] {
        const std::string path = makeFolder();
        const std::map<std::string, std::string> effects = buildDemoEffects();
        std::vector<std::string> effectNames;
        for (const auto& effect : effects) {
            effectNames.push_back(effect.first);
        }
        const std::string texture =
            DdsWriter(64, 64, std::vector<std::uint8_t>(64 * 64 * 4, 128)).build(DdsWriter::Format::Dxt1);
        std::string list = "<?xml version=\"1.0\"?>\n<Mega_Files>\n";
        for (int a = 0; a < kArchives; ++a) {
            MegWriter w;
            if (a == 0) {
                for (const auto& [name, bytes] : effects) {
                    w.add("DATA\\ART\\SHADERS\\" + name + ".FXO", bytes);
                }
            }
            for (int t = 0; t < kTexturesPerArchive; ++t) {
                w.add("DATA\\ART\\TEXTURES\\T" + std::to_string(a * kTexturesPerArchive + t) + ".DDS",
                      texture);
            }
            for (int m = 0; m < kModelsPerArchive; ++m) {
                const int index = a * kModelsPerArchive + m;
                w.add("DATA\\ART\\MODELS\\M" + std::to_string(index) + ".ALO", makeModel(index, effectNames));
            }
            const std::string archive = "Archive" + std::to_string(a) + ".meg";
            writeFile(path + "Data/" + archive, w.build());
            list += "\t<File>Data\\" + archive + "</File>\n";
        }
        writeFile(path + "Data/MegaFiles.xml", list + "</Mega_Files>\n");
        for (int m = 0; m < kLooseModels; ++m) {
            const int index = kArchives * kModelsPerArchive + m;
            writeFile(path + "Data/Art/Models/M" + std::to_string(index) + ".alo",
                      makeModel(index, effectNames));
        }
        return path;
    }());
    return folder;
}

void readWhole(benchmark::State& state, const std::string& path) {
    std::vector<char> buffer;
    for (auto _ : state) {
        RefPtr<File> f = makeRef<PhysicalFile>(path);
        buffer.resize(f->size());
        benchmark::DoNotOptimize(f->read(buffer.data(), f->size()));
    }
}

// The command as a user runs it.
void check(benchmark::State& state, const Folder& folder) {
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        benchmark::DoNotOptimize(runInfoCommand({"check", folder.path}, out, err));
    }
}

// The same models, effects only looked up.
void checkFiles(benchmark::State& state, const Folder& folder) {
    for (auto _ : state) {
        std::ostringstream out;
        FileManager files(folder.path);
        ModelChecker checker(files, {});
        CheckReport report(out, false);
        for (const std::string& path : CheckCommand::modelPaths(folder.path, files)) {
            std::string source;
            const RefPtr<File> model = files.locate(path, source);
            report.add(checker.check(path, source, *model));
        }
        report.finish();
        benchmark::DoNotOptimize(report.problems());
    }
}

void BM_CheckDemo(benchmark::State& state) {
    check(state, demo());
}

void BM_CheckDemo_Baseline(benchmark::State& state) {
    readWhole(state, demo().baseline);
}

void BM_CheckDemoFiles(benchmark::State& state) {
    checkFiles(state, demo());
}

void BM_CheckDemoFiles_Baseline(benchmark::State& state) {
    readWhole(state, demo().filesBaseline);
}

void BM_CheckSynthetic(benchmark::State& state) {
    check(state, synthetic());
}

void BM_CheckSynthetic_Baseline(benchmark::State& state) {
    readWhole(state, synthetic().baseline);
}

void BM_CheckSyntheticFiles(benchmark::State& state) {
    checkFiles(state, synthetic());
}

void BM_CheckSyntheticFiles_Baseline(benchmark::State& state) {
    readWhole(state, synthetic().filesBaseline);
}

} // namespace

BENCHMARK(BM_CheckDemo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckDemo_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckDemoFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckDemoFiles_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckSynthetic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckSynthetic_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckSyntheticFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckSyntheticFiles_Baseline)->Unit(benchmark::kMillisecond);
