#include "platform/ole/ComObject.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr DWORD ReadWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD ReadOnly = STGM_READ | STGM_SHARE_EXCLUSIVE;

ComPtr<ILockBytes> NewBytes(BOOL deleteOnRelease = TRUE) {
    ComPtr<ILockBytes> bytes;
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, deleteOnRelease, bytes.Put()), S_OK);
    return bytes;
}

std::string AllBytes(ILockBytes* bytes) {
    std::uint64_t size = 0;
    bytes->GetSize(&size);
    std::string out(std::size_t(size), '\0');
    ULONG read = 0;
    bytes->ReadAt(0, out.data(), ULONG(size), &read);
    out.resize(read);
    return out;
}

ComPtr<ILockBytes> BytesHolding(const std::string& data) {
    ComPtr<ILockBytes> bytes = NewBytes();
    ULONG written = 0;
    bytes->WriteAt(0, data.data(), ULONG(data.size()), &written);
    return bytes;
}

void Write(IStorage* storage, LPCOLESTR name, const std::string& data, DWORD extra = 0) {
    ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name, ReadWrite | extra, stream.Put()), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write(data.data(), ULONG(data.size()), &written), S_OK);
    EXPECT_EQ(written, data.size());
}

std::string Read(IStorage* storage, LPCOLESTR name) {
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, ReadOnly, stream.Put()))) {
        return "<missing>";
    }
    std::string out;
    char buffer[7]; // small, so reads span several calls
    ULONG read = 0;
    do {
        EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
        out.append(buffer, read);
    } while (read > 0);
    return out;
}

// Bytes of a committed storage holding two streams.
std::string SavedStorage() {
    ComPtr<ILockBytes> bytes = NewBytes();
    ComPtr<IStorage> storage;
    EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, storage.Put()),
              S_OK);
    Write(storage.Get(), u"CONTENTS", "hello");
    Write(storage.Get(), u"Second", std::string("\0\x01\xff", 3));
    EXPECT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    return AllBytes(bytes.Get());
}

HRESULT OpenResult(const std::string& data) {
    ComPtr<ILockBytes> bytes = BytesHolding(data);
    ComPtr<IStorage> storage;
    const HRESULT hr = StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, storage.Put());
    EXPECT_EQ(SUCCEEDED(hr), bool(storage));
    return hr;
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        s[at + std::size_t(i)] = char(v >> (8 * i));
    }
}

TEST(StorageTest, CommittedStreamsReadBackFromTheLockBytes) {
    ComPtr<ILockBytes> bytes = NewBytes();
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, storage.Put()),
              S_OK);
    const std::string binary("a\0b\r\n\xff", 6);
    Write(storage.Get(), u"CONTENTS", binary);
    Write(storage.Get(), u"Empty", "");
    Write(storage.Get(), u"\u00c9l\u00e9ment", std::string(100000, 'x'));
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    storage.Reset();

    ComPtr<IStorage> again;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, again.Put()), S_OK);
    EXPECT_EQ(Read(again.Get(), u"CONTENTS"), binary);
    EXPECT_EQ(Read(again.Get(), u"Empty"), "");
    EXPECT_EQ(Read(again.Get(), u"\u00c9l\u00e9ment"), std::string(100000, 'x'));
    ComPtr<IStream> stream;
    EXPECT_EQ(again->OpenStream(u"contents2", ReadOnly, stream.Put()), STG_E_FILENOTFOUND);
    EXPECT_FALSE(stream);
}

TEST(StorageTest, ChangesReachTheLockBytesOnlyByCommit) {
    ComPtr<ILockBytes> bytes = NewBytes();
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, storage.Put()),
              S_OK);
    // A new document is valid at once, though empty.
    ComPtr<IStorage> early;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, early.Put()), S_OK);
    Write(storage.Get(), u"CONTENTS", "draft");
    ComPtr<IStorage> beforeCommit;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, beforeCommit.Put()), S_OK);
    EXPECT_EQ(Read(beforeCommit.Get(), u"CONTENTS"), "<missing>");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    ComPtr<IStorage> afterCommit;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, afterCommit.Put()), S_OK);
    EXPECT_EQ(Read(afterCommit.Get(), u"CONTENTS"), "draft");
    // Destroying and committing again takes the stream out; the lock bytes shrink with it.
    const std::string committed = AllBytes(bytes.Get());
    ASSERT_EQ(storage->DestroyElement(u"CONTENTS"), S_OK);
    EXPECT_EQ(storage->DestroyElement(u"CONTENTS"), STG_E_FILENOTFOUND);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    EXPECT_LT(AllBytes(bytes.Get()).size(), committed.size());
}

