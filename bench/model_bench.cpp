// Loading a 50 MB model of 200 meshes, and 1,000 small models, each beside a baseline that reads
// the same files whole in one read each.
#include "managers/physicalfile.h"
#include "model/model.h"
#include "writers/alowriter.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kLargeMeshes = 200;
constexpr int kLargeVertices = 1700;
constexpr int kSmallModels = 1000;

AloMesh makeMesh(const std::string& name, int vertexCount) {
    AloMesh mesh;
    mesh.name = name;
    for (int i = 0; i < vertexCount; ++i) {
        AloVertex v;
        v.x = static_cast<float>(i);
        mesh.vertices.push_back(v);
    }
    for (int i = 0; i + 2 < vertexCount; ++i) {
        mesh.indices.push_back(static_cast<std::uint16_t>(i));
        mesh.indices.push_back(static_cast<std::uint16_t>(i + 1));
        mesh.indices.push_back(static_cast<std::uint16_t>(i + 2));
    }
    mesh.parameters = {AloParameter::float4Value("Diffuse", 1, 1, 1, 1),
                       AloParameter::floatValue("Shininess", 8),
                       AloParameter::textureName("BaseTexture", name + ".tga")};
    return mesh;
}

std::string makeModel(int meshes, int vertices, int bones) {
    AloWriter w;
    for (int b = 0; b < bones; ++b) {
        AloBone bone;
        bone.name = "Bone" + std::to_string(b);
        bone.parent = b - 1;
        w.addBone(bone);
    }
    for (int m = 0; m < meshes; ++m) {
        w.addMesh(makeMesh("Mesh" + std::to_string(m), vertices));
        w.connect(static_cast<std::uint32_t>(m), m % bones);
    }
    return w.build();
}

struct Models {
    std::string folder;
    std::string large;
    std::vector<std::string> small;

    Models() {
        std::string pattern = (fs::temp_directory_path() / "kestrin-bench-XXXXXX").string();
        folder = std::string(::mkdtemp(pattern.data())) + "/";
        large = folder + "large.alo";
        std::ofstream(large, std::ios::binary) << makeModel(kLargeMeshes, kLargeVertices, 20);
        for (int i = 0; i < kSmallModels; ++i) {
            small.push_back(folder + "small" + std::to_string(i) + ".alo");
            std::ofstream(small.back(), std::ios::binary) << makeModel(3, 60 + i % 100, 4);
        }
    }

    ~Models() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Models& models() {
    static Models m;
    return m;
}

void readWhole(const std::string& path, std::vector<char>& buffer) {
    RefPtr<File> f = makeRef<PhysicalFile>(path);
    buffer.resize(f->size());
    benchmark::DoNotOptimize(f->read(buffer.data(), f->size()));
}

std::size_t loadModel(const std::string& path) {
    RefPtr<File> f = makeRef<PhysicalFile>(path);
    const Model model(*f);
    return model.getMeshCount();
}

void BM_LargeModel(benchmark::State& state) {
    models(); // builds the files before the timing starts
    for (auto _ : state) {
        benchmark::DoNotOptimize(loadModel(models().large));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(models().large)));
}

void BM_LargeModel_Baseline(benchmark::State& state) {
    models(); // builds the files before the timing starts
    std::vector<char> buffer;
    for (auto _ : state) {
        readWhole(models().large, buffer);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(models().large)));
}

void BM_SmallModels(benchmark::State& state) {
    models(); // builds the files before the timing starts
    for (auto _ : state) {
        for (const std::string& path : models().small) {
            benchmark::DoNotOptimize(loadModel(path));
        }
    }
}

void BM_SmallModels_Baseline(benchmark::State& state) {
    models(); // builds the files before the timing starts
    std::vector<char> buffer;
    for (auto _ : state) {
        for (const std::string& path : models().small) {
            readWhole(path, buffer);
        }
    }
}

} // namespace

BENCHMARK(BM_LargeModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeModel_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallModels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallModels_Baseline)->Unit(benchmark::kMillisecond);
