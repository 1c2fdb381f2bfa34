#include "framework/Streams.h"

#include "framework/Exceptions.h"
#include "framework/SysUtils.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string TempPath(const QTemporaryDir& dir, const char* name) {
    return (dir.path() + "/" + name).toStdString();
}

// A stream that accepts only a few bytes, like a full disk.
class TShortStream : public TMemoryStream {
public:
    std::int64_t Write(const void* b, std::int64_t n) override {
        return TMemoryStream::Write(b, std::min<std::int64_t>(n, 3));
    }
};

} // namespace

TEST(MemoryStream, WriteSeekReadAndGrow) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Position(), 5);
    s.SetPosition(10); // writing past the end fills the gap
    s.WriteBuffer("!", 1);
    EXPECT_EQ(s.Size(), 11);
    s.SetPosition(1);
    char buf[16] = {};
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "ell");
    EXPECT_EQ(s.Read(buf, sizeof buf), 7); // short read is allowed by Read...
    s.SetPosition(9);
    EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError); // ...but not by ReadBuffer
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 2), "he");
}

TEST(MemoryStream, ErrorsCarryTheirTexts) {
    TShortStream s;
    try {
        s.WriteBuffer("12345", 5);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "Stream write error");
    }
    TMemoryStream empty;
    try {
        char c;
        empty.ReadBuffer(&c, 1);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}

TEST(MemoryStream, CopyFromWithZeroCopiesTheWholeSource) {
    TMemoryStream source;
    source.WriteBuffer("abcdef", 6);
    source.SetPosition(4);
    TMemoryStream dest;
    EXPECT_EQ(dest.CopyFrom(source, 0), 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dest.Memory()), 6), "abcdef");
}

TEST(FileStream, CreateWriteReopenAndRead) {
    QTemporaryDir dir;
    const std::string path = TempPath(dir, "a.bin");
    {
        TFileStream out(path, fmCreate);
        out.WriteBuffer("data", 4);
    }
    {
        TFileStream in(path, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(in.Size(), 4);
        char buf[4];
        in.ReadBuffer(buf, 4);
        EXPECT_EQ(std::string(buf, 4), "data");
    }
    {
        TFileStream again(path, fmCreate); // create truncates
        EXPECT_EQ(again.Size(), 0);
    }
}

TEST(FileStream, FailuresNameTheFullFileName) {
    QTemporaryDir dir;
    const std::string missing = TempPath(dir, "no/such/folder/x.rtf");
    try {
        TFileStream s(missing, fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + ExpandFileName(missing));
    }
    const std::string absent = TempPath(dir, "absent.txt");
    try {
        TFileStream s(absent, fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + absent);
    }
    EXPECT_THROW(TFileStream(dir.path().toStdString(), fmCreate), EFCreateError);
}

TEST(FileStream, SharingRulesBetweenOpenStreams) {
    QTemporaryDir dir;
    const std::string path = TempPath(dir, "shared.txt");
    { TFileStream create(path, fmCreate); }
    {
        TFileStream reader(path, fmOpenRead | fmShareDenyWrite);
        // Other readers are fine, writers are denied, and so is a create (which would truncate).
        EXPECT_NO_THROW(TFileStream(path, fmOpenRead | fmShareDenyNone));
        EXPECT_THROW(TFileStream(path, fmOpenWrite | fmShareDenyNone), EFOpenError);
        EXPECT_THROW(TFileStream(path, fmCreate), EFCreateError);
    }
    {
        TFileStream writer(path, fmCreate); // a created file is held exclusively
        writer.WriteBuffer("x", 1);
        EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareDenyNone), EFOpenError);
    }
    TFileStream reader(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(reader.Size(), 1) << "a refused create must not have truncated the file";
}
