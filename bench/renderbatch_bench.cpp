// Models a second of `kestrin-render --batch` at 800 x 600, the whole program as a script runs it
// (start, graphics, every model loaded, drawn, read back and written as PNG), on a folder of 120
// demo models (the ship, the planet and the oddities, 40 copies each), against the baseline of
// `kestrin-render.exe --batch` on the same folder under Wine (Direct3D 9 on the same software
// renderer). Each iteration's time is the time a model takes, so the ratio is native time per model
// over Wine's: below 1, the native program is faster. Both builds must exist (scripts/build,
// scripts/build-windows); KESTRIN_RENDER, KESTRIN_RENDER_EXE and KESTRIN_WINE_RUN name the programs
// when they are not in the usual places.
#include "demodata/demodata.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kCopies = 40;

// The demo data folder and, in its folder Batch, the copies of its models; removed at the end.
class BatchFolder {
public:
    BatchFolder()
        : m_path(fs::temp_directory_path() / ("kestrin-bench-batch-" + std::to_string(::getpid()))) {
        std::string error;
        if (!writeDemoData(m_path.string(), error)) {
            std::fprintf(stderr, "demo data: %s\n", error.c_str());
            return;
        }
        RefPtr<File> archiveFile = makeRef<PhysicalFile>((m_path / "Data/Art.meg").string());
        const MegaFile archive(archiveFile.get());
        RefPtr<File> planet = archive.find("DATA\\ART\\MODELS\\DEMO_PLANET.ALO");
        const std::vector<unsigned char> planetBytes = planet->readBytes(planet->size());
        fs::create_directories(m_path / "Batch");
        for (int i = 0; i < kCopies; ++i) {
            const std::string n = std::to_string(i);
            fs::copy_file(m_path / "Data/Art/Models/Demo_Ship.alo", m_path / "Batch" / ("Ship" + n + ".alo"));
            fs::copy_file(m_path / "Data/Art/Models/Demo_Oddities.alo",
                          m_path / "Batch" / ("Odd" + n + ".alo"));
            std::ofstream(m_path / "Batch" / ("Planet" + n + ".alo"), std::ios::binary)
                .write(reinterpret_cast<const char*>(planetBytes.data()),
                       static_cast<std::streamsize>(planetBytes.size()));
        }
    }
    ~BatchFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    BatchFolder(const BatchFolder&) = delete;
    BatchFolder& operator=(const BatchFolder&) = delete;

    // The folder, with Unix paths or (Z: being Wine's drive of the Unix root) Windows ones.
    std::string path(bool windows, const std::string& below = "") const {
        std::string p = (m_path / below).string();
        if (windows) {
            p = "Z:" + p;
            for (char& c : p) {
                c = c == '/' ? '\\' : c;
            }
        }
        return "'" + p + "'";
    }

private:
    fs::path m_path;
};

const BatchFolder& batchFolder() {
    static const BatchFolder folder;
    return folder;
}

std::string fromEnvironment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

// Runs one batch per iteration, after one untimed run (which makes a Wine prefix, if needed).
void runBatches(benchmark::State& state, const std::string& program, bool windows) {
    const BatchFolder& folder = batchFolder();
    const std::string command = program + " --batch " + folder.path(windows, "Pictures") + " " +
                                folder.path(windows) + " " + folder.path(windows, "Batch") +
                                " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError(("the batch failed: " + command).c_str());
        return;
    }
    const int models = 3 * kCopies;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the batch failed");
            return;
        }
        const double batch = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        seconds += batch;
        state.SetIterationTime(batch / models);
    }
    state.counters["models_per_second"] = static_cast<double>(models) * state.iterations() / seconds;
}

void BM_BatchModel(benchmark::State& state) {
    const std::string root = KESTRIN_SOURCE_DIR;
    runBatches(state,
               "'" + fromEnvironment("KESTRIN_RENDER", root + "/build/host/tools/kestrin-render") + "'",
               false);
}
BENCHMARK(BM_BatchModel)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_BatchModel_Baseline(benchmark::State& state) {
    const std::string root = KESTRIN_SOURCE_DIR;
    const std::string exe =
        fromEnvironment("KESTRIN_RENDER_EXE", root + "/build/windows/tools/kestrin-render.exe");
    if (!fs::exists(exe)) {
        state.SkipWithError(
            ("no " + exe + ": build the Windows program first (scripts/build-windows)").c_str());
        return;
    }
    runBatches(state,
               "'" + fromEnvironment("KESTRIN_WINE_RUN", root + "/scripts/wine-run") + "' '" + exe + "'",
               true);
}
BENCHMARK(BM_BatchModel_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace
