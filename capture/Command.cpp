#include "capture/Command.h"

#include "capture/Export.h"
#include "capture/Find.h"
#include "capture/Record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <string_view>

namespace capture {

namespace {

constexpr const char* Program = "kelvor-capture";

// One subcommand: its name, its synopsis for the usage text, a paragraph of help, and what
// runs it with the arguments after its name.
struct Command {
    std::string_view name;
    std::string_view synopsis;
    std::string_view help;
    int (*run)(const std::vector<std::string>& args);
};

int RunRecordCommand(const std::vector<std::string>& args) {
    return Record(ParseRecord(args));
}

int RunExportCommand(const std::vector<std::string>& args) {
    return Export(ParseExport(args));
}

int RunFindCommand(const std::vector<std::string>& args) {
    return Find(ParseFind(args));
}

constexpr Command Commands[] = {
    {"record", "record ADDRESS PORT NAME [--rotate-bytes N]",
     R"(Connects to the station at ADDRESS, PORT and writes what arrives to NAME.bin (the
    bytes, in order) and NAME.csv (one row "offset,length,utc" per read event). A
    progress line on standard error shows bytes, blocks and the rate. Ctrl-C (SIGINT,
    SIGTERM) or the station's orderly close ends it with both files complete (exit 0);
    a refused connection or a reset says so and exits 1. An existing recording NAME is
    never replaced.
      --rotate-bytes N   start NAME.0001.bin/.csv, NAME.0002..., a new pair once the
                         current .bin holds N bytes (suffix K, M or G: powers of 1024);
                         events are never split across files
)",
     RunRecordCommand},
    {"export", "export NAME (--rtf FILE | --text FILE) [--force]",
     R"(Writes the bit lines the monitor would have shown for the recording NAME, one line
    per read event: as the monitor saves them (--rtf, rich text) or as plain text lines
    (--text). An existing FILE is replaced only with --force.
)",
     RunExportCommand},
    {"find", "find NAME --bits PATTERN",
     R"(Prints every occurrence of PATTERN (1 to 64 characters 0 or 1, first bit first) in
    the recording NAME, at any bit offset, across byte, read-event and file boundaries,
    overlapping ones included: one line per match, in order of its first bit,
    "BYTE_OFFSET BIT EVENT TIME": the byte holding the match's first bit (from the start
    of the recording), that bit within the byte (0 = most significant), the read event
    (from 0) that received it and the event's arrival time (UTC). Exit 0 whether or not
    anything matched; 1 for a damaged recording; 2 for a bad PATTERN.
)",
     RunFindCommand},
};

std::string UsageText() {
    std::string text = "usage:\n";
    for (const Command& c : Commands)
        text += "  " + std::string(Program) + " " + std::string(c.synopsis) + "\n";
    text += "  " + std::string(Program) + " --help\n";
    return text;
}

std::string HelpText() {
    std::string text = UsageText();
    text += "\nRecordings of a station's bit stream that keep its read events: NAME.bin holds the\n"
            "bytes, NAME.csv the offset, length and arrival time (UTC) of each read event.\n";
    for (const Command& c : Commands)
        text += "\n" + std::string(c.synopsis) + "\n    " + std::string(c.help);
    text += "\nExit status: 0 done, 1 failed, 2 bad command line.\n";
    return text;
}

int Number(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        throw UsageError(option + " wants a number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    return value;
}

using commandline::Parse;

} // namespace

std::uint64_t ParseSize(const std::string& option, const std::string& text) {
    std::uint64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    std::uint64_t scale = 1;
    if (end + 1 == last) {
        switch (*end) {
        case 'K':
        case 'k':
            scale = 1ULL << 10;
            break;
        case 'M':
        case 'm':
            scale = 1ULL << 20;
            break;
        case 'G':
        case 'g':
            scale = 1ULL << 30;
            break;
        default:
            scale = 0;
            break;
        }
    } else if (end != last) {
        scale = 0;
    }
    if (text.empty() || end == first || error != std::errc() || scale == 0)
        throw UsageError(option + " wants a byte count such as 4096, 64K, 100M or 2G, not '" +
                         text + "'");
    if (value == 0)
        throw UsageError(option + " must be at least 1 byte");
    if (value > UINT64_MAX / scale)
        throw UsageError(option + " is too large: '" + text + "'");
    return value * scale;
}

RecordOptions ParseRecord(const std::vector<std::string>& args) {
    RecordOptions o;
    const auto positional = Parse(args, [&](const std::string& option, auto value, auto) {
        if (option == "--rotate-bytes")
            o.rotateBytes = ParseSize(option, value());
        else
            throw UsageError("record: unknown option '" + option + "'");
    });
    if (positional.size() != 3)
        throw UsageError("record wants ADDRESS PORT NAME");
    o.address = positional[0];
    o.port = Number("PORT", positional[1], 1, 65535);
    o.name = positional[2];
    if (o.address.empty())
        throw UsageError("record: the ADDRESS is empty");
    if (o.name.empty())
        throw UsageError("record: the NAME is empty");
    return o;
}

ExportOptions ParseExport(const std::vector<std::string>& args) {
    ExportOptions o;
    int outputs = 0;
    const auto positional = Parse(args, [&](const std::string& option, auto value, auto flag) {
        if (option == "--rtf" || option == "--text") {
            o.format = option == "--rtf" ? ExportFormat::Rtf : ExportFormat::Text;
            o.file = value();
            ++outputs;
        } else if (option == "--force") {
            flag();
            o.force = true;
        } else {
            throw UsageError("export: unknown option '" + option + "'");
        }
    });
    if (positional.size() != 1)
        throw UsageError("export wants one recording NAME");
    if (outputs != 1)
        throw UsageError("export wants exactly one of --rtf FILE and --text FILE");
    if (o.file.empty())
        throw UsageError("export: the output FILE is empty");
    o.name = positional[0];
    return o;
}

FindOptions ParseFind(const std::vector<std::string>& args) {
    FindOptions o;
    std::string bits;
    int patterns = 0;
    const auto positional = Parse(args, [&](const std::string& option, auto value, auto) {
        if (option != "--bits")
            throw UsageError("find: unknown option '" + option + "'");
        bits = value();
        ++patterns;
    });
    if (positional.size() != 1)
        throw UsageError("find wants one recording NAME");
    if (patterns != 1)
        throw UsageError("find wants one --bits PATTERN");
    try {
        o.pattern = BitPattern::Parse(bits);
    } catch (const BitPatternError& e) {
        throw UsageError(std::string("find: ") + e.what());
    }
    o.name = positional[0];
    return o;
}

int CaptureMain(int argc, const char* const* argv) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (args.empty()) {
        std::fprintf(stderr, "%s", UsageText().c_str());
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    for (const Command& c : Commands) {
        if (args[0] != c.name)
            continue;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string& a : rest) {
            if (a == "--")
                break;
            if (a == "--help" || a == "-h") {
                std::printf("usage: %s %s\n    %s", Program, std::string(c.synopsis).c_str(),
                            std::string(c.help).c_str());
                return 0;
            }
        }
        try {
            return c.run(rest);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "%s: %s (see %s --help)\n", Program, e.what(), Program);
            return 2;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", Program, e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "%s: unknown command '%s'\n%s", Program, args[0].c_str(),
                 UsageText().c_str());
    return 2;
}

} // namespace capture
