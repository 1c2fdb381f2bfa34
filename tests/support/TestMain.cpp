// Shared main of every test binary: a headless Qt application, so tests can create real
// windows (offscreen) and run the event loop. gtest_discover_tests runs the binary at build
// time without CTest's environment, hence the defaults set here.
//
// The socket layer's loopback guard is switched on in code, before any test runs, so no
// environment (a missing or a "0" KELVOR_LOOPBACK_ONLY) can let a test reach past this machine.

#include "tests/support/Headless.h"

#include <QApplication>
#include <gtest/gtest.h>

// LeakSanitizer's one exception (read by the sanitizer itself in the Sanitize build): Qt's font
// fallback keeps the fontconfig patterns it matched for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    testsupport::PrepareHeadlessProcess("kelvor-test-runtime");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