TEST(StorageTest, CreatingOverAStorageNeedsStgmCreate) {
    ComPtr<ILockBytes> bytes = BytesHolding(SavedStorage());
    ComPtr<IStorage> storage;
    // Lock bytes that hold something are only replaced when asked to.
    EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), ReadWrite, 0, storage.Put()),
              STG_E_FILEALREADYEXISTS);
    EXPECT_FALSE(storage);
    ComPtr<IStorage> old;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, old.Put()), S_OK);
    EXPECT_EQ(Read(old.Get(), u"CONTENTS"), "hello"); // the refusal left them alone
    EXPECT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, old.Put()),
              STG_E_INVALIDFLAG);
}

TEST(StorageTest, StreamCreationHonoursStgmCreate) {
    ComPtr<ILockBytes> bytes = BytesHolding(SavedStorage());
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadWrite, storage.Put()), S_OK);
    ComPtr<IStream> stream;
    EXPECT_EQ(storage->CreateStream(u"CONTENTS", ReadWrite, stream.Put()), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(Read(storage.Get(), u"CONTENTS"), "hello");
    Write(storage.Get(), u"CONTENTS", "new", STGM_CREATE);
    EXPECT_EQ(Read(storage.Get(), u"CONTENTS"), "new");

    // STGM_CREATE on the document drops every stream it had.
    ComPtr<IStorage> fresh;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, fresh.Put()),
              S_OK);
    ComPtr<IStorage> reopened;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, reopened.Put()), S_OK);
    EXPECT_EQ(Read(reopened.Get(), u"CONTENTS"), "<missing>");
    EXPECT_EQ(Read(reopened.Get(), u"Second"), "<missing>");
}

TEST(StorageTest, NamesAndAccessModesAreChecked) {
    ComPtr<ILockBytes> bytes = BytesHolding(SavedStorage());
    ComPtr<IStorage> readOnly;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, readOnly.Put()), S_OK);
    ComPtr<IStream> stream;
    EXPECT_EQ(readOnly->CreateStream(u"New", ReadWrite, stream.Put()), STG_E_ACCESSDENIED);
    EXPECT_EQ(readOnly->Commit(STGC_DEFAULT), STG_E_ACCESSDENIED);
    EXPECT_EQ(readOnly->DestroyElement(u"CONTENTS"), STG_E_ACCESSDENIED);
    EXPECT_EQ(readOnly->OpenStream(u"CONTENTS", ReadWrite, stream.Put()), STG_E_ACCESSDENIED);
    ASSERT_EQ(readOnly->OpenStream(u"CONTENTS", ReadOnly, stream.Put()), S_OK);
    ULONG written = 7;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);

    ComPtr<IStorage> storage;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadWrite, storage.Put()), S_OK);
    const std::u16string longest(31, u'n');
    for (const std::u16string& bad : {std::u16string(), longest + u"n", std::u16string(u"a/b"),
                                      std::u16string(u"a\\b"), std::u16string(u"a:b")}) {
        EXPECT_EQ(storage->CreateStream(bad.c_str(), ReadWrite, stream.Put()), STG_E_INVALIDNAME);
    }
    EXPECT_EQ(storage->CreateStream(nullptr, ReadWrite, stream.Put()), STG_E_INVALIDPOINTER);
    Write(storage.Get(), longest.c_str(), "ok");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    ComPtr<IStorage> reopened;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), ReadOnly, reopened.Put()), S_OK);
    EXPECT_EQ(Read(reopened.Get(), longest.c_str()), "ok");
}

