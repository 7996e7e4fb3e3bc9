// kiv_writer_bench.cpp - writing a big .kvd file through the write calls, and
// updating one object of it, against copying the same file on the same disk (read,
// write, flush to the disk: what a careful copy does) in the same run; and the peak
// memory of a fresh process that writes or updates each size.
//
//   bench_kiv_writer                     100 MiB
//   KIV_BENCH_GIB=1 bench_kiv_writer     100 MiB and 1 GiB
//   KIV_BENCH_DIR=/some/dir              where the files go (default: the temp folder)
//
// Targets (at 1 GiB): writing within 2x of the copy, updating one object within 1.5x
// of it, and memory that does not grow with the file.
//
// And the writers' lock: what it adds to an uncontended commit (against the same commit
// through a disk without the lock, in the same run; target: at most 1 ms), and four
// processes that commit at once against the same commits one process after another
// (target: within 1.5x).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../common/bench_sizes.h"
#include "KvdDisk.h"
#include "KvdWriteSession.h"
#include "kivapi.h"

namespace {

using Clock = std::chrono::steady_clock;

void Check(int ok, const char* what, const char* message)
{
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", what, message != nullptr ? message : "");
        std::exit(1);
    }
}

// Deviation surveys with nested stations and casing strings, about 45 bytes a value
// line, through the put calls until `bytes` are put. Returns the number of objects.
// The texts of the 60 records are made once: the time is the library's, not the
// formatting of numbers.
long long PutObjects(long long bytes, const char* author)
{
    static std::vector<std::string> depths, angles;
    if (depths.empty()) {
        for (int record = 1; record <= 60; ++record) {
            depths.push_back(std::to_string(record * 25) + ".0");
            angles.push_back(std::to_string(record % 90) + ".25");
        }
    }
    char* message = nullptr;
    long long put = 0, objects = 0;
    char name[64], well[32], date[32];
    for (; put < bytes; ++objects) {
        std::snprintf(name, sizeof name, "Deviation survey %lld", objects);
        std::snprintf(well, sizeof well, "NF-%03lld", objects % 997);
        std::snprintf(date, sizeof date, "%04lld-%02lld-%02lld %02lld:%02lld", 1950 + objects % 80,
                      1 + objects % 12, 1 + objects % 28, objects % 24, objects % 60);
        Check(KivPutObject(name, author, "3", well, date, &message), "put object", message);
        put += 60;
        for (int record = 1; record <= 60; ++record) {
            const char* depth = depths[record - 1].c_str();
            const char* angle = angles[record - 1].c_str();
            Check(KivPutValue("Survey", "", record, "MD", depth, "m", "", &message), "put value", message);
            Check(KivPutValue("Survey", "", record, "Inclination", angle, "deg", "", &message), "put value", message);
            Check(KivPutValue("Survey", "", record, "Azimuth", angle, "deg", "", &message), "put value", message);
            put += 3 * 42;
            if (record % 10 == 0) {
                Check(KivPutValue("Station", "Survey", record, "Tool", "MWD", "", "gyro check, \"good\"", &message),
                      "put value", message);
                Check(KivPutValue("Station", "Survey", record, "Quality", "good", "", "", &message), "put value",
                      message);
                put += 90;
            }
        }
        Check(KivPutValue("Casing", "", 1, "OD", "13 3/8", "in", "", &message), "put value", message);
        Check(KivPutValue("Cement", "Casing", 1, "Volume", "48.0", "m3", "", &message), "put value", message);
        put += 80;
    }
    return objects;
}

long long WriteFile(const std::string& path, long long bytes)
{
    char* message = nullptr;
    KivAttach(&message);
    Check(KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE), "begin", message);
    long long objects = PutObjects(bytes, "A. Rahman");
    Check(KivCommitWrite(&message), "commit", message);
    KivDetach();
    return objects;
}

// One object in the middle of the file, replaced by a new one of the same name.
void UpdateOne(const std::string& path, long long objects)
{
    char* message = nullptr;
    KivAttach(&message);
    Check(KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE), "begin update", message);
    std::string name = "Deviation survey " + std::to_string(objects / 2);
    Check(KivPutObject(name.c_str(), "B. Okafor", "4", "NF-001", "2024-05-06 07:08", &message), "put", message);
    Check(KivPutValue("Survey", "", 1, "MD", "25.0", "m", "", &message), "put value", message);
    Check(KivCommitWrite(&message), "commit update", message);
    KivDetach();
}

