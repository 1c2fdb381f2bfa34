#pragma once
// A small in-memory wide list for the tests: strings with objects, a record of the update
// state changes, and an insertion that can be told to fail.

#include "framework/Exceptions.h"
#include "richedit/WStrList.h"

#include <string>
#include <utility>
#include <vector>

class TMemoryWideStrings : public TWideStrings {
public:
    std::string ClassName() const override { return "TMemoryWideStrings"; }

    std::u16string GetW(int Index) const override { return FItems.at(size_t(Index)).first; }
    int Count() const override { return int(FItems.size()); }
    void Clear() override { FItems.clear(); }
    void Delete(int Index) override { FItems.erase(FItems.begin() + Check(Index)); }
    void Insert(int Index, const std::u16string& S) override {
        if (S == FailOn)
            throw EListError("insert refused");
        if (Index < 0 || Index > Count())
            throw EListError("insert index");
        FItems.insert(FItems.begin() + Index, {S, nullptr});
    }
    TObject* GetObject(int Index) const override { return FItems.at(size_t(Index)).second; }
    void PutObject(int Index, TObject* AObject) override {
        FItems.at(size_t(Index)).second = AObject;
    }
    void SetUpdateState(bool Updating) override { UpdateStates.push_back(Updating); }

    std::vector<std::u16string> Lines() const {
        std::vector<std::u16string> lines;
        for (const auto& item : FItems)
            lines.push_back(item.first);
        return lines;
    }

    std::vector<bool> UpdateStates;
    std::u16string FailOn = u"\uFFFF<never>";

private:
    long Check(int Index) const {
        if (Index < 0 || Index >= Count())
            throw EListError("delete index");
        return Index;
    }
    std::vector<std::pair<std::u16string, TObject*>> FItems;
};

using Lines = std::vector<std::u16string>;
