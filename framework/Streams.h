#pragma once
// Byte streams: the abstract stream, an in-memory stream and a file stream with the
// framework's open modes and sharing rules.

#include "framework/Classes.h"

#include <cstdint>
#include <string>
#include <vector>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    std::string ClassName() const override { return "TStream"; }

    // Read and Write move as many bytes as they can and return how many.
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t Pos) { Seek(Pos, soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t NewSize);

    // All or nothing: a short read raises EReadError "Stream read error", a short write
    // EWriteError "Stream write error".
    void ReadBuffer(void* Buffer, std::int64_t Count);
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Copies Count bytes from Source's position; Count 0 copies all of Source from its start.
    std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};

class TMemoryStream : public TStream {
public:
    std::string ClassName() const override { return "TMemoryStream"; }

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return FSize; }
    void SetSize(std::int64_t NewSize) override;

    void Clear();
    std::uint8_t* Memory() { return FData.data(); }
    const std::uint8_t* Memory() const { return FData.data(); }
    void LoadFromStream(TStream& Stream);
    void LoadFromFile(const std::string& FileName);
    void SaveToStream(TStream& Stream);
    void SaveToFile(const std::string& FileName);

private:
    void Reserve(std::int64_t Capacity);
    std::vector<std::uint8_t> FData;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};

// Open modes: one access mode or'ed with one sharing mode; fmCreate creates or truncates.
inline constexpr unsigned fmCreate = 0xFFFF;
inline constexpr unsigned fmOpenRead = 0x0000;
inline constexpr unsigned fmOpenWrite = 0x0001;
inline constexpr unsigned fmOpenReadWrite = 0x0002;
inline constexpr unsigned fmShareCompat = 0x0000;
inline constexpr unsigned fmShareExclusive = 0x0010;
inline constexpr unsigned fmShareDenyWrite = 0x0020;
inline constexpr unsigned fmShareDenyRead = 0x0030;
inline constexpr unsigned fmShareDenyNone = 0x0040;

// A file on disk. Sharing is enforced between the streams of this process, as the platform
// would between processes: opening a file that another open stream denies (or opening it
// with a denial that an open stream violates) fails like a missing file.
class TFileStream : public TStream {
public:
    // Raises EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s" with
    // the full file name.
    TFileStream(const std::string& FileName, unsigned Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::string ClassName() const override { return "TFileStream"; }
    const std::string& FileName() const { return FFileName; }

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(std::int64_t NewSize) override;

private:
    std::string FFileName;
    int FHandle = -1;
    std::uint64_t FDevice = 0;
    std::uint64_t FInode = 0;
};
