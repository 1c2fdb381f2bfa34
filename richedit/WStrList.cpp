// Generic operations of the wide string list, built from the few primitives a concrete list
// supplies, and its stream and form-data formats.

#include "richedit/WStrList.h"

#include "framework/Exceptions.h"
#include "framework/Streams.h"

#include <algorithm>
#include <vector>

namespace {

using CompareFunction = int (*)(const std::u16string&, const std::u16string&, TLanguage);

int CompareWide(const std::u16string& A, const std::u16string& B, TLanguage Locale) {
    return CompareStringW(Locale, NORM_IGNORECASE, A.data(), int(A.size()), B.data(),
                          int(B.size())) -
           2;
}

// Decided once, before any list exists.
CompareFunction ChooseCompare() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT)
        return CompareWide;
    return CompareWideTextAnsi;
}

const CompareFunction compareWideText = ChooseCompare();

// The mark SaveToStream writes; a stream starting with the opposite order is byte-swapped.
constexpr unsigned char kMark[2] = {0xFE, 0xFF};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

int CompareWideTextAnsi(const std::u16string& A, const std::u16string& B, TLanguage Locale) {
    // Whole conversions: a double-byte code page needs more bytes than characters.
    const UINT codePage = CodePageOfLanguage(Locale);
    const std::string a = WideToAnsi(A, codePage);
    const std::string b = WideToAnsi(B, codePage);
    return CompareStringA(Locale, NORM_IGNORECASE, a.data(), int(a.size()), b.data(),
                          int(b.size())) -
           2;
}

int CompareWideText(const std::u16string& A, const std::u16string& B, TLanguage Locale) {
    return compareWideText(A, B, Locale);
}

TWideStrings::TWideStrings() : FLanguage(LANGIDFROMLCID(GetUserDefaultLCID())) {}

// --- the 8-bit interface -------------------------------------------------------------------

std::string TWideStrings::Get(int) const {
    AbstractError();
}

void TWideStrings::Insert(int, const std::string&) {
    AbstractError();
}

// Raised before anything changes: the generic forms would delete or clear through the wide
// primitives first.
void TWideStrings::Put(int, const std::string&) {
    AbstractError();
}

void TWideStrings::SetTextStr(const std::string&) {
    AbstractError();
}

int TWideStrings::AppendText(const std::string&) {
    AbstractError();
}

void TWideStrings::InsertText(int, const std::string&) {
    AbstractError();
}

// --- generic wide operations ---------------------------------------------------------------

std::u16string TWideStrings::GetTextStrW() const {
    std::u16string text;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        text += GetW(i);
        text += u"\r\n";
    }
    return text;
}

void TWideStrings::Put(int Index, const std::u16string& S) {
    TObject* object = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, object);
}

void TWideStrings::SetTextStr(const std::u16string& Text) {
    WithinUpdate(*this, [&] {
        Clear();
        size_t pos = 0;
        while (pos < Text.size()) {
            const size_t end = Text.find_first_of(u"\r\n", pos);
            const size_t stop = end == std::u16string::npos ? Text.size() : end;
            Add(Text.substr(pos, stop - pos));
            pos = stop;
            if (pos < Text.size() && Text[pos] == u'\r')
                ++pos;
            if (pos < Text.size() && Text[pos] == u'\n')
                ++pos;
        }
    });
}

int TWideStrings::Add(const std::u16string& S) {
    const int index = Count();
    Insert(index, S);
    return index;
}

int TWideStrings::AddObject(const std::u16string& S, TObject* AObject) {
    const int index = Add(S);
    PutObject(index, AObject);
    return index;
}

void TWideStrings::AddStrings(TWideStrings* Source) {
    WithinUpdate(*this, [&] {
        for (int i = 0; i < Source->Count(); ++i)
            AddObject(Source->GetW(i), Source->GetObject(i));
    });
}

void TWideStrings::Exchange(int Index1, int Index2) {
    WithinUpdate(*this, [&] {
        const std::u16string s1 = GetW(Index1);
        TObject* o1 = GetObject(Index1);
        const std::u16string s2 = GetW(Index2);
        TObject* o2 = GetObject(Index2);
        Put(Index1, s2);
        PutObject(Index1, o2);
        Put(Index2, s1);
        PutObject(Index2, o1);
    });
}

std::unique_ptr<WCHAR[]> TWideStrings::GetTextW() const {
    const std::u16string text = GetTextStrW();
    // 2 * L + 10 bytes, zero-filled: the text, its terminator and four spare units.
    auto buffer = std::make_unique<WCHAR[]>(text.size() + 5);
    text.copy(buffer.get(), text.size());
    return buffer;
}

