#include "framework/Streams.h"

#include "framework/Exceptions.h"
#include "framework/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

// --- TStream -----------------------------------------------------------------------------

std::int64_t TStream::Size() {
    const std::int64_t pos = Seek(0, soCurrent);
    const std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(std::int64_t) {}

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EWriteError(SWriteError);
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    const std::int64_t total = Count;
    std::vector<char> buffer(static_cast<size_t>(std::min<std::int64_t>(Count, 1 << 16)));
    while (Count > 0) {
        const std::int64_t n =
            std::min<std::int64_t>(Count, static_cast<std::int64_t>(buffer.size()));
        Source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        Count -= n;
    }
    return total;
}

// --- TMemoryStream -------------------------------------------------------------------------

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0 || FPosition >= FSize)
        return 0;
    const std::int64_t n = std::min(Count, FSize - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0 || FPosition < 0)
        return 0;
    const std::int64_t end = FPosition + Count;
    if (end > FSize) {
        Reserve(end);
        FSize = end;
    }
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = end;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
    case soBeginning:
        FPosition = Offset;
        break;
    case soCurrent:
        FPosition += Offset;
        break;
    case soEnd:
        FPosition = FSize + Offset;
        break;
    }
    return FPosition;
}

void TMemoryStream::Reserve(std::int64_t Capacity) {
    if (Capacity <= static_cast<std::int64_t>(FData.size()))
        return;
    try {
        // Grow geometrically so appending many small pieces stays linear.
        const auto wanted =
            std::max<std::int64_t>(Capacity, static_cast<std::int64_t>(FData.size()) * 3 / 2);
        FData.resize(static_cast<size_t>(wanted));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(SMemoryStreamError);
    } catch (const std::length_error&) {
        throw EOutOfMemory(SMemoryStreamError);
    }
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    NewSize = std::max<std::int64_t>(NewSize, 0);
    Reserve(NewSize);
    FSize = NewSize;
    FPosition = std::min(FPosition, FSize);
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
    Stream.SetPosition(0);
    const std::int64_t n = Stream.Size();
    SetSize(n);
    Stream.ReadBuffer(FData.data(), n);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& Stream) {
    Stream.WriteBuffer(FData.data(), FSize);
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
    TFileStream file(FileName, fmCreate);
    SaveToStream(file);
}

// --- TFileStream -----------------------------------------------------------------------------

namespace {

// Open file streams of this process by file identity, for the sharing rules.
struct OpenFile {
    const void* stream;
    bool reads;
    bool writes;
    unsigned share;
};
std::multimap<std::pair<std::uint64_t, std::uint64_t>, OpenFile>& OpenFiles() {
    static std::multimap<std::pair<std::uint64_t, std::uint64_t>, OpenFile> files;
    return files;
}

bool Denies(unsigned share, bool reads, bool writes) {
    switch (share) {
    case fmShareExclusive:
        return true;
    case fmShareDenyWrite:
        return writes;
    case fmShareDenyRead:
        return reads;
    case fmShareCompat:
        return true; // as on the platform, compatibility mode shares nothing
    default:
        return false;
    }
}

bool SharingAllows(std::uint64_t dev, std::uint64_t ino, bool reads, bool writes, unsigned share) {
    auto [first, last] = OpenFiles().equal_range({dev, ino});
    for (auto it = first; it != last; ++it) {
        const OpenFile& open = it->second;
        if (Denies(open.share, reads, writes) || Denies(share, open.reads, open.writes))
            return false;
    }
    return true;
}

} // namespace

TFileStream::TFileStream(const std::string& FileName, unsigned Mode) : FFileName(FileName) {
    const bool create = Mode == fmCreate;
    const unsigned access = create ? fmOpenReadWrite : (Mode & 0x3);
    const unsigned share = create ? fmShareExclusive : (Mode & 0xF0);
    const bool reads = access != fmOpenWrite;
    const bool writes = access != fmOpenRead;
    int flags = access == fmOpenRead ? O_RDONLY : (access == fmOpenWrite ? O_WRONLY : O_RDWR);
    flags |= O_CLOEXEC;

    auto fail = [&]() {
        const std::string full = ExpandFileName(FileName);
        if (create)
            throw EFCreateError(Format(SFCreateError, full));
        throw EFOpenError(Format(SFOpenError, full));
    };

    // Check sharing before touching the file, so a refused create does not truncate it.
    struct stat st {};
    if (::stat(FileName.c_str(), &st) == 0 &&
        !SharingAllows(st.st_dev, st.st_ino, reads, writes, share))
        fail();

    FHandle =
        ::open(FileName.c_str(), create ? (O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC) : flags, 0666);
    if (FHandle < 0)
        fail();
    if (::fstat(FHandle, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        fail();
    }
    FDevice = st.st_dev;
    FInode = st.st_ino;
    OpenFiles().emplace(std::make_pair(FDevice, FInode), OpenFile{this, reads, writes, share});
}

TFileStream::~TFileStream() {
    if (FHandle < 0)
        return;
    ::close(FHandle);
    auto [first, last] = OpenFiles().equal_range({FDevice, FInode});
    for (auto it = first; it != last; ++it) {
        if (it->second.stream == this) {
            OpenFiles().erase(it);
            break;
        }
    }
}

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count) {
    std::int64_t done = 0;
    auto* out = static_cast<char*>(Buffer);
    while (done < Count) {
        const ssize_t n = ::read(FHandle, out + done, static_cast<size_t>(Count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* Buffer, std::int64_t Count) {
    std::int64_t done = 0;
    const auto* in = static_cast<const char*>(Buffer);
    while (done < Count) {
        const ssize_t n = ::write(FHandle, in + done, static_cast<size_t>(Count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    const int whence =
        Origin == soBeginning ? SEEK_SET : (Origin == soCurrent ? SEEK_CUR : SEEK_END);
    const off_t result = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

void TFileStream::SetSize(std::int64_t NewSize) {
    if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
        throw EWriteError(SWriteError);
    if (Position() > NewSize)
        SetPosition(NewSize);
}