// The baseline: a careful copy, 1 MiB at a time, flushed to the disk at the end.
void Copy(const std::string& from, const std::string& to)
{
    int in = open(from.c_str(), O_RDONLY);
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Check(in >= 0 && out >= 0, "copy", to.c_str());
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    ssize_t got;
    while ((got = read(in, buffer.get(), 1 << 20)) > 0)
        Check(write(out, buffer.get(), static_cast<size_t>(got)) == got, "copy write", to.c_str());
    fsync(out);
    close(in);
    close(out);
}

long long FileSize(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return 0;
    std::fseek(f, 0, SEEK_END);
    long long size = std::ftell(f);
    std::fclose(f);
    return size;
}

double CpuSeconds()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall time; the processor time (user and system) goes to `cpu`, the lesser of both kept.
template <typename F>
double Seconds(double& bestCpu, F&& f)
{
    double cpu = CpuSeconds();
    Clock::time_point start = Clock::now();
    f();
    bestCpu = std::min(bestCpu, CpuSeconds() - cpu);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident size of a fresh process that writes (or updates) a file of that size.
std::string MeasurePeak(const char* what, const std::string& path, long long bytes)
{
    std::string command = "/proc/" + std::to_string(getpid()) + "/exe --measure-peak " + what + " '" + path +
                          "' " + std::to_string(bytes);
    std::FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
        return "?";
    char line[256] = "";
    if (std::fgets(line, sizeof line, child) == nullptr)
        line[0] = '\0';
    pclose(child);
    std::string report = line;
    if (!report.empty() && report.back() == '\n')
        report.pop_back();
    return report;
}

// The system's disk without the writers' lock: a commit through it is the same
// commit, unguarded.
class UnlockedDisk : public kvddisk::Disk {
public:
    using Error = kvddisk::Error;
    using FileHandle = kvddisk::FileHandle;
    bool GetStamp(const std::string& p, kvddisk::Stamp& s, Error& e) override { return d.GetStamp(p, s, e); }
    bool OpenToRead(const std::string& p, FileHandle& f, Error& e) override { return d.OpenToRead(p, f, e); }
    bool StampOfOpen(const FileHandle& f, kvddisk::Stamp& s) override { return d.StampOfOpen(f, s); }
    bool ReadAt(const FileHandle& f, uint64_t o, char* b, size_t n, size_t& got, Error& e) override
    {
        return d.ReadAt(f, o, b, n, got, e);
    }
    bool Close(FileHandle& f, Error& e) override { return d.Close(f, e); }
    bool CreateTemporary(const std::string& p, FileHandle& f, Error& e) override { return d.CreateTemporary(p, f, e); }
    bool Append(const FileHandle& f, const char* b, size_t n, Error& e) override { return d.Append(f, b, n, e); }
    void StartDisk(const FileHandle& f, uint64_t from, uint64_t n) override { d.StartDisk(f, from, n); }
    bool Flush(const FileHandle& f, Error& e) override { return d.Flush(f, e); }
    bool PutInPlace(FileHandle& f, const std::string& p, const std::string& t, Error& e) override
    {
        return d.PutInPlace(f, p, t, e);
    }
    void Discard(FileHandle& f, const std::string& p) override { d.Discard(f, p); }
    bool ListBeside(const std::string& t, std::vector<std::string>& s, Error& e) override
    {
        return d.ListBeside(t, s, e);
    }
    bool RemoveLeftover(const std::string& p, unsigned long id, Error& e) override
    {
        return d.RemoveLeftover(p, id, e);
    }
    unsigned long ProcessId() override { return d.ProcessId(); }

private:
    kvddisk::Disk& d = kvddisk::SystemDisk();
};

// One update that adds or replaces one small object, through `disk`.
double UpdateThrough(kvddisk::Disk& disk, const std::string& path, int n)
{
    Clock::time_point start = Clock::now();
    KvdWriteSession write(disk);
    std::string name = "Bench " + std::to_string(n % 20);
    Check(write.Begin(path.c_str(), KvdWriteSession::kUpdate) &&
              write.PutObject(name, "bench", "1", "", "2001-01-01 10:00") && write.Commit(),
          "update", write.Message().c_str());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// `writers` processes, each `commits` updates that add an object of its own: all at
// once, or each after the one before has ended. Seconds for all of them.
double Writers(const std::string& path, int writers, int commits, bool together)
{
    Clock::time_point start = Clock::now();
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        pid_t child = fork();
        if (child == 0) {
            char* message = nullptr;
            KivAttach(&message);
            for (int i = 0; i < commits; ++i) {
                std::string name = "W" + std::to_string(w) + "-" + std::to_string(i);
                if (!KivBeginWrite(path.c_str(), &message, KIV_WRITE_UPDATE) ||
                    !KivPutObject(name.c_str(), "bench", "1", "", "2001-01-01 10:00", &message) ||
                    !KivCommitWrite(&message)) {
                    std::fprintf(stderr, "writer %d: %s\n", w, message);
                    _exit(1);
                }
            }
            KivDetach();
            _exit(0);
        }
        children.push_back(child);
        if (!together)
            waitpid(child, nullptr, 0);
    }
    int failed = 0;
    for (pid_t child : children) {
        int status = 0;
        if (together)
            waitpid(child, &status, 0);
        failed += together && (!WIFEXITED(status) || WEXITSTATUS(status) != 0);
    }
    Check(failed == 0, "writers", "a writer was refused");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BenchTheLock(const std::string& dir)
{
    const std::string path = dir + "/kiv_writer_bench_lock.kvd";
    std::string body = "KVD 1\n";
    for (int i = 0; i < 100; ++i)
        body += "object \"Object " + std::to_string(i) + "\" amy 1 W-1 \"2001-01-01 10:00\"\n"
                "value Survey \"\" 1 MD " + std::to_string(i) + " m\n";
    body += "end\n";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(body.data(), 1, body.size(), f);
    std::fclose(f);

    // The same commit with and without the lock, alternating, the median of each.
    // The difference of each pair, so that the machine's drift over the run cancels.
    UnlockedDisk unlocked;
    std::vector<double> with, without, paidEach;
    for (int n = 0; n < 200; ++n) {
        bool lockedFirst = n % 2 == 0;
        double a = UpdateThrough(lockedFirst ? kvddisk::SystemDisk() : unlocked, path, 2 * n);
        double b = UpdateThrough(lockedFirst ? unlocked : kvddisk::SystemDisk(), path, 2 * n + 1);
        with.push_back(lockedFirst ? a : b);
        without.push_back(lockedFirst ? b : a);
        paidEach.push_back(with.back() - without.back());
    }
    // The lock alone, taken and let go.
    kvddisk::WriteLock lock(kvddisk::SystemDisk());
    Clock::time_point start = Clock::now();
    constexpr int kTakes = 2000;
    for (int n = 0; n < kTakes; ++n) {
        lock.Take(path, 5000);
        lock.Release();
    }
    double alone = std::chrono::duration<double>(Clock::now() - start).count() / kTakes;
    double paid = Median(paidEach);
    std::printf("\nthe writers' lock, uncontended: an update commit of a 100-object file takes %.2f ms with it, "
                "%.2f ms without it (medians of 200 each, in pairs): %+.3f ms a pair, %.2fx (target: at most 1 ms); "
                "taking and letting go of it alone: %.0f us %s\n",
                Median(with) * 1e3, Median(without) * 1e3, paid * 1e3, Median(with) / Median(without), alone * 1e6,
                paid <= 1e-3 ? "met" : "missed");

    // Four writers at once against the same commits one process after another.
    constexpr int kWriters = 4, kCommits = 50;
    double apart = 1e9, together = 1e9;
    for (int round = 0; round < 3; ++round) {
        f = std::fopen(path.c_str(), "wb");
        std::fwrite(body.data(), 1, body.size(), f);
        std::fclose(f);
        apart = std::min(apart, Writers(path, kWriters, kCommits, false));
        f = std::fopen(path.c_str(), "wb");
        std::fwrite(body.data(), 1, body.size(), f);
        std::fclose(f);
        together = std::min(together, Writers(path, kWriters, kCommits, true));
    }
    std::printf("%d writer processes x %d update commits: %.0f ms one after another, %.0f ms all at once: %.2fx "
                "(target: within 1.5x) %s\n",
                kWriters, kCommits, apart * 1e3, together * 1e3, together / apart, together <= 1.5 * apart ? "met" : "missed");
    std::remove(path.c_str());
}

struct SizeRun {
    long long mib;
    std::string written, copied, updated;
    long long bytes = 0, objects = 0;
    double bestCopy = 1e9, bestWrite = 1e9, bestUpdate = 1e9;
    double cpuCopy = 1e9, cpuWrite = 1e9, cpuUpdate = 1e9;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--measure-peak") {
        std::string what = argv[2], path = argv[3];
        long long bytes = std::atoll(argv[4]);
        if (what == "write") {
            WriteFile(path, bytes);
        } else {
            UpdateOne(path, 2);
        }
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%.1f MiB", usage.ru_maxrss / 1024.0);
        return 0;
    }

    const std::string dir = BenchFolder();
    if (argc == 2 && std::string(argv[1]) == "--lock") {  // the lock's figures alone
        BenchTheLock(dir);
        return 0;
    }
    const std::vector<long long> sizes = BenchSizesMiB();
    std::vector<SizeRun> runs;
    for (long long mib : sizes) {
        // The file, its copy and the update's temporary file, with room to spare.
        struct statvfs disk;
        if (statvfs(dir.c_str(), &disk) == 0 &&
            static_cast<long double>(disk.f_bavail) * disk.f_frsize < 5.0L * (mib << 20)) {
            std::fprintf(stderr, "%lld MiB: skipped, %s has less than %lld MiB free\n", mib, dir.c_str(), 5 * mib);
            continue;
        }
        std::string base = dir + "/kiv_writer_bench_" + std::to_string(mib) + "MiB";
        runs.push_back({mib, base + ".kvd", base + "_copy.kvd", base + "_update.kvd"});
    }
    for (SizeRun& run : runs) {
        // Alternate the three so that all meet the same state of the machine, and keep the
        // best of five: on a shared virtual machine a write into memory that the system
        // has not used before costs several times what it costs again.
        for (int round = 0; round < 5; ++round) {
            std::remove(run.written.c_str());
            run.bestWrite = std::min(run.bestWrite, Seconds(run.cpuWrite, [&] { run.objects = WriteFile(run.written, run.mib << 20); }));
            run.bytes = FileSize(run.written);
            std::remove(run.copied.c_str());
            run.bestCopy = std::min(run.bestCopy, Seconds(run.cpuCopy, [&] { Copy(run.written, run.copied); }));
            std::rename(run.copied.c_str(), run.updated.c_str());
            run.bestUpdate = std::min(run.bestUpdate, Seconds(run.cpuUpdate, [&] { UpdateOne(run.updated, run.objects); }));
            std::fprintf(stderr, "%lld MiB, round %d: write %.2f s, copy %.2f s, update %.2f s\n", run.mib,
                         round + 1, run.bestWrite, run.bestCopy, run.bestUpdate);
        }
    }

    std::printf("\n%-9s %9s %10s %10s %11s %12s %9s %13s %9s\n", "file", "objects", "copy ms", "write ms",
                "update ms", "write/copy", "<= 2x", "update/copy", "<= 1.5x");
    for (const SizeRun& run : runs) {
        double write = run.bestWrite / run.bestCopy, update = run.bestUpdate / run.bestCopy;
        std::printf("%-9s %9lld %10.0f %10.0f %11.0f %11.2fx %9s %12.2fx %9s\n",
                    (std::to_string(run.mib) + " MiB").c_str(), run.objects, run.bestCopy * 1e3, run.bestWrite * 1e3,
                    run.bestUpdate * 1e3, write, write <= 2 ? "met" : "missed", update,
                    update <= 1.5 ? "met" : "missed");
    }
    std::printf("\nprocessor time (user + system) of the same runs; the copy waits for the disk, which costs none:\n");
    for (const SizeRun& run : runs)
        std::printf("%-9s copy %.0f ms, write %.0f ms, update %.0f ms\n", (std::to_string(run.mib) + " MiB").c_str(),
                    run.cpuCopy * 1e3, run.cpuWrite * 1e3, run.cpuUpdate * 1e3);
    double load[3] = {0, 0, 0};
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3)
            load[0] = 0;
        std::fclose(f);
    }
    std::printf("load average %.1f on %ld processors: wall times stretch when it is above their number\n", load[0],
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("\npeak resident size of a fresh process (the same for every size: memory independent of the file)\n");
    for (const SizeRun& run : runs) {
        std::string peakWrite = MeasurePeak("write", dir + "/kiv_writer_bench_peak.kvd", run.mib << 20);
        std::remove((dir + "/kiv_writer_bench_peak.kvd").c_str());
        std::string peakUpdate = MeasurePeak("update", run.updated, 0);
        std::printf("%-9s writing %s, updating one object %s\n", (std::to_string(run.mib) + " MiB").c_str(),
                    peakWrite.c_str(), peakUpdate.c_str());
    }
    BenchTheLock(dir);
    if (!std::getenv("KIV_BENCH_KEEP"))
        for (const SizeRun& run : runs) {
            std::remove(run.written.c_str());
            std::remove(run.copied.c_str());
            std::remove(run.updated.c_str());
        }
    return 0;
}
