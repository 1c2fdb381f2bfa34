// Writing a recording as it arrives: large buffered writes, a new pair of files between read
// events when rotating, and files that are complete whenever they are flushed or closed.

#include "capture/Recording.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace capture {

// A file written through a buffer of our own with plain write(2) calls, so a failure (a full
// disk) is seen at the write that met it, with its errno.
class RecordingWriter::File {
public:
    File(std::string path, std::size_t capacity) : FPath(std::move(path)), FBuffer(capacity) {
        // O_EXCL: an earlier recording is never replaced, not even by a race.
        FFd = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (FFd < 0)
            throw RecordingError(FPath + ": " + std::strerror(errno));
    }
    ~File() {
        if (FFd >= 0) {
            try {
                Flush();
            } catch (const RecordingError&) {
            }
            ::close(FFd);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    void Write(const void* data, std::size_t n) {
        if (FUsed + n > FBuffer.size()) {
            Flush();
            if (n >= FBuffer.size()) {
                WriteAll(static_cast<const char*>(data), n);
                return;
            }
        }
        std::memcpy(FBuffer.data() + FUsed, data, n);
        FUsed += n;
    }

    void Flush() {
        const std::size_t n = FUsed;
        FUsed = 0;
        WriteAll(FBuffer.data(), n);
    }

    void Close() {
        Flush();
        const int fd = FFd;
        FFd = -1;
        if (::fsync(fd) != 0 && errno != EINVAL) { // EINVAL: a file system without sync
            const int error = errno;
            ::close(fd);
            throw RecordingError(FPath + ": " + std::strerror(error));
        }
        if (::close(fd) != 0)
            throw RecordingError(FPath + ": " + std::strerror(errno));
    }

private:
    void WriteAll(const char* data, std::size_t n) {
        while (n > 0) {
            const ssize_t done = ::write(FFd, data, n);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                throw RecordingError(FPath + ": " + std::strerror(done < 0 ? errno : EIO));
            data += done;
            n -= static_cast<std::size_t>(done);
        }
    }

    std::string FPath;
    std::vector<char> FBuffer;
    std::size_t FUsed = 0;
    int FFd = -1;
};

namespace {

constexpr std::size_t BinBuffer = 1 << 20;
constexpr std::size_t CsvBuffer = 1 << 16;

} // namespace

RecordingWriter::RecordingWriter(const std::string& name, std::uint64_t rotateBytes)
    : FName(name), FRotate(rotateBytes) {
    // Either layout of an earlier recording of this name would be damaged or shadowed by ours.
    for (const std::string& path :
         {BinName(name), CsvName(name), BinName(name, 1), CsvName(name, 1)})
        if (FileExists(path))
            throw RecordingError(path + " exists; not replacing an earlier recording");
    OpenPart();
}

RecordingWriter::~RecordingWriter() {
    try {
        Close();
    } catch (const RecordingError&) {
    }
}

void RecordingWriter::OpenPart() {
    const int number = FRotate ? ++FPart : 0;
    const std::string bin = BinName(FName, number), csv = CsvName(FName, number);
    FBin = std::make_unique<File>(bin, BinBuffer);
    FFiles.push_back(bin);
    FCsv = std::make_unique<File>(csv, CsvBuffer);
    FFiles.push_back(csv);
    FCsv->Write(CsvHeader, std::strlen(CsvHeader));
    FCsv->Write("\n", 1);
    FPartBytes = 0;
}

void RecordingWriter::ClosePart() {
    // Bytes first: a .csv on disk never indexes bytes its .bin does not hold yet.
    auto bin = std::move(FBin);
    auto csv = std::move(FCsv);
    bin->Close();
    csv->Close();
}

void RecordingWriter::Append(const std::uint8_t* bytes, std::size_t count, std::int64_t utcMicros) {
    if (!FBin)
        throw RecordingError(FName + ": the recording is closed");
    if (count == 0)
        return; // a read event always has bytes; nothing to index otherwise
    if (count > UINT32_MAX)
        throw RecordingError(FName + ": a read event of more than 4 GiB");
    if (FRotate && FPartBytes >= FRotate) {
        ClosePart();
        OpenPart();
    }
    FBin->Write(bytes, count);
    char row[96];
    char* p = row;
    p = std::to_chars(p, row + 40, FTotal).ptr;
    *p++ = ',';
    p = std::to_chars(p, row + 60, count).ptr;
    *p++ = ',';
    const std::string utc = FormatUtc(utcMicros);
    std::memcpy(p, utc.data(), std::min<std::size_t>(utc.size(), 32));
    p += std::min<std::size_t>(utc.size(), 32);
    *p++ = '\n';
    FCsv->Write(row, static_cast<std::size_t>(p - row));
    FTotal += count;
    FPartBytes += count;
    ++FEvents;
}

void RecordingWriter::Flush() {
    if (FBin) {
        FBin->Flush();
        FCsv->Flush();
    }
}

void RecordingWriter::Close() {
    if (FBin)
        ClosePart();
}

void RecordingWriter::Discard() {
    FBin.reset();
    FCsv.reset();
    for (const std::string& path : FFiles)
        ::unlink(path.c_str());
    FFiles.clear();
}

} // namespace capture
