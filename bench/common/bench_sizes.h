// bench_sizes.h - where the exchange library's benchmarks put their big files and how
// big those are, the same for the reader's and the writer's.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

// KIV_BENCH_DIR, else TMPDIR, else /tmp.
inline std::string BenchFolder()
{
    const char* folder = std::getenv("KIV_BENCH_DIR");
    if (folder == nullptr)
        folder = std::getenv("TMPDIR");
    return folder != nullptr ? folder : "/tmp";
}

// Sizes in MiB: 100 always, and KIV_BENCH_GIB gibibytes more when it is set.
inline std::vector<long long> BenchSizesMiB()
{
    std::vector<long long> sizes = {100};
    if (const char* big = std::getenv("KIV_BENCH_GIB"); big != nullptr && std::atoi(big) > 0)
        sizes.push_back(1024LL * std::atoi(big));
    return sizes;
}
