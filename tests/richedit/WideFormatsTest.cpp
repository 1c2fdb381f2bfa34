#include "MemoryWideStrings.h"
#include "framework/Streams.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

using Bytes = std::string;

Bytes Saved(TWideStrings& list) {
    TMemoryStream stream;
    list.SaveToStream(stream);
    return Bytes(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

Lines Loaded(const Bytes& bytes, std::int64_t start = 0) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    stream.SetPosition(start);
    TMemoryWideStrings list;
    list.LoadFromStream(stream);
    return list.Lines();
}

// A stream that takes only the first Capacity bytes written to it.
class TShortStream : public TMemoryStream {
public:
    explicit TShortStream(std::int64_t capacity) : FCapacity(capacity) {}
    std::int64_t Write(const void* Buffer, std::int64_t Count) override {
        const std::int64_t n = std::min(Count, FCapacity - Size());
        return n > 0 ? TMemoryStream::Write(Buffer, n) : 0;
    }

private:
    std::int64_t FCapacity;
};

const Lines kAwkward = {
    u"plain", u"", u"caf\u00E9 \u20AC", u"\u4E2D\u6587", u"\U0001F600 pair", u"\uFFFD\u0001"};

TEST(WideStream, Format) {
    TMemoryWideStrings list;
    list.Add(u"A");
    EXPECT_EQ(Saved(list), Bytes("\xFE\xFF\x41\x00\x0D\x00\x0A\x00", 8));
    EXPECT_EQ(Loaded(Bytes("\xFE\xFF\x41\x00\x0D\x00\x0A\x00", 8)), Lines{u"A"});
    // No mark: the first bytes are text.
    EXPECT_EQ(Loaded(Bytes("\x41\x00\x42\x00", 4)), Lines{u"AB"});
    // The opposite mark swaps every code unit.
    EXPECT_EQ(Loaded(Bytes("\xFF\xFE\x00\x41", 4)), Lines{u"A"});
    // An odd last byte is dropped; reading starts at the stream's position.
    EXPECT_EQ(Loaded(Bytes("\x41\x00\x42", 3)), Lines{u"A"});
    EXPECT_EQ(Loaded(Bytes("junk\xFE\xFF\x43\x00", 8), 4), Lines{u"C"});
    TMemoryWideStrings empty;
    EXPECT_EQ(Saved(empty), Bytes("\xFE\xFF", 2));
}

// A stream that refuses to move before its start instead of clamping.
class TStrictStream : public TMemoryStream {
public:
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        const std::int64_t base = Origin == soBeginning ? 0
                                  : Origin == soCurrent ? TMemoryStream::Seek(0, soCurrent)
                                                        : Size();
        if (base + Offset < 0)
            throw EStreamError("seek before start");
        return TMemoryStream::Seek(Offset, Origin);
    }
};

TEST(WideStream, StreamsShorterThanAMark) {
    EXPECT_EQ(Loaded(Bytes()), Lines{});
    EXPECT_EQ(Loaded(Bytes("\x41", 1)), Lines{});
    TStrictStream stream;
    stream.WriteBuffer("\x41", 1);
    stream.SetPosition(0);
    TMemoryWideStrings list;
    list.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), 1);
}

TEST(WideStream, RoundTripsAnyText) {
    TMemoryWideStrings list;
    for (const auto& line : kAwkward)
        list.Add(line);
    EXPECT_EQ(Loaded(Saved(list)), kAwkward);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath("lines.txt").toStdString();
    list.SaveToFile(file);
    TMemoryWideStrings back;
    back.Add(u"replaced");
    back.UpdateStates.clear();
    back.LoadFromFile(file);
    EXPECT_EQ(back.Lines(), kAwkward);
    EXPECT_EQ(back.UpdateStates, (std::vector<bool>{true, false}));
}

