#pragma once
// What every benchmark program does first: switch the socket layer's loopback guard on (a
// benchmark never reaches past this machine), run headless unless told otherwise, and give
// Qt a private runtime folder.

#include "platform/winsock/Winsock.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline void PrepareBenchmarkProcess() {
    EnableLoopbackOnlyGuard();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const QString dir = QDir::tempPath() + "/kelvor-bench-runtime";
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setenv("XDG_RUNTIME_DIR", dir.toLocal8Bit().constData(), 1);
    }
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
