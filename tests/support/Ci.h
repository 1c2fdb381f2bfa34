#pragma once
// Checks that need an outside program (LibreOffice reading our RTF back) skip on a developer's
// machine without it. Under CI they must not: CI installs the program, so a missing one means
// the check silently stopped running, and the test fails instead.

#include <cstdlib>
#include <string_view>

namespace testsupport {

// Whether the tests run under CI: the variable CI is set to anything but "", "0" or "false"
// (CI services set CI=true).
inline bool UnderCi() {
    const char* value = std::getenv("CI");
    if (!value)
        return false;
    const std::string_view text(value);
    return !text.empty() && text != "0" && text != "false";
}

} // namespace testsupport

// Skips the test when an outside program it needs is not available, and fails it under CI.
#define KELVOR_REQUIRE_PROGRAM(available, what, package)                                          \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (testsupport::UnderCi()) {                                                          \
                FAIL() << what << " is missing under CI (make test installs " << package << ")";   \
            }                                                                                      \
            GTEST_SKIP() << what << " (" << package << ") is not installed";                       \
        }                                                                                          \
    } while (false)
