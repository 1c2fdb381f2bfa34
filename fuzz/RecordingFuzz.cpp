// Fuzz target for the recording reader: a recording's .csv index and .bin bytes come from disk
// and may be damaged in any way.
//
// The first input byte picks the layout: with its high bit set the rest is a time stamp test
// (below); else byte % 4 is 0 for a single pair NAME.csv/NAME.bin, or 1 to 3 for a rotated
// series of that many pairs. The rest is split at 0x1E bytes into the files' contents, .csv
// first, pair by pair; a file whose piece is missing is not made, and pieces beyond the layout
// make the files that must be refused with it (a series beside a single pair, a part after a
// gap).
//
// A recording either is refused with a RecordingError, or its events are contiguous from 0,
// each has bytes, together they cover the .bin files exactly, each row's time is the text
// FormatUtc writes for it, and the bytes read back are the files'. Written again by the writer
// (rotating at a size that reproduces the parts' split, when there is one) it reads back as the
// same events, and in the writer's own layout (numbers without leading zeros) it gives the very
// same files.
//
// Time stamp test: FormatUtc of any time gives a text that ParseUtc takes back exactly when its
// year has four digits, and two times keep their order as texts; ParseUtc accepts only texts
// that FormatUtc writes back unchanged.
//
// Run: fuzz_recording -dict=fuzz/recording.dict -max_total_time=60 fuzz/corpus/recording

#include "capture/Recording.h"
#include "fuzz/Property.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace capture;

namespace {

constexpr char Separator = '\x1E';
constexpr int MaxParts = 5; // three parts, a gap and one after it

// 0000-01-01T00:00:00Z and 10000-01-01T00:00:00Z, the limits of a four-digit year.
constexpr std::int64_t FirstFourDigitMicros = -62'167'219'200'000'000;
constexpr std::int64_t PastFourDigitMicros = 253'402'300'800'000'000;

std::string Folder;

void RemoveFiles() {
    for (const char* base : {"in", "out"})
        for (int part = 0; part <= MaxParts; ++part) {
            const std::string name = Folder + "/" + base;
            ::unlink(BinName(name, part).c_str());
            ::unlink(CsvName(name, part).c_str());
        }
}

void RemoveFolder() {
    RemoveFiles();
    ::rmdir(Folder.c_str());
}

void Put(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort(); // the harness's own folder must take the files
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string_view> Split(std::string_view text, char at) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const auto found = text.find(at);
        pieces.push_back(text.substr(0, found));
        if (found == std::string_view::npos)
            return pieces;
        text.remove_prefix(found + 1);
    }
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    return digits;
}

void CheckTimes(std::string_view input) {
    std::int64_t t[2] = {0, 0};
    std::memcpy(t, input.data(), std::min(input.size(), sizeof t));
    // The second time near the four-digit years' limits, where the text changes its layout.
    constexpr std::uint64_t margin = 1'000'000'000'000;
    t[1] = FirstFourDigitMicros - std::int64_t(margin) +
           std::int64_t(std::uint64_t(t[1]) % (std::uint64_t(PastFourDigitMicros -
                                                              FirstFourDigitMicros) +
                                               2 * margin));
    std::string text[2];
    for (int i = 0; i < 2; ++i) {
        text[i] = FormatUtc(t[i]);
        Require(!text[i].empty() && text[i].back() == 'Z', "a formatted time ends in Z");
        std::int64_t back = 0;
        const bool fourDigits = t[i] >= FirstFourDigitMicros && t[i] < PastFourDigitMicros;
        Require(ParseUtc(text[i], back) == fourDigits,
                "ParseUtc takes exactly the four-digit years");
        Require(!fourDigits || back == t[i], "a parsed time is the formatted one");
    }
    const bool bothFourDigits = text[0].size() == 27 && text[1].size() == 27 &&
                                text[0].front() != '-' && text[1].front() != '-';
    if (bothFourDigits)
        Require((t[0] < t[1]) == (text[0] < text[1]), "times keep their order as texts");

    const std::string any(input);
    std::int64_t parsed = 0;
    if (ParseUtc(any, parsed))
        Require(FormatUtc(parsed) == any, "an accepted time is written back as it was");
}

struct Layout {
    bool series = false;
    std::vector<std::string> csv, bin; // the pieces of the layout's own parts
};

// Makes the files; returns what the layout's own parts hold.
Layout MakeFiles(const std::string& name, unsigned char mode, std::string_view rest) {
    Layout layout;
    const int parts = std::max(mode % 4, 1);
    layout.series = mode % 4 != 0;
    const auto pieces = Split(rest, Separator);
    for (std::size_t i = 0; i < pieces.size() && i < 2 * MaxParts; ++i) {
        const int pair = int(i / 2);
        int number;
        if (!layout.series)
            number = pair == 0 ? 0 : pair; // a series beside the single pair
        else
            number = pair < parts ? pair + 1 : pair + 2; // skips one: a gap
        if (number > MaxParts)
            break;
        const bool isCsv = i % 2 == 0;
        Put(isCsv ? CsvName(name, number) : BinName(name, number), pieces[i]);
        if (pair < parts)
            (isCsv ? layout.csv : layout.bin).emplace_back(pieces[i]);
    }
    return layout;
}

