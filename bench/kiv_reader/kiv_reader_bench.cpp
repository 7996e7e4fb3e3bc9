// kiv_reader_bench.cpp - open plus full enumeration of a big generated .kvd file
// through the six calls, against `wc -l` on the same file in the same run, and the
// peak heap of the reading for each file size.
//
//   bench_kiv_reader                     100 MiB
//   KIV_BENCH_GIB=1 bench_kiv_reader     100 MiB and 1 GiB (heap of both side by side)
//   KIV_BENCH_DIR=/some/dir              where the files go (default: the temp folder)
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "../common/bench_sizes.h"
#include "KvdWriter.h"
#include "kivapi.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SizeRun {
    long long mib;
    std::string path;
    long long bytes = 0, lines = 0, values = 0;
    double bestWc = 1e9, bestKiv = 1e9;        // wall time, seconds
    double bestWcCpu = 1e9, bestKivCpu = 1e9;  // processor time (user + system), seconds
};

// Processor time of this process, or of its finished children.
double CpuSeconds(int who)
{
    struct rusage usage;
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
std::vector<SizeRun> g_runs;

// Deviation surveys with nested stations, casing strings with cement: the shape of
// the bundled samples, repeated. About 45 bytes a line.
void Generate(SizeRun& run)
{
    std::FILE* out = std::fopen(run.path.c_str(), "wb");
    if (out == nullptr) {
        std::perror(run.path.c_str());
        std::exit(1);
    }
    const long long target = run.mib << 20;
    std::string chunk = std::string(kKvdHeader) + "\n";
    run.lines = 1;
    for (long long object = 0; run.bytes + static_cast<long long>(chunk.size()) < target; ++object) {
        char well[32], date[32];
        std::snprintf(well, sizeof well, "NF-%03lld", object % 997);
        std::snprintf(date, sizeof date, "%04lld-%02lld-%02lld %02lld:%02lld", 1950 + object % 80,
                      1 + object % 12, 1 + object % 28, object % 24, object % 60);
        chunk += KvdObjectLine("Deviation survey " + std::to_string(object), "A. Rahman", "3", well, date);
        ++run.lines;
        for (int record = 1; record <= 60; ++record) {
            std::string md = std::to_string(record * 25) + ".0";
            chunk += KvdValueLine("Survey", "", record, "MD", md, "m");
            chunk += KvdValueLine("Survey", "", record, "Inclination", std::to_string(record % 90) + ".25", "deg");
            chunk += KvdValueLine("Survey", "", record, "Azimuth", std::to_string(record * 7 % 360) + ".5", "deg");
            run.lines += 3;
            if (record % 10 == 0) {
                chunk += KvdValueLine("Station", "Survey", record, "Tool", "MWD", "", "gyro check, \"good\"");
                chunk += KvdValueLine("Station", "Survey", record, "Quality", "good");
                run.lines += 2;
            }
        }
        chunk += KvdValueLine("Casing", "", 1, "OD", "13 3/8", "in");
        chunk += KvdValueLine("Cement", "Casing", 1, "Volume", "48.0", "m3");
        run.lines += 2;
        if (chunk.size() > (1u << 20)) {
            std::fwrite(chunk.data(), 1, chunk.size(), out);
            run.bytes += static_cast<long long>(chunk.size());
            chunk.clear();
        }
    }
    chunk += "end\n";
    ++run.lines;
    std::fwrite(chunk.data(), 1, chunk.size(), out);
    run.bytes += static_cast<long long>(chunk.size());
    std::fclose(out);
}

// Open and read everything, as the browser does. Returns the number of values.
long long ReadAll(const std::string& path, size_t* peakHeap)
{
    char* message;
    KivAttach(&message);
    if (!KivOpen(path.c_str(), &message, 0)) {
        std::fprintf(stderr, "%s\n", message);
        std::exit(1);
    }
    long long values = 0;
    char *name, *author, *version, *wellId, *date;
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        char *group, *valueName, *extra, *suffix, *valueText, *parent;
        int record;
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record))
            ++values;
        if (peakHeap != nullptr) {
            struct mallinfo2 m = mallinfo2();
            *peakHeap = std::max(*peakHeap, m.uordblks + m.hblkhd);
        }
    }
    KivDetach();
    return values;
}

