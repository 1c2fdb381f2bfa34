#include "framework/Strings.h"

#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "framework/SysUtils.h"

// --- TStrings --------------------------------------------------------------------------------

TObject* TStrings::GetObject(int) const {
    return nullptr;
}
void TStrings::PutObject(int, TObject*) {}

void TStrings::Error(const char* Pattern, int Data) const {
    throw EStringListError(Format(Pattern, Data));
}

void TStrings::Put(int Index, const std::string& S) {
    TObject* object = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, object);
}

int TStrings::Add(const std::string& S) {
    const int index = Count();
    Insert(index, S);
    return index;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
    const int index = Add(S);
    PutObject(index, AObject);
    return index;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::AddStrings(TStrings* Strings) {
    WithinUpdate(*this, [&] {
        for (int i = 0; i < Strings->Count(); ++i)
            AddObject(Strings->Get(i), Strings->GetObject(i));
    });
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* strings = dynamic_cast<TStrings*>(Source)) {
        WithinUpdate(*this, [&] {
            Clear();
            AddStrings(strings);
        });
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::Exchange(int Index1, int Index2) {
    WithinUpdate(*this, [&] {
        const std::string s1 = Get(Index1);
        TObject* o1 = GetObject(Index1);
        Put(Index1, Get(Index2));
        PutObject(Index1, GetObject(Index2));
        Put(Index2, s1);
        PutObject(Index2, o1);
    });
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex)
        return;
    WithinUpdate(*this, [&] {
        const std::string s = Get(CurIndex);
        TObject* o = GetObject(CurIndex);
        Delete(CurIndex);
        InsertObject(NewIndex, s, o);
    });
}

int TStrings::IndexOf(const std::string& S) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiCompareText(Get(i), S) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == AObject)
            return i;
    return -1;
}

bool TStrings::Equals(TStrings* Strings) const {
    if (Count() != Strings->Count())
        return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != Strings->Get(i))
            return false;
    return true;
}

std::string TStrings::GetTextStr() const {
    std::string text;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        text += Get(i);
        text += "\r\n";
    }
    return text;
}

void TStrings::SetTextStr(const std::string& Text) {
    WithinUpdate(*this, [&] {
        Clear();
        size_t pos = 0;
        while (pos < Text.size()) {
            const size_t end = Text.find_first_of("\r\n", pos);
            const size_t stop = end == std::string::npos ? Text.size() : end;
            Add(Text.substr(pos, stop - pos));
            pos = stop;
            if (pos < Text.size() && Text[pos] == '\r')
                ++pos;
            if (pos < Text.size() && Text[pos] == '\n')
                ++pos;
        }
    });
}

void TStrings::LoadFromFile(const std::string& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TStrings::LoadFromStream(TStream& Stream) {
    WithinUpdate(*this, [&] {
        const std::int64_t size = Stream.Size() - Stream.Position();
        std::string text(static_cast<size_t>(std::max<std::int64_t>(size, 0)), '\0');
        Stream.ReadBuffer(text.data(), static_cast<std::int64_t>(text.size()));
        SetTextStr(text);
    });
}

void TStrings::SaveToFile(const std::string& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream);
}

void TStrings::SaveToStream(TStream& Stream) {
    const std::string text = GetTextStr();
    Stream.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (--FUpdateCount == 0)
        SetUpdateState(false);
}

void TStrings::DefineProperties(TFiler& Filer) {
    bool hasData = Count() > 0;
    if (auto* ancestor = dynamic_cast<TStrings*>(Filer.Ancestor()))
        hasData = !Equals(ancestor);
    Filer.DefineProperty(
        "Strings",
        [this](TReader& reader) {
            WithinUpdate(*this, [&] {
                Clear();
                for (const std::string& s : reader.ReadStringList())
                    Add(s);
            });
        },
        [this](TWriter& writer) {
            std::vector<std::string> lines;
            for (int i = 0; i < Count(); ++i)
                lines.push_back(Get(i));
            writer.WriteStringList(lines);
        },
        hasData);
}

// --- TStringList -----------------------------------------------------------------------------

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    if (FOwnsObjects)
        for (Item& item : FList)
            delete item.object;
}

void TStringList::CheckIndex(int Index, bool AllowEnd) const {
    const int limit = AllowEnd ? Count() : Count() - 1;
    if (Index < 0 || Index > limit)
        Error(SListIndexError, Index);
}

std::string TStringList::Get(int Index) const {
    CheckIndex(Index);
    return FList[static_cast<size_t>(Index)].text;
}

TObject* TStringList::GetObject(int Index) const {
    CheckIndex(Index);
    return FList[static_cast<size_t>(Index)].object;
}

void TStringList::Clear() {
    if (FList.empty())
        return;
    Changing();
    if (FOwnsObjects)
        for (Item& item : FList)
            delete item.object;
    FList.clear();
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    Changing();
    if (FOwnsObjects)
        delete FList[static_cast<size_t>(Index)].object;
    FList.erase(FList.begin() + Index);
    Changed();
}

void TStringList::Insert(int Index, const std::string& S) {
    CheckIndex(Index, true);
    Changing();
    FList.insert(FList.begin() + Index, Item{S, nullptr});
    Changed();
}

void TStringList::Put(int Index, const std::string& S) {
    CheckIndex(Index);
    Changing();
    FList[static_cast<size_t>(Index)].text = S;
    Changed();
}

void TStringList::PutObject(int Index, TObject* AObject) {
    CheckIndex(Index);
    Changing();
    FList[static_cast<size_t>(Index)].object = AObject;
    Changed();
}

void TStringList::SetCapacity(int NewCapacity) {
    if (NewCapacity > 0)
        FList.reserve(static_cast<size_t>(NewCapacity));
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}
