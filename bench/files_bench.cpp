// Mounting a data folder of 30 archives holding 60,000 entries, and 100,000 lookups through the
// FileManager, each beside a baseline that reads the same bytes in one sequential read.
#include "managers/filemanager.h"
#include "managers/physicalfile.h"
#include "writers/megwriter.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kArchives = 30;
constexpr int kEntriesPerArchive = 2000;
constexpr int kLookups = 100000;
constexpr std::size_t kEntrySize = 256;

struct DataFolder {
    std::string folder;
    std::vector<std::string> paths;
    std::string mountBytes;  // what mounting reads: the list and every archive's tables
    std::string lookupBytes; // what the lookups read: every entry's data

    DataFolder() {
        std::string pattern = (fs::temp_directory_path() / "kestrin-bench-XXXXXX").string();
        folder = std::string(::mkdtemp(pattern.data())) + "/";
        fs::create_directories(folder + "Data");
        std::string list = "<?xml version=\"1.0\"?>\n<Mega_Files>\n";
        for (int a = 0; a < kArchives; ++a) {
            const std::string archive = "Data\\Archive" + std::to_string(a) + ".meg";
            list += "\t<File>" + archive + "</File>\n";
            MegWriter w;
            std::vector<std::string> names;
            for (int e = 0; e < kEntriesPerArchive; ++e) {
                const std::string name =
                    "DATA\\ART\\TEXTURES\\A" + std::to_string(a) + "_E" + std::to_string(e) + ".DDS";
                names.push_back(name);
                paths.push_back(name);
                w.add(name, std::string(kEntrySize, static_cast<char>('a' + e % 26)));
            }
            const std::string bytes = w.build();
            mountBytes += bytes.substr(0, MegWriter::tablesSize(names, names.size()));
            std::ofstream(folder + "Data/Archive" + std::to_string(a) + ".meg", std::ios::binary) << bytes;
        }
        list += "</Mega_Files>\n";
        mountBytes += list;
        std::ofstream(folder + "Data/MegaFiles.xml", std::ios::binary) << list;
        std::ofstream(folder + "mount.bin", std::ios::binary) << mountBytes;
        lookupBytes.assign(kLookups * kEntrySize, 'x');
        std::ofstream(folder + "lookups.bin", std::ios::binary) << lookupBytes;
    }

    ~DataFolder() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

DataFolder& data() {
    static DataFolder d;
    return d;
}

void readWhole(benchmark::State& state, const std::string& path) {
    std::vector<char> buffer;
    for (auto _ : state) {
        RefPtr<File> f = makeRef<PhysicalFile>(path);
        buffer.resize(f->size());
        benchmark::DoNotOptimize(f->read(buffer.data(), f->size()));
    }
}

void BM_Mount(benchmark::State& state) {
    data(); // builds the folder before the timing starts
    for (auto _ : state) {
        FileManager files(data().folder);
        benchmark::DoNotOptimize(files.getArchiveKeys().size());
    }
}

void BM_Mount_Baseline(benchmark::State& state) {
    readWhole(state, data().folder + "mount.bin");
}

void BM_Lookups(benchmark::State& state) {
    FileManager files(data().folder);
    const std::vector<std::string>& paths = data().paths;
    std::vector<char> buffer(kEntrySize);
    for (auto _ : state) {
        for (int i = 0; i < kLookups; ++i) {
            // A stride through all entries, so that every archive is asked in turn.
            RefPtr<File> f = files.open(paths[(static_cast<std::size_t>(i) * 7919u) % paths.size()]);
            benchmark::DoNotOptimize(f->read(buffer.data(), kEntrySize));
        }
    }
}

void BM_Lookups_Baseline(benchmark::State& state) {
    readWhole(state, data().folder + "lookups.bin");
}

} // namespace

BENCHMARK(BM_Mount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mount_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lookups)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lookups_Baseline)->Unit(benchmark::kMillisecond);
