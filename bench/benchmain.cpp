// Runs the benchmarks and prints, for every benchmark X that has a partner X_Baseline, the ratio
// of their times: both are measured in the same run, so the ratio holds up on a busy machine
// where the absolute times do not.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const std::string suffix = "_Baseline";
        for (const auto& [name, time] : m_times) {
            const std::size_t at = name.find(suffix);
            if (at == std::string::npos) {
                continue;
            }
            const std::string measured = name.substr(0, at) + name.substr(at + suffix.size());
            const auto it = m_times.find(measured);
            if (it != m_times.end() && time > 0) {
                std::printf("ratio %-40s %8.2f  (%s / %s)\n", measured.c_str(), it->second / time,
                            measured.c_str(), name.c_str());
            }
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
