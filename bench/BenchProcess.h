#pragma once
// What every benchmark program does first: switch the socket layer's loopback guard on (a
// benchmark never reaches past this machine), run headless unless told otherwise, and give
// Qt a private runtime folder.

#include "tests/support/Headless.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline void PrepareBenchmarkProcess() {
    testsupport::PrepareHeadlessProcess("kelvor-bench-runtime");
}

// Wall-clock seconds since start.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The process's resident set in bytes, from /proc/self/statm.
inline std::int64_t ResidentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return std::int64_t(resident) * 4096;
}
