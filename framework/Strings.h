#pragma once
// The 8-bit string list: an abstract interface whose generic operations are built from a few
// primitives (Get, Count, Insert, Delete, Clear...) that a concrete list supplies, and
// TStringList, a concrete list with an object per string.

#include "framework/Classes.h"

#include <string>
#include <vector>

class TStream;

class TStrings : public TPersistent {
public:
    std::string ClassName() const override { return "TStrings"; }

    // Primitives.
    virtual std::string Get(int Index) const = 0;
    virtual int Count() const = 0;
    virtual void Clear() = 0;
    virtual void Delete(int Index) = 0;
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual TObject* GetObject(int Index) const;
    virtual void PutObject(int Index, TObject* AObject);
    virtual int GetCapacity() const { return Count(); }
    virtual void SetCapacity(int) {}
    // Called with true when the first BeginUpdate starts and false when the last EndUpdate ends.
    virtual void SetUpdateState(bool) {}

    // Generic operations.
    virtual void Put(int Index, const std::string& S);
    virtual int Add(const std::string& S);
    virtual int AddObject(const std::string& S, TObject* AObject);
    void InsertObject(int Index, const std::string& S, TObject* AObject);
    virtual void AddStrings(TStrings* Strings);
    void Assign(TPersistent* Source) override;
    virtual void Exchange(int Index1, int Index2);
    virtual void Move(int CurIndex, int NewIndex);
    // The first string equal to S ignoring case in the user's locale, or -1.
    virtual int IndexOf(const std::string& S) const;
    int IndexOfObject(TObject* AObject) const;
    bool Equals(TStrings* Strings) const;

    // Every string followed by CR LF.
    virtual std::string GetTextStr() const;
    // Empties the list and adds the lines of Text; CR LF, CR and LF each end a line.
    virtual void SetTextStr(const std::string& Text);
    std::string Text() const { return GetTextStr(); }
    void SetText(const std::string& Text) { SetTextStr(Text); }

    virtual void LoadFromFile(const std::string& FileName);
    virtual void LoadFromStream(TStream& Stream);
    virtual void SaveToFile(const std::string& FileName);
    virtual void SaveToStream(TStream& Stream);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    std::string operator[](int Index) const { return Get(Index); }

    // The string list's own form-data value "Strings".
    void DefineProperties(TFiler& Filer) override;

protected:
    [[noreturn]] void Error(const char* Pattern, int Data) const;

private:
    int FUpdateCount = 0;
};

// Runs body inside BeginUpdate/EndUpdate of list, ending the update also when body throws.
template <class List, class Body> void WithinUpdate(List& list, Body&& body) {
    list.BeginUpdate();
    try {
        body();
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

class TStringList : public TStrings {
public:
    std::string ClassName() const override { return "TStringList"; }
    ~TStringList() override;

    std::string Get(int Index) const override;
    int Count() const override { return static_cast<int>(FList.size()); }
    void Clear() override;
    void Delete(int Index) override;
    void Insert(int Index, const std::string& S) override;
    void Put(int Index, const std::string& S) override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    int GetCapacity() const override { return static_cast<int>(FList.capacity()); }
    void SetCapacity(int NewCapacity) override;

    // When true the list deletes its objects when their strings are deleted or it is freed.
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool Updating) override;
    void Changed();
    void Changing();

private:
    struct Item {
        std::string text;
        TObject* object = nullptr;
    };
    void CheckIndex(int Index, bool AllowEnd = false) const;
    std::vector<Item> FList;
    bool FOwnsObjects = false;
};
