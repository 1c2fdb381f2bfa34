#pragma once
// A recording: the bytes a station sent, in order, kept with the boundaries and arrival times of
// the read events that received them.
//
// NAME.bin holds the bytes and nothing else; NAME.csv a header line "offset,length,utc" and one
// row per read event ("0,64,2026-12-08T18:26:52.123456Z"). Rotated recordings are the series
// NAME.0001.bin/.csv, NAME.0002.bin/.csv, ...; a new pair starts only between read events, every
// .csv has the header, and offsets count from the start of the whole recording.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace capture {

struct ReadEvent {
    std::uint64_t offset;   // of the event's first byte, from the start of the recording
    std::uint32_t length;   // bytes, > 0
    std::int64_t utcMicros; // arrival, microseconds since the Unix epoch
};

class RecordingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* CsvHeader = "offset,length,utc";

// "2026-12-08T18:26:52.123456Z"
std::string FormatUtc(std::int64_t utcMicros);
// The inverse of FormatUtc; false for anything else (no other layout, no out-of-range field).
bool ParseUtc(std::string_view text, std::int64_t& utcMicros);
// Microseconds since the Unix epoch, now.
std::int64_t UtcMicrosNow();

// Whether anything (a file, a folder, ...) is at path.
bool FileExists(const std::string& path);

// The file names of a recording: NAME.bin/NAME.csv, or part `number` (from 1) of a rotated one.
std::string BinName(const std::string& name, int number = 0);
std::string CsvName(const std::string& name, int number = 0);

// Reads and checks a whole recording's index; the bytes stay in the files.
class RecordingReader {
public:
    // Throws RecordingError naming the file (and line) of the first fault found.
    explicit RecordingReader(const std::string& name);

    const std::vector<ReadEvent>& Events() const { return FEvents; }
    const std::vector<std::string>& BinFiles() const { return FBinFiles; }
    // Where each .bin file starts in the recording (same order as BinFiles()).
    const std::vector<std::uint64_t>& BinStarts() const { return FBinStarts; }
    std::uint64_t TotalBytes() const { return FTotal; }

private:
    void ReadPart(const std::string& bin, const std::string& csv);

    std::vector<ReadEvent> FEvents;
    std::vector<std::string> FBinFiles;
    std::vector<std::uint64_t> FBinStarts;
    std::uint64_t FTotal = 0;
};

// The recording's bytes in order, across its files, read in large pieces.
class RecordingBytes {
public:
    explicit RecordingBytes(const RecordingReader& reader);
    ~RecordingBytes();
    RecordingBytes(const RecordingBytes&) = delete;
    RecordingBytes& operator=(const RecordingBytes&) = delete;

    // Reads the next n bytes; throws RecordingError when the files hold fewer than their index
    // says (they changed after they were checked).
    void Read(std::uint8_t* out, std::size_t n);

private:
    const RecordingReader& FReader;
    std::size_t FFile = 0;
    std::FILE* FStream = nullptr;
    std::uint64_t FLeft = 0; // bytes of the open file not read yet
};

// Writes a recording as its read events arrive. Writes are buffered (nothing is flushed per
// event); Flush() and Close() write the .bin before the .csv, so that whatever is on disk, the
// index never claims a byte the .bin lacks.
class RecordingWriter {
public:
    // rotateBytes 0: one pair NAME.bin/NAME.csv; otherwise the numbered series, a new pair once
    // the current .bin holds at least rotateBytes. Refuses (RecordingError) to replace any file of
    // an earlier recording of that name.
    explicit RecordingWriter(const std::string& name, std::uint64_t rotateBytes = 0);
    ~RecordingWriter(); // closes; a failure here is lost, so call Close() to see it
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // One read event: its bytes (count > 0) and its arrival time.
    void Append(const std::uint8_t* bytes, std::size_t count, std::int64_t utcMicros);
    void Flush();
    // Flushes, syncs and closes both files; throws RecordingError when anything failed.
    void Close();
    // Closes and deletes every file written: for a recording that never began (the station
    // could not be reached), which would otherwise block the name for the next attempt.
    void Discard();

    std::uint64_t TotalBytes() const { return FTotal; }
    std::uint64_t EventCount() const { return FEvents; }
    // The files written so far (the last pair is the open one).
    const std::vector<std::string>& Files() const { return FFiles; }

private:
    class File;
    void OpenPart();
    void ClosePart();

    std::string FName;
    std::uint64_t FRotate;
    int FPart = 0;
    std::uint64_t FTotal = 0, FEvents = 0, FPartBytes = 0;
    std::unique_ptr<File> FBin, FCsv;
    std::vector<std::string> FFiles;
};

} // namespace capture
