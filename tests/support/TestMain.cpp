// Shared main of every test binary: a headless Qt application, so tests can create real
// windows (offscreen) and run the event loop. gtest_discover_tests runs the binary at build
// time without CTest's environment, hence the defaults set here.
//
// The socket layer's loopback guard is switched on in code, before any test runs, so no
// environment (a missing or a "0" KELVOR_LOOPBACK_ONLY) can let a test reach past this machine.

#include "platform/winsock/Winsock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    EnableLoopbackOnlyGuard();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const QString dir = QDir::tempPath() + "/kelvor-test-runtime";
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setenv("XDG_RUNTIME_DIR", dir.toLocal8Bit().constData(), 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