TEST(WideStream, Failures) {
    TMemoryWideStrings list;
    list.Add(u"abc");
    TShortStream stream(5);
    try {
        list.SaveToStream(stream);
        FAIL() << "no exception";
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "Stream write error");
    }
    QTemporaryDir dir;
    const std::string missing = dir.filePath("missing.txt").toStdString();
    try {
        list.LoadFromFile(missing);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("Cannot open file"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(list.Lines(), Lines{u"abc"});
    EXPECT_THROW(list.SaveToFile(dir.filePath("no/such/folder.txt").toStdString()), EFCreateError);
}

TEST(WideStringsValue, HexDigitsPerCodeUnit) {
    TMemoryWideStrings list;
    list.Add(u"ab");
    list.Add(u"c");
    EXPECT_EQ(list.WideStringsValue(), "00610062000D000A0063000D000A");
    list.Clear();
    EXPECT_EQ(list.WideStringsValue(), "");

    for (const auto& line : kAwkward)
        list.Add(line);
    TMemoryWideStrings back;
    back.Add(u"replaced");
    back.ReadWideStringsValue(list.WideStringsValue());
    EXPECT_EQ(back.Lines(), kAwkward);
    EXPECT_NE(list.WideStringsValue().find("D83DDE00"), std::string::npos);

    // Lower case digits are numbers too; a group that is not one reads as U+FFFD; a partial
    // group at the end is ignored.
    back.ReadWideStringsValue("00e9G041 0410041XYZ");
    EXPECT_EQ(back.Lines(), Lines{u"\u00E9\uFFFD\uFFFD\u0041"});
}

// Filers that record what a list declares.
class RecordingWriter : public TWriter {
public:
    void DefineProperty(const std::string& name, const std::function<void(TReader&)>&,
                        const std::function<void(TWriter&)>& writeData, bool hasData) override {
        Names.push_back(name);
        if (hasData)
            writeData(*this);
    }
    void DefineBinaryProperty(const std::string&, const std::function<void(TStream&)>&,
                              const std::function<void(TStream&)>&, bool) override {}
    void WriteString(const std::string& value) override { Written.push_back(value); }
    void WriteInteger(long long) override {}
    void WriteBoolean(bool) override {}
    void WriteStringList(const std::vector<std::string>&) override {}

    std::vector<std::string> Names;
    std::vector<std::string> Written;
};

class ValueReader : public TReader {
public:
    explicit ValueReader(std::string value) : FValue(std::move(value)) {}
    void DefineProperty(const std::string& name, const std::function<void(TReader&)>& readData,
                        const std::function<void(TWriter&)>&, bool) override {
        if (name == "WideStrings")
            readData(*this);
    }
    void DefineBinaryProperty(const std::string&, const std::function<void(TStream&)>&,
                              const std::function<void(TStream&)>&, bool) override {}
    std::string ReadString() override { return FValue; }
    long long ReadInteger() override { return 0; }
    bool ReadBoolean() override { return false; }
    std::vector<std::string> ReadStringList() override { return {}; }

private:
    std::string FValue;
};

TEST(WideStringsValue, StoredOnlyWhenItDiffers) {
    TMemoryWideStrings list;
    auto written = [&](TPersistent* ancestor) {
        RecordingWriter writer;
        writer.SetAncestor(ancestor);
        list.DefineProperties(writer);
        EXPECT_EQ(writer.Names, std::vector<std::string>{"WideStrings"});
        return writer.Written;
    };
    EXPECT_TRUE(written(nullptr).empty());
    TStringList narrowAncestor;
    EXPECT_EQ(written(&narrowAncestor), std::vector<std::string>{""});

    list.Add(u"A");
    EXPECT_EQ(written(nullptr), std::vector<std::string>{"0041000D000A"});
    TMemoryWideStrings same, different;
    same.Add(u"A");
    different.Add(u"a");
    EXPECT_TRUE(written(&same).empty());
    EXPECT_EQ(written(&different).size(), 1u);

    ValueReader reader("004200430044");
    list.DefineProperties(reader);
    EXPECT_EQ(list.Lines(), Lines{u"BCD"});
}

} // namespace
