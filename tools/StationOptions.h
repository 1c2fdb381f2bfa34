#pragma once
// The station simulator's command line: what to send, how fast, and how to end.

#include "capture/CommandLine.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace station {

enum class Pattern { Counter, Random, File };

// What the station does once its data has ended: close in order, reset, or keep the
// connection open and send nothing more until the monitor leaves.
enum class EndMode { Close, Reset, Stay };

struct Options {
    int port = 1236; // 0: any free port
    Pattern pattern = Pattern::Counter;
    std::uint32_t seed = 1236;
    std::string file;
    std::size_t block = 64;
    std::uint64_t rate = 256;           // bytes per second
    bool asFastAsPossible = false;      // ignores rate
    std::optional<std::uint64_t> bytes; // end after this many bytes; none: endless (or file's end)
    EndMode end = EndMode::Close;
    bool once = false;
    bool help = false;
    // A recording to send instead of a pattern: its read events as blocks, at their recorded
    // spacing divided by speed (or as fast as possible).
    std::string replay;
    double speed = 1.0;
};

// A command line the simulator refuses; the text says why.
using UsageError = commandline::UsageError;

// Throws UsageError for anything unknown, malformed, out of range or contradictory.
Options ParseOptions(int argc, const char* const* argv);

std::string HelpText(const std::string& program);

} // namespace station