void WcLines(benchmark::State& state, SizeRun* run)
{
    std::string command = "wc -l < '" + run->path + "' > /dev/null";
    for (auto _ : state) {
        double cpu = CpuSeconds(RUSAGE_CHILDREN);
        Clock::time_point start = Clock::now();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("wc -l failed");
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        run->bestWc = std::min(run->bestWc, seconds);
        run->bestWcCpu = std::min(run->bestWcCpu, CpuSeconds(RUSAGE_CHILDREN) - cpu);
    }
    state.SetBytesProcessed(state.iterations() * run->bytes);
}

void KivOpenAndEnumerate(benchmark::State& state, SizeRun* run)
{
    for (auto _ : state) {
        double cpu = CpuSeconds(RUSAGE_SELF);
        Clock::time_point start = Clock::now();
        run->values = ReadAll(run->path, nullptr);
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        run->bestKiv = std::min(run->bestKiv, seconds);
        run->bestKivCpu = std::min(run->bestKivCpu, CpuSeconds(RUSAGE_SELF) - cpu);
    }
    state.SetBytesProcessed(state.iterations() * run->bytes);
    state.counters["values"] = static_cast<double>(run->values);
}

// Peak heap and peak resident size of a fresh process that reads the file.
bool MeasurePeak(const std::string& path, std::string& report)
{
    std::string command = "/proc/" + std::to_string(getpid()) + "/exe --measure-peak '" + path + "'";
    std::FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
        return false;
    char line[256] = "";
    bool got = std::fgets(line, sizeof line, child) != nullptr;
    pclose(child);
    report = line;
    if (!report.empty() && report.back() == '\n')
        report.pop_back();
    return got;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--measure-peak") {
        size_t before;
        {
            struct mallinfo2 m = mallinfo2();
            before = m.uordblks + m.hblkhd;
        }
        size_t peak = before;
        long long values = ReadAll(argv[2], &peak);
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak heap %.2f MiB, peak resident %.1f MiB, %lld values\n",
                    static_cast<double>(peak - before) / (1 << 20), usage.ru_maxrss / 1024.0, values);
        return 0;
    }

    const std::string dir = BenchFolder();
    const std::vector<long long> sizes = BenchSizesMiB();
    g_runs.reserve(sizes.size());
    for (long long mib : sizes) {
        g_runs.push_back(SizeRun{mib, dir + "/kiv_reader_bench_" + std::to_string(mib) + "MiB.kvd"});
        std::fprintf(stderr, "generating %s\n", g_runs.back().path.c_str());
        Generate(g_runs.back());
    }
    for (SizeRun& run : g_runs) {
        std::string size = std::to_string(run.mib) + "MiB";
        // Alternate the two so that both meet the same state of the machine.
        for (int round = 0; round < 3; ++round) {
            benchmark::RegisterBenchmark(("wc_lines/" + size).c_str(), WcLines, &run)
                ->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("kiv_open_and_enumerate/" + size).c_str(), KivOpenAndEnumerate, &run)
                ->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Best of the runs each. Wall time is what a person waits; processor time is
    // steadier on a busy machine, where a short `wc -l` may slip between others.
    std::printf("\n%-9s %9s %13s %13s %11s %12s %12s %9s\n", "file", "lines", "wc -l ms", "Kiv ms",
                "Kiv MiB/s", "ratio wall", "ratio cpu", "<= 2.5x");
    for (const SizeRun& run : g_runs) {
        double ratio = run.bestKiv / run.bestWc;
        double cpuRatio = run.bestKivCpu / std::max(run.bestWcCpu, 1e-3);
        char wc[32], kiv[32];
        std::snprintf(wc, sizeof wc, "%.0f (%.0f cpu)", run.bestWc * 1e3, run.bestWcCpu * 1e3);
        std::snprintf(kiv, sizeof kiv, "%.0f (%.0f cpu)", run.bestKiv * 1e3, run.bestKivCpu * 1e3);
        std::printf("%-9s %9lld %13s %13s %11.0f %11.2fx %11.2fx %9s\n", (std::to_string(run.mib) + " MiB").c_str(),
                    run.lines, wc, kiv, run.bytes / run.bestKiv / (1 << 20), ratio, cpuRatio,
                    ratio <= 2.5 ? "met" : "missed");
    }
    std::printf("\n");
    for (const SizeRun& run : g_runs) {
        std::string report;
        if (MeasurePeak(run.path, report))
            std::printf("%-10s %s\n", (std::to_string(run.mib) + " MiB").c_str(), report.c_str());
    }
    if (!std::getenv("KIV_BENCH_KEEP"))
        for (const SizeRun& run : g_runs)
            std::remove(run.path.c_str());
    return 0;
}