int TWideStrings::IndexOf(const std::u16string& S) const {
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        if (CompareWideText(GetW(i), S, FLanguage) == 0)
            return i;
    }
    return -1;
}

void TWideStrings::LoadFromFile(const std::string& FileName) {
    TFileStream stream(FileName, fmOpenRead);
    LoadFromStream(stream);
}

// FE FF (what SaveToStream writes) or no mark: little-endian text. FF FE: every code unit
// byte-swapped. Without a mark the first bytes are text.
void TWideStrings::LoadFromStream(TStream& Stream) {
    WithinUpdate(*this, [&] {
        unsigned char mark[2] = {};
        const std::int64_t got = Stream.Read(mark, 2);
        const bool swap = got == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
        const bool marked = got == 2 && mark[0] == kMark[0] && mark[1] == kMark[1];
        // Step back only over what was read: a stream shorter than a mark stays in bounds.
        if (!swap && !marked && got > 0)
            Stream.Seek(-got, soCurrent);
        const std::int64_t n = std::max<std::int64_t>(Stream.Size() - Stream.Position(), 0);
        std::vector<unsigned char> bytes(static_cast<size_t>(n));
        Stream.ReadBuffer(bytes.data(), n);
        std::u16string text(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned lo = bytes[2 * i];
            const unsigned hi = bytes[2 * i + 1];
            text[i] = swap ? char16_t((lo << 8) | hi) : char16_t((hi << 8) | lo);
        }
        SetTextStr(text);
    });
}

void TWideStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex)
        return;
    WithinUpdate(*this, [&] {
        const std::u16string s = GetW(CurIndex);
        TObject* object = GetObject(CurIndex);
        Delete(CurIndex);
        InsertObject(NewIndex, s, object);
    });
}

void TWideStrings::SaveToFile(const std::string& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream);
}

void TWideStrings::SaveToStream(TStream& Stream) {
    const std::u16string text = GetTextStrW();
    std::vector<unsigned char> bytes(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
    Stream.WriteBuffer(kMark, 2);
    Stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TWideStrings::SetText(const WCHAR* Buffer) {
    SetTextStr(Buffer ? std::u16string(Buffer) : std::u16string());
}

void TWideStrings::InsertObject(int Index, const std::u16string& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

bool TWideStrings::Equals(TWideStrings* Other) const {
    const int n = Count();
    if (n != Other->Count())
        return false;
    for (int i = 0; i < n; ++i) {
        if (GetW(i) != Other->GetW(i))
            return false;
    }
    return true;
}

void TWideStrings::Assign(TPersistent* Source) {
    if (Source == this) {
        return; // emptying first would lose the very lines to copy
    }
    if (auto* wide = dynamic_cast<TWideStrings*>(Source)) {
        WithinUpdate(*this, [&] {
            Clear();
            AddStrings(wide);
        });
        return;
    }
    if (auto* strings = dynamic_cast<TStrings*>(Source)) {
        WithinUpdate(*this, [&] {
            Clear();
            for (int i = 0; i < strings->Count(); ++i)
                AddObject(AnsiToWide(strings->Get(i), CP_ACP), strings->GetObject(i));
        });
        return;
    }
    TMyStrings::Assign(Source); // neither list: the generic assignment error
}

std::string TWideStrings::WideStringsValue() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::u16string text = GetTextStrW();
    std::string value(text.size() * 4, '0');
    for (size_t i = 0; i < text.size(); ++i) {
        for (int d = 0; d < 4; ++d)
            value[4 * i + size_t(d)] = kHex[(text[i] >> (12 - 4 * d)) & 0xF];
    }
    return value;
}

void TWideStrings::ReadWideStringsValue(const std::string& Value) {
    WithinUpdate(*this, [&] {
        Clear();
        std::u16string text(Value.size() / 4, u'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned unit = 0;
            for (size_t d = 0; d < 4 && unit != 0xFFFFFFFF; ++d) {
                const int digit = HexDigit(Value[4 * i + d]);
                unit = digit < 0 ? 0xFFFFFFFF : (unit << 4) | unsigned(digit);
            }
            text[i] = unit == 0xFFFFFFFF ? u'\uFFFD' : char16_t(unit);
        }
        SetTextStr(text);
    });
}

void TWideStrings::DefineProperties(TFiler& Filer) {
    bool hasData = Count() > 0;
    if (TPersistent* ancestor = Filer.Ancestor()) {
        auto* wide = dynamic_cast<TWideStrings*>(ancestor);
        hasData = !wide || !Equals(wide);
    }
    Filer.DefineProperty(
        "WideStrings", [this](TReader& Reader) { ReadWideStringsValue(Reader.ReadString()); },
        [this](TWriter& Writer) { Writer.WriteString(WideStringsValue()); }, hasData);
}
