// Reading a recording's index and checking it against its byte files before anyone trusts it.

#include "capture/Recording.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>

namespace capture {

namespace {

std::uint64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw RecordingError(path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw RecordingError(path + ": not a regular file");
    return static_cast<std::uint64_t>(st.st_size);
}

// One decimal field of a row, nothing but digits.
template <typename T> bool Field(std::string_view text, T& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Reads a text file line by line in large pieces (an index may have millions of rows).
class LineReader {
public:
    explicit LineReader(const std::string& path) : FPath(path) {
        FFile = std::fopen(path.c_str(), "rb");
        if (!FFile)
            throw RecordingError(path + ": " + std::strerror(errno));
    }
    ~LineReader() { std::fclose(FFile); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line without its "\n"; false at the end. A last line without its line end means
    // the file was cut short, and is refused.
    bool Next(std::string_view& line) {
        for (;;) {
            if (const auto nl = FBuffer.find('\n', FPos); nl != std::string::npos) {
                line = std::string_view(FBuffer).substr(FPos, nl - FPos);
                FPos = nl + 1;
                ++FLine;
                return true;
            }
            FBuffer.erase(0, FPos);
            FPos = 0;
            char piece[1 << 16];
            const std::size_t got = std::fread(piece, 1, sizeof piece, FFile);
            if (got == 0) {
                if (std::ferror(FFile))
                    throw RecordingError(FPath + ": " + std::strerror(errno));
                if (!FBuffer.empty())
                    throw RecordingError(FPath + " line " + std::to_string(FLine + 1) +
                                         ": the line has no end (the file was cut short)");
                return false;
            }
            FBuffer.append(piece, got);
        }
    }
    long long Line() const { return FLine; }

private:
    std::string FPath;
    std::FILE* FFile = nullptr;
    std::string FBuffer;
    std::size_t FPos = 0;
    long long FLine = 0;
};

} // namespace

RecordingReader::RecordingReader(const std::string& name) {
    const bool single = FileExists(BinName(name)) || FileExists(CsvName(name));
    const bool series = FileExists(BinName(name, 1)) || FileExists(CsvName(name, 1));
    if (single && series)
        throw RecordingError(name + ": both " + BinName(name) + " and " + BinName(name, 1) +
                             " exist; move one of the recordings away");
    if (!single && !series)
        throw RecordingError(name + ": no recording (neither " + BinName(name) + " nor " +
                             BinName(name, 1) + " exists)");
    if (single) {
        ReadPart(BinName(name), CsvName(name));
        return;
    }
    for (int part = 1;; ++part) {
        const std::string bin = BinName(name, part), csv = CsvName(name, part);
        if (!FileExists(bin) && !FileExists(csv)) {
            // A later part after a missing one would be bytes silently left out.
            if (FileExists(BinName(name, part + 1)) || FileExists(CsvName(name, part + 1)))
                throw RecordingError(bin + ": missing, but " + BinName(name, part + 1) +
                                     " follows it");
            break;
        }
        ReadPart(bin, csv);
    }
}

void RecordingReader::ReadPart(const std::string& bin, const std::string& csv) {
    if (!FileExists(bin))
        throw RecordingError(bin + ": missing (" + csv + " indexes it)");
    if (!FileExists(csv))
        throw RecordingError(csv + ": missing (the index of " + bin + ")");
    const std::uint64_t binSize = FileSize(bin);
    const std::uint64_t start = FTotal;
    LineReader lines(csv);
    std::string_view line;
    if (!lines.Next(line) || line != CsvHeader)
        throw RecordingError(csv + " line 1: the header \"" + CsvHeader + "\" is missing");
    auto where = [&] { return csv + " line " + std::to_string(lines.Line()) + ": "; };
    while (lines.Next(line)) {
        const auto comma1 = line.find(',');
        const auto comma2 = comma1 == std::string_view::npos ? comma1 : line.find(',', comma1 + 1);
        ReadEvent e{};
        if (comma2 == std::string_view::npos || !Field(line.substr(0, comma1), e.offset) ||
            !Field(line.substr(comma1 + 1, comma2 - comma1 - 1), e.length) ||
            !ParseUtc(line.substr(comma2 + 1), e.utcMicros))
            throw RecordingError(where() +
                                 "not a row OFFSET,LENGTH,YYYY-MM-DDTHH:MM:SS.ffffffZ: \"" +
                                 std::string(line.substr(0, 80)) + "\"");
        if (e.length == 0)
            throw RecordingError(where() + "an event of length 0");
        if (e.offset != FTotal)
            throw RecordingError(where() + "offset " + std::to_string(e.offset) + " where " +
                                 std::to_string(FTotal) +
                                 " follows the previous event (a gap or an overlap)");
        FTotal += e.length;
        if (FTotal - start > binSize)
            throw RecordingError(where() + "the event ends at byte " +
                                 std::to_string(FTotal - start) + " of " + bin + ", which holds " +
                                 std::to_string(binSize) + " bytes (the .bin is short)");
        FEvents.push_back(e);
    }
    if (FTotal - start != binSize)
        throw RecordingError(bin + ": holds " + std::to_string(binSize) + " bytes, but " + csv +
                             " accounts for " + std::to_string(FTotal - start) +
                             " (bytes without an event)");
    FBinFiles.push_back(bin);
    FBinStarts.push_back(start);
}

RecordingBytes::RecordingBytes(const RecordingReader& reader) : FReader(reader) {}

RecordingBytes::~RecordingBytes() {
    if (FStream)
        std::fclose(FStream);
}

void RecordingBytes::Read(std::uint8_t* out, std::size_t n) {
    const auto& files = FReader.BinFiles();
    const auto& starts = FReader.BinStarts();
    while (n > 0) {
        if (!FStream) {
            if (FFile >= files.size())
                throw RecordingError("the recording ends before its index does");
            FStream = std::fopen(files[FFile].c_str(), "rb");
            if (!FStream)
                throw RecordingError(files[FFile] + ": " + std::strerror(errno));
            const std::uint64_t end =
                FFile + 1 < starts.size() ? starts[FFile + 1] : FReader.TotalBytes();
            FLeft = end - starts[FFile];
        }
        // Never past this file's share, so a file that changed cannot shift the bytes that
        // follow it into the wrong events.
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, FLeft));
        const std::size_t got = want ? std::fread(out, 1, want, FStream) : 0;
        if (got < want)
            throw RecordingError(files[FFile] + ": " +
                                 (std::ferror(FStream) ? std::string(std::strerror(errno))
                                                       : "shorter than its index says"));
        out += got;
        n -= got;
        FLeft -= got;
        if (FLeft == 0) {
            std::fclose(FStream);
            FStream = nullptr;
            ++FFile;
        }
    }
}

} // namespace capture
