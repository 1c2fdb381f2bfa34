#include "tools/StationOptions.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace station {

namespace {

// Big enough for any test or demo, small enough that a typo cannot ask for gigabytes of memory.
constexpr std::uint64_t MaxBlock = 16 * 1024 * 1024;

std::uint64_t Number(std::string_view name, std::string_view text, std::uint64_t low,
                     std::uint64_t high) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw UsageError(std::string(name) + " wants a decimal number, not '" + std::string(text) +
                         "'");
    if (value < low || value > high)
        throw UsageError(std::string(name) + " must be between " + std::to_string(low) + " and " +
                         std::to_string(high));
    return value;
}

// A replay's speed factor: a positive decimal such as 1, 0.5 or 10.
double Speed(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(value >= 0.001 && value <= 1'000'000))
        throw UsageError(
            "--speed wants a factor from 0.001 to 1000000 such as 0.5, 1 or 10, not '" +
            std::string(text) + "'");
    return value;
}

} // namespace

Options ParseOptions(int argc, const char* const* argv) {
    Options o;
    bool rateGiven = false;
    bool patternGiven = false;
    bool speedGiven = false;
    std::vector<std::string> shaping; // options that a replay's recording decides instead
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    const auto positional =
        commandline::Parse(args, [&](const std::string& name, auto value, auto flag) {
            if (name == "--help" || name == "-h") {
                flag();
                o.help = true;
            } else if (name == "--port") {
                o.port = static_cast<int>(Number(name, value(), 0, 65535));
            } else if (name == "--pattern") {
                const std::string v = value();
                if (v == "counter")
                    o.pattern = Pattern::Counter;
                else if (v == "random")
                    o.pattern = Pattern::Random;
                else if (v == "file")
                    o.pattern = Pattern::File;
                else
                    throw UsageError("--pattern is counter, random or file, not '" +
                                     std::string(v) + "'");
                patternGiven = true;
                shaping.push_back(name);
            } else if (name == "--seed") {
                shaping.push_back(name);
                o.seed = static_cast<std::uint32_t>(Number(name, value(), 0, 0xFFFFFFFFu));
            } else if (name == "--file") {
                o.file = value();
                if (o.file.empty())
                    throw UsageError("--file needs a path");
                shaping.push_back(name);
            } else if (name == "--block") {
                shaping.push_back(name);
                o.block = static_cast<std::size_t>(Number(name, value(), 1, MaxBlock));
            } else if (name == "--rate") {
                o.rate = Number(name, value(), 1, 1'000'000'000'000ULL);
                rateGiven = true;
                shaping.push_back(name);
            } else if (name == "--as-fast-as-possible") {
                flag();
                o.asFastAsPossible = true;
            } else if (name == "--bytes") {
                o.bytes = Number(name, value(), 0, UINT64_MAX);
                shaping.push_back(name);
            } else if (name == "--end") {
                const std::string v = value();
                if (v == "close")
                    o.end = EndMode::Close;
                else if (v == "reset")
                    o.end = EndMode::Reset;
                else if (v == "stay")
                    o.end = EndMode::Stay;
                else
                    throw UsageError("--end is close, reset or stay, not '" + std::string(v) + "'");
            } else if (name == "--replay") {
                o.replay = value();
                if (o.replay.empty())
                    throw UsageError("--replay needs a recording NAME");
            } else if (name == "--speed") {
                o.speed = Speed(value());
                speedGiven = true;
            } else if (name == "--once") {
                flag();
                o.once = true;
            } else if (name == "--host" || name == "--address" || name == "--bind" ||
                       name == "--listen" || name == "--interface") {
                throw UsageError("the simulator listens on 127.0.0.1 only; " + name +
                                 " cannot change that");
            } else {
                throw UsageError("unknown option '" + name + "'");
            }
        });
    if (!positional.empty())
        throw UsageError("unknown option '" + positional.front() + "'");

    // A file given alone means "send this file"; a contradiction is refused rather than guessed.
    if (!o.file.empty() && !patternGiven)
        o.pattern = Pattern::File;
    if (o.pattern == Pattern::File && o.file.empty())
        throw UsageError("--pattern file needs --file PATH");
    if (o.pattern != Pattern::File && !o.file.empty())
        throw UsageError("--file goes with --pattern file");
    if (rateGiven && o.asFastAsPossible)
        throw UsageError("--rate and --as-fast-as-possible exclude each other");
    // A recording brings its own bytes, block sizes and times.
    if (!o.replay.empty() && !shaping.empty())
        throw UsageError("--replay and " + shaping.front() +
                         " exclude each other (the recording decides what is sent and when)");
    if (speedGiven && o.replay.empty())
        throw UsageError("--speed goes with --replay");
    if (speedGiven && o.asFastAsPossible)
        throw UsageError("--speed and --as-fast-as-possible exclude each other");
    return o;
}

std::string HelpText(const std::string& program) {
    return "usage: " + program + R"( [options]

A stand-in for the station on this machine. It listens on 127.0.0.1 only (no option
changes that), serves one monitor at a time and sends it a stream of bytes. A monitor
that connects while another is served waits in the listen queue and is served, from
the start of the pattern, when the first one leaves.

The first line on standard output is "station listening on 127.0.0.1:PORT". Each
monitor that connects gets a line "monitor connected from 127.0.0.1:PORT", and when
it leaves a summary "sent N bytes in S s (R bytes/s); HOW IT ENDED".

Options:
  --port N                 port to listen on (default 1236; 0: any free port, the
                           first line says which)
  --pattern counter|random|file
                           what to send (default counter):
                             counter  bytes 0, 1, 2, ... 255, 0, 1, ...
                             random   pseudo-random bytes from --seed (the same
                                      seed gives the same bytes)
                             file     the bytes of --file, once, then the end
  --seed N                 seed of the random pattern, 0 to 4294967295 (default 1236)
  --file PATH              file whose bytes to send (implies --pattern file)
  --block N                bytes per send, 1 to 16777216 (default 64)
  --rate BYTES_PER_SECOND  average sending rate (default 256)
  --as-fast-as-possible    send as fast as the monitor takes the bytes (no --rate;
                           with --replay: no spacing, no --speed)
  --bytes N                end after exactly N bytes (default: endless, or the
                           file's end)
  --end close|reset|stay   how the data ends (default close):
                             close  orderly close (the monitor reads the end)
                             reset  reset the connection once all bytes are
                                    delivered (the monitor sees ECONNRESET)
                             stay   send nothing more and wait for the monitor
                                    to leave
  --replay NAME            send the recording NAME (NAME.bin/.csv or the series
                           NAME.0001...) instead of a pattern: each read event as
                           one block, at its recorded spacing from the start; a
                           damaged recording is refused at start (not with
                           --pattern, --seed, --file, --block, --rate, --bytes)
  --speed X                replay X times as fast (0.001 to 1000000, default 1:
                           the recorded spacing)
  --once                   exit when the first monitor has left
  -h, --help               this text

Every monitor gets the pattern from its start. Values may also be written
--option=value. SIGINT or SIGTERM closes the monitor's connection in order, prints
its summary and ends the simulator. Exit status: 0 done, 1 could not listen or
read the file or the recording, 2 bad command line.
)";
}

} // namespace station
