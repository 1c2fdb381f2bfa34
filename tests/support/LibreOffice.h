#pragma once
// LibreOffice as the independent reader of the RTF we write: the text it reads from a file.

#include "tests/support/Ci.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace testsupport {

// Whether LibreOffice (soffice) is installed.
bool LibreOfficeAvailable();

// The text LibreOffice reads from the rich text file at path (whatever its extension): UTF-8,
// without a byte order mark, one line per paragraph ending in LF. Throws std::runtime_error
// with LibreOffice's own words when it produced nothing.
std::string LibreOfficeText(const std::string& path);

} // namespace testsupport

// In a test body: skips the test where LibreOffice is missing, but fails it under CI, which
// installs it (nothing else would check that other programs read our files).
#define KELVOR_REQUIRE_LIBREOFFICE()                                                               \
    KELVOR_REQUIRE_PROGRAM(testsupport::LibreOfficeAvailable(), "LibreOffice (soffice)",          \
                           "libreoffice-writer-nogui")