// The rotation size at which the writer splits the events as the parts are split; 0 when
// none does (an empty part, or parts that no single size explains).
std::uint64_t ReproducingRotation(const RecordingReader& reader) {
    const auto& starts = reader.BinStarts();
    const auto& events = reader.Events();
    std::uint64_t lowest = 1, highest = UINT64_MAX;
    std::size_t e = 0;
    for (std::size_t part = 0; part < starts.size(); ++part) {
        const bool last = part + 1 == starts.size();
        const std::uint64_t end = last ? reader.TotalBytes() : starts[part + 1];
        const std::uint64_t size = end - starts[part];
        if (size == 0)
            return starts.size() == 1 ? 1 : 0; // the writer opens no part without an event
        std::uint32_t lastLength = 0;
        for (; e < events.size() && events[e].offset < end; ++e)
            lastLength = events[e].length;
        // Below the size before the last event, so no split comes sooner.
        lowest = std::max(lowest, size - lastLength + 1);
        if (!last)
            highest = std::min(highest, size); // reached, so the next event starts a part
    }
    return lowest <= highest ? lowest : 0;
}

void CheckAccepted(const Layout& layout, const RecordingReader& reader) {
    const auto& events = reader.Events();
    std::string bytes;
    for (const auto& b : layout.bin)
        bytes += b;
    // A part with an index and no bytes, or none at all, is refused.
    const std::size_t parts = layout.bin.size();
    Require(parts >= 1 && layout.csv.size() == parts && reader.BinFiles().size() == parts,
            "every part of the layout is read");
    Require(reader.TotalBytes() == bytes.size(), "the events cover the .bin files");
    std::uint64_t next = 0;
    for (const ReadEvent& e : events) {
        Require(e.offset == next && e.length > 0, "events are contiguous from 0 and have bytes");
        next += e.length;
    }
    Require(next == bytes.size(), "the lengths add up to the .bin sizes");

    // Each row as the index has it: the time as FormatUtc writes it, the numbers as read.
    bool canonical = true;
    std::size_t e = 0;
    for (std::size_t part = 0; part < layout.csv.size(); ++part) {
        auto lines = Split(layout.csv[part], '\n');
        Require(lines.size() >= 2 && lines.front() == CsvHeader && lines.back().empty(),
                "an accepted index is a header and whole lines");
        for (std::size_t i = 1; i + 1 < lines.size(); ++i, ++e) {
            Require(e < events.size(), "one event per row");
            const auto fields = Split(lines[i], ',');
            Require(fields.size() == 3, "a row has three fields");
            Require(fields[2] == FormatUtc(events[e].utcMicros), "the time reads back as written");
            const std::string offset = std::to_string(events[e].offset);
            const std::string length = std::to_string(events[e].length);
            Require(WithoutLeadingZeros(fields[0]) == offset &&
                        WithoutLeadingZeros(fields[1]) == length,
                    "the numbers are the row's");
            canonical = canonical && fields[0] == offset && fields[1] == length;
        }
    }
    Require(e == events.size(), "one row per event");

    // The bytes in order across the parts, and not one more.
    std::string read(bytes.size(), '\0');
    RecordingBytes source(reader);
    source.Read(reinterpret_cast<std::uint8_t*>(read.data()), read.size());
    Require(read == bytes, "the bytes read are the files'");
    bool refused = false;
    try {
        std::uint8_t extra;
        source.Read(&extra, 1);
    } catch (const RecordingError&) {
        refused = true;
    }
    Require(refused, "reading past the end is an error");

    // Written again and read back.
    const std::uint64_t rotation = layout.series ? ReproducingRotation(reader) : 0;
    const bool sameLayout = !layout.series || rotation != 0;
    const std::string out = Folder + "/out";
    std::vector<std::string> written;
    {
        RecordingWriter writer(out, layout.series ? rotation : 0);
        for (const ReadEvent& ev : events)
            writer.Append(reinterpret_cast<const std::uint8_t*>(bytes.data()) + ev.offset,
                          ev.length, ev.utcMicros);
        writer.Close();
        written = writer.Files();
    }
    const RecordingReader again(out);
    Require(again.Events().size() == events.size() &&
                std::equal(events.begin(), events.end(), again.Events().begin(),
                           [](const ReadEvent& a, const ReadEvent& b) {
                               return a.offset == b.offset && a.length == b.length &&
                                      a.utcMicros == b.utcMicros;
                           }),
            "written again, the recording has the same events");
    if (sameLayout) {
        Require(written.size() == 2 * parts, "as many parts as before");
        for (std::size_t part = 0; part < parts; ++part) {
            const int number = layout.series ? int(part) + 1 : 0;
            Require(Get(BinName(out, number)) == layout.bin[part],
                    "written again, each .bin is the same");
            if (canonical)
                Require(Get(CsvName(out, number)) == layout.csv[part],
                        "written again, each .csv is the same");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed where there is such a folder: the writer syncs every file it closes.
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/kelvor-fuzz-recording-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    Folder = pattern;
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 0x80) {
        CheckTimes(rest);
        return 0;
    }
    RemoveFiles();
    const std::string name = Folder + "/in";
    const Layout layout = MakeFiles(name, data[0], rest);
    std::unique_ptr<RecordingReader> reader;
    try {
        reader = std::make_unique<RecordingReader>(name);
    } catch (const RecordingError&) {
        return 0; // refused: the only way to fail
    } catch (const std::exception& e) {
        std::fprintf(stderr, "not a recording error: %s\n", e.what());
        std::abort();
    }
    // Whatever was accepted must read, write and read again without any error.
    CheckAccepted(layout, *reader);
    return 0;
}
