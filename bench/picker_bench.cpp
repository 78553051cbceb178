// The Linux viewer's "Select a file" on an archive of 20,000 models: opening it (listed, laid out
// and drawn) and typing a filter into it, each beside a baseline that only lists the archive's
// models, as File > Open does before the picker comes up.
#include "main/application.h"
#include "main/entrypicker.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#include "writers/megwriter.h"

#include <QApplication>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int kModels = 20000;
const char* const kKinds[] = {"EV_", "RV_", "UV_", "STARBASE_", "PLANET_", "FX_", "P_", "W_"};
const char kTyped[] = "starbase_12";

struct Archive {
    std::string path = (fs::temp_directory_path() / "kestrin-bench-picker.meg").string();

    Archive() {
        MegWriter w;
        for (int i = 0; i < kModels; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "DATA\\ART\\MODELS\\%s%05d.ALO", kKinds[i % 8], i);
            w.add(name, "x");
            if (i % 10 == 0) {
                w.add(std::string(name, std::strlen(name) - 3) + "TXT", "x");
            }
        }
        std::ofstream(path, std::ios::binary) << w.build();
    }

    ~Archive() {
        std::error_code ec;
        fs::remove(path, ec);
    }
};

Archive& archive() {
    static Archive a;
    return a;
}

// The application the widgets need, drawing off screen.
QApplication& application() {
    static int argc = 1;
    static char name[] = "kestrin-bench-picker";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QApplication app(argc, argv);
    return app;
}

std::vector<std::pair<std::size_t, std::string>> listModels() {
    RefPtr<File> file = makeRef<PhysicalFile>(archive().path);
    const MegaFile meg(file.get());
    return Application::modelEntries(meg);
}

void BM_OpenPicker(benchmark::State& state) {
    application();
    for (auto _ : state) {
        EntryPicker picker(nullptr, listModels());
        picker.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(picker.shownCount());
    }
}

void listing(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(listModels().size());
    }
}

void BM_OpenPicker_Baseline(benchmark::State& state) {
    listing(state);
}

// Every key of kTyped narrows the list and draws it again.
void BM_TypeFilter(benchmark::State& state) {
    application();
    EntryPicker picker(nullptr, listModels());
    picker.show();
    QApplication::processEvents();
    auto* box = picker.findChild<QLineEdit*>();
    for (auto _ : state) {
        for (const char* c = kTyped; *c != '\0'; ++c) {
            box->insert(QString(QChar(*c)));
            QApplication::processEvents();
        }
        benchmark::DoNotOptimize(picker.shownCount());
        state.PauseTiming();
        box->clear();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_TypeFilter_Baseline(benchmark::State& state) {
    listing(state);
}

} // namespace

BENCHMARK(BM_OpenPicker)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenPicker_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeFilter_Baseline)->Unit(benchmark::kMillisecond);