TEST(StorageTest, StreamsSeekWriteAndResize) {
    ComPtr<ILockBytes> bytes = NewBytes();
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, storage.Put()),
              S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(u"S", ReadWrite, stream.Put()), S_OK);
    std::uint64_t at = 99;
    EXPECT_EQ(stream->Seek(-1, STREAM_SEEK_SET, &at), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(at, 99u); // a failed seek reports nothing and moves nothing
    ASSERT_EQ(stream->Seek(3, STREAM_SEEK_SET, &at), S_OK);
    ASSERT_EQ(stream->Write("xy", 2, nullptr), S_OK);
    EXPECT_EQ(Read(storage.Get(), u"S"), std::string("\0\0\0xy", 5)); // the gap reads as zeros
    ASSERT_EQ(stream->Seek(-1, STREAM_SEEK_END, &at), S_OK);
    EXPECT_EQ(at, 4u);
    ASSERT_EQ(stream->Seek(-2, STREAM_SEEK_CUR, &at), S_OK);
    EXPECT_EQ(at, 2u);
    EXPECT_EQ(stream->Seek(0, 7, &at), STG_E_INVALIDFUNCTION);
    ASSERT_EQ(stream->SetSize(4), S_OK);
    EXPECT_EQ(Read(storage.Get(), u"S"), std::string("\0\0\0x", 4));
    // Reading at or past the end is not an error: it reads nothing.
    ASSERT_EQ(stream->Seek(10, STREAM_SEEK_SET, nullptr), S_OK);
    char c = 0;
    ULONG read = 5;
    EXPECT_EQ(stream->Read(&c, 1, &read), S_OK);
    EXPECT_EQ(read, 0u);
}

TEST(StorageTest, MalformedBytesAreRefusedWithoutReadingPastThem) {
    const std::string good = SavedStorage();
    ASSERT_EQ(OpenResult(good), S_OK);
    EXPECT_EQ(OpenResult(""), STG_E_INVALIDHEADER);
    EXPECT_EQ(OpenResult("{\\rtf1 not a storage}"), STG_E_INVALIDHEADER);
    // Every cut of a good storage is refused, and so is anything after its end.
    for (std::size_t n = 0; n < good.size(); ++n) {
        EXPECT_EQ(OpenResult(good.substr(0, n)), STG_E_INVALIDHEADER) << "cut at " << n;
    }
    EXPECT_EQ(OpenResult(good + '\0'), STG_E_INVALIDHEADER);

    // Layout: 8 bytes magic, count at 8, first name length at 12, its name at 16.
    std::string hugeCount = good;
    PutU32(hugeCount, 8, 0xFFFFFFFFu);
    EXPECT_EQ(OpenResult(hugeCount), STG_E_INVALIDHEADER);
    std::string emptyName = good;
    PutU32(emptyName, 12, 0);
    EXPECT_EQ(OpenResult(emptyName), STG_E_INVALIDHEADER);
    std::string longName = good;
    PutU32(longName, 12, 32);
    EXPECT_EQ(OpenResult(longName), STG_E_INVALIDHEADER);
    // "CONTENTS" is 8 units: its data length follows at 16 + 16 = 32, as a u64.
    std::string hugeData = good;
    PutU32(hugeData, 32, 0xFFFFFFFFu);
    PutU32(hugeData, 36, 0xFFFFFFFFu);
    EXPECT_EQ(OpenResult(hugeData), STG_E_INVALIDHEADER);
    std::string badName = good;
    badName[16] = '/';
    EXPECT_EQ(OpenResult(badName), STG_E_INVALIDHEADER);

    // One name twice: two one-unit names, the second made equal to the first.
    ComPtr<ILockBytes> bytes = NewBytes();
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, storage.Put()),
              S_OK);
    Write(storage.Get(), u"A", "1");
    Write(storage.Get(), u"B", "2");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    std::string twice = AllBytes(bytes.Get());
    const std::size_t second = twice.rfind('B');
    ASSERT_NE(second, std::string::npos);
    twice[second] = 'A';
    EXPECT_EQ(OpenResult(twice), STG_E_INVALIDHEADER);

    // Any single damaged byte gives a storage or a refusal, never a crash.
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string damaged = good;
        damaged[i] = char(damaged[i] ^ 0xA5);
        const HRESULT hr = OpenResult(damaged);
        EXPECT_TRUE(hr == S_OK || hr == STG_E_INVALIDHEADER) << "byte " << i;
    }
}

