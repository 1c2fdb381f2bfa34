#pragma once
// Whole files as bytes, and what a PDF we printed holds.

#include "tests/support/Ci.h"

#include <string>

namespace testsupport {

// A file's whole content; empty when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// How many pages the PDF file at path holds (its page objects, not the page tree); none when
// the file cannot be read.
int PdfPageCount(const std::string& path);

// Whether pdftotext (poppler-utils) is installed.
bool PdfToTextAvailable();

// The PDF's text as pdftotext reads it, in UTF-8, each page ending in a form feed. Throws
// std::runtime_error with pdftotext's own words when it fails.
std::string PdfText(const std::string& path);

} // namespace testsupport

// In a test body: skips the test where pdftotext is missing, but fails it under CI, which
// installs it.
#define KELVOR_REQUIRE_PDFTOTEXT()                                                                 \
    KELVOR_REQUIRE_PROGRAM(testsupport::PdfToTextAvailable(), "pdftotext", "poppler-utils")
