// Frames of the demo ship at 800 x 600, every mesh shown, each drawn by the Engine and read back:
// on the native renderer (OpenGL on Mesa's software renderer), against the baseline of the same
// frame on the real Direct3D 9 stack under Wine (Wine's Direct3D on the same software renderer),
// which the Windows build's kestrin-frame-timer measures. The ratio is native time per frame over
// Wine's: below 1, the native renderer is faster. The Windows build must exist (scripts/build-windows);
// KESTRIN_FRAME_TIMER and KESTRIN_WINE_RUN name the timer and the Wine runner when they are not in
// the usual places.
#include "demodata/demodata.h"
#include "engine/engine.h"
#include "engine/gl/eglsurface.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrames = 60;
constexpr const char* kShip = "Data\\Art\\Models\\Demo_Ship.alo";

// The demo data folder, written once for the whole run and removed at its end.
class DemoFolder {
public:
    DemoFolder() : m_path(fs::temp_directory_path() / ("kestrin-bench-demo-" + std::to_string(::getpid()))) {
        std::string error;
        if (!writeDemoData(m_path.string(), error)) {
            std::fprintf(stderr, "demo data: %s\n", error.c_str());
        }
    }
    ~DemoFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    DemoFolder(const DemoFolder&) = delete;
    DemoFolder& operator=(const DemoFolder&) = delete;

    std::string path() const { return m_path.string() + "/"; }

private:
    fs::path m_path;
};

std::string demoFolder() {
    static const DemoFolder folder;
    return folder.path();
}

std::string fromEnvironment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

void BM_ShipFrame(benchmark::State& state) {
    EglSurface surface(kWidth, kHeight);
    FileManager files(demoFolder());
    TextureManager textures(&files, "Data\\Art\\Textures\\");
    ShaderManager shaders(&files, "Data\\Art\\Shaders\\");
    RefPtr<File> file = files.open(kShip);
    const Model model(*file);
    Engine engine(&surface, kWidth, kHeight, textures, shaders);
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        d3d::D3DXMATRIX world;
        model.getMeshTransform(i, &world.m[0][0]);
        engine.addMesh(&model.getMesh(i), world, true);
    }
    engine.render(); // buffers, effects and textures are made before timing
    surface.readPixels();
    // Like the baseline, each iteration times kFrames frames and counts as one.
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kFrames; ++i) {
            engine.render();
            benchmark::DoNotOptimize(surface.readPixels());
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kFrames);
    }
    engine.clearMeshes();
}
BENCHMARK(BM_ShipFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// One run of the timer under Wine, whose per-frame time becomes the iteration's.
void BM_ShipFrame_Baseline(benchmark::State& state) {
    const std::string root = KESTRIN_SOURCE_DIR;
    const std::string timer =
        fromEnvironment("KESTRIN_FRAME_TIMER", root + "/build/windows/tests/windows/kestrin-frame-timer.exe");
    const std::string wineRun = fromEnvironment("KESTRIN_WINE_RUN", root + "/scripts/wine-run");
    if (!fs::exists(timer)) {
        state.SkipWithError(
            ("no " + timer + ": build the Windows program first (scripts/build-windows)").c_str());
        return;
    }
    std::string folder = "Z:" + demoFolder();
    for (char& c : folder) {
        c = c == '/' ? '\\' : c;
    }
    const std::string command = "'" + wineRun + "' '" + timer + "' '" + folder + "' '" + kShip + "' " +
                                std::to_string(kWidth) + " " + std::to_string(kHeight) + " " +
                                std::to_string(kFrames) + " 2>/dev/null";
    for (auto _ : state) {
        double seconds = -1;
        if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
            char line[128];
            while (std::fgets(line, sizeof line, pipe) != nullptr) {
                std::sscanf(line, "seconds-per-frame %lf", &seconds);
            }
            ::pclose(pipe);
        }
        if (seconds <= 0) {
            state.SkipWithError("the frame timer under Wine gave no time");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_ShipFrame_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace
