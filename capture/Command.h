#pragma once
// The kelvor-capture command line: one program, a table of subcommands, and the parsing of
// each subcommand's arguments (kept apart from running them, so it can be tested alone).

#include "capture/BitSearch.h"
#include "capture/CommandLine.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace capture {

// A command line we refuse (exit status 2); the text says why.
using UsageError = commandline::UsageError;

// A byte count with an optional K, M or G suffix (powers of 1024): "4096", "64K", "1G". At least 1.
std::uint64_t ParseSize(const std::string& option, const std::string& text);

struct RecordOptions {
    std::string address;
    int port = 0;
    std::string name;
    std::uint64_t rotateBytes = 0; // 0: no rotation
};
RecordOptions ParseRecord(const std::vector<std::string>& args);

enum class ExportFormat { Rtf, Text };
struct ExportOptions {
    std::string name;
    ExportFormat format = ExportFormat::Rtf;
    std::string file;
    bool force = false; // replace an existing FILE
};
ExportOptions ParseExport(const std::vector<std::string>& args);

struct FindOptions {
    std::string name;
    BitPattern pattern;
};
// A bad pattern is a usage error that says what is wrong with it.
FindOptions ParseFind(const std::vector<std::string>& args);

// The whole program: exit status 0 done, 1 failed, 2 bad command line.
int CaptureMain(int argc, const char* const* argv);

} // namespace capture