TEST(StorageTest, TheStorageKeepsItsLockBytes) {
    ComPtr<ILockBytes> bytes = NewBytes();
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | ReadWrite, 0, storage.Put()),
              S_OK);
    ILockBytes* raw = bytes.Get();
    raw->AddRef();
    bytes.Reset();
    Write(storage.Get(), u"CONTENTS", "kept");
    EXPECT_EQ(storage->Commit(STGC_DEFAULT), S_OK); // the storage's reference keeps them alive
    EXPECT_NE(AllBytes(raw).find("kept"), std::string::npos);
    storage.Reset();
    EXPECT_EQ(raw->Release(), 0u);
}

TEST(LockBytesTest, ReadAndWriteAtAnyOffset) {
    ComPtr<ILockBytes> bytes = NewBytes();
    ULONG n = 9;
    ASSERT_EQ(bytes->WriteAt(4, "ab", 2, &n), S_OK);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(AllBytes(bytes.Get()), std::string("\0\0\0\0ab", 6));
    char buffer[4] = {};
    ASSERT_EQ(bytes->ReadAt(5, buffer, 4, &n), S_OK);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(buffer[0], 'b');
    ASSERT_EQ(bytes->ReadAt(100, buffer, 4, &n), S_OK);
    EXPECT_EQ(n, 0u);
    ASSERT_EQ(bytes->SetSize(1), S_OK);
    EXPECT_EQ(AllBytes(bytes.Get()).size(), 1u);
    // Sizes past what memory lock bytes allow are refused, not attempted.
    EXPECT_EQ(bytes->SetSize(std::uint64_t(1) << 40), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(bytes->WriteAt(~std::uint64_t(0) - 1, "ab", 2, &n), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(n, 0u);
}

TEST(LockBytesTest, MemoryOutlivesLockBytesUnlessDeletedOnRelease) {
    ComPtr<ILockBytes> deleted = NewBytes(TRUE);
    HGLOBAL handle = reinterpret_cast<HGLOBAL>(1);
    EXPECT_EQ(GetHGlobalFromILockBytes(deleted.Get(), &handle), E_INVALIDARG);
    EXPECT_EQ(handle, nullptr);

    ComPtr<ILockBytes> kept = NewBytes(FALSE);
    ASSERT_EQ(kept->WriteAt(0, "abc", 3, nullptr), S_OK);
    ASSERT_EQ(GetHGlobalFromILockBytes(kept.Get(), &handle), S_OK);
    ASSERT_NE(handle, nullptr);
    kept.Reset();
    EXPECT_EQ(GlobalSize(handle), 3u); // still there after the last reference

    ComPtr<ILockBytes> reopened;
    ASSERT_EQ(CreateILockBytesOnHGlobal(handle, FALSE, reopened.Put()), S_OK);
    EXPECT_EQ(AllBytes(reopened.Get()), "abc");
    ASSERT_EQ(reopened->WriteAt(3, "d", 1, nullptr), S_OK);
    reopened.Reset();
    EXPECT_EQ(GlobalSize(handle), 4u);

    // Reopened with deleteOnRelease, the memory goes with those lock bytes.
    ComPtr<ILockBytes> last;
    ASSERT_EQ(CreateILockBytesOnHGlobal(handle, TRUE, last.Put()), S_OK);
    EXPECT_EQ(AllBytes(last.Get()), "abcd");
    EXPECT_EQ(GlobalSize(handle), 0u);
    EXPECT_EQ(GlobalFree(handle), handle); // no longer a handle
    ComPtr<ILockBytes> stale;
    EXPECT_EQ(CreateILockBytesOnHGlobal(handle, FALSE, stale.Put()), E_INVALIDARG);

    ComPtr<ILockBytes> freed = NewBytes(FALSE);
    HGLOBAL other = nullptr;
    ASSERT_EQ(GetHGlobalFromILockBytes(freed.Get(), &other), S_OK);
    EXPECT_EQ(GlobalFree(other), nullptr);
    EXPECT_EQ(GlobalSize(other), 0u);
    ASSERT_EQ(freed->WriteAt(0, "x", 1, nullptr), S_OK); // live lock bytes keep their memory
    EXPECT_EQ(AllBytes(freed.Get()), "x");
}

} // namespace
