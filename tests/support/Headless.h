#pragma once
// What every test, soak and benchmark program does first: switch the socket layer's loopback
// guard on (nothing here reaches past this machine), run headless unless told otherwise, and
// give Qt a private runtime folder so that it does not warn about a missing one.

#include "platform/winsock/Winsock.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdlib>

namespace testsupport {

inline void PrepareHeadlessProcess(const char* runtimeFolder) {
    EnableLoopbackOnlyGuard();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const QString dir = QDir::tempPath() + "/" + runtimeFolder;
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setenv("XDG_RUNTIME_DIR", dir.toLocal8Bit().constData(), 1);
    }
}

} // namespace testsupport
