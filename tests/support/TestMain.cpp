// Shared main of every test binary: a headless Qt application, so tests can create real
// windows (offscreen) and run the event loop. gtest_discover_tests runs the binary at build
// time without CTest's environment, hence the defaults set here.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Tests may only reach this machine: the socket layer refuses other destinations.
    ::setenv("KELVOR_LOOPBACK_ONLY", "1", 0);
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
