#pragma once
// The rich text control's two string-list types: TMyStrings, the 8-bit line list with
// operations that add text without a line break, and TWideStrings, the same operations over
// UTF-16 strings with their own comparison language, stream format and form-data value.
//
// TWideStrings derives from the 8-bit list but does not implement its text primitives: the
// 8-bit Get, Insert, Put, SetTextStr, AppendText and InsertText raise "Abstract Error".
// Operations whose signature is the same in both interfaces (Count, Clear, Delete, Exchange,
// Move, the object and capacity accessors, SetUpdateState, BeginUpdate/EndUpdate and the
// file and stream operations) are one operation here and work on the wide strings. Where
// C++ cannot tell the two apart by their parameters, the wide operation carries the
// platform's W suffix: GetW, GetTextStrW, GetTextW.

#include "framework/Strings.h"
#include "richedit/Langs.h"

#include <memory>
#include <string>

class TMyStrings : public TStrings {
public:
    std::string ClassName() const override { return "TMyStrings"; }

    // Adds S at the very end of the text without starting a new line; returns the Count
    // before the call.
    virtual int AppendText(const std::string& S) = 0;
    // Puts S at the start of line Index without a line break.
    virtual void InsertText(int Index, const std::string& S) = 0;
};

// Case-insensitive comparison of A and B in the locale Locale: negative, 0 or positive.
int CompareWideText(const std::u16string& A, const std::u16string& B, TLanguage Locale);
// The form used on platforms without wide comparison: both strings in the locale's ANSI code
// page, compared as 8-bit text. CompareWideText picks it at start-up when needed.
int CompareWideTextAnsi(const std::u16string& A, const std::u16string& B, TLanguage Locale);

class TWideStrings : public TMyStrings {
public:
    TWideStrings();

    std::string ClassName() const override { return "TWideStrings"; }

    // --- the 8-bit interface: abstract here ---------------------------------------------
    std::string Get(int Index) const override;
    void Insert(int Index, const std::string& S) override;
    void Put(int Index, const std::string& S) override;
    void SetTextStr(const std::string& Text) override;
    int AppendText(const std::string& S) override;
    void InsertText(int Index, const std::string& S) override;
    using TStrings::Add;
    using TStrings::AddObject;
    using TStrings::AddStrings;
    using TStrings::Equals;
    using TStrings::IndexOf;
    using TStrings::InsertObject;
    using TStrings::SetText;

    // --- primitives a concrete wide list supplies -----------------------------------------
    virtual std::u16string GetW(int Index) const = 0;
    int Count() const override = 0;
    void Clear() override = 0;
    void Delete(int Index) override = 0;
    virtual void Insert(int Index, const std::u16string& S) = 0;

    // --- generic wide operations ------------------------------------------------------------
    int GetCapacity() const override { return Count(); }
    void SetCapacity(int) override {}
    // The list keeps no objects.
    TObject* GetObject(int) const override { return nullptr; }
    void PutObject(int, TObject*) override {}
    // Every line followed by CR LF.
    virtual std::u16string GetTextStrW() const;
    virtual void Put(int Index, const std::u16string& S);
    // Empties the list and adds the lines of Text; CR LF, a lone CR and a lone LF each end a
    // line, and a final line break adds no empty line.
    virtual void SetTextStr(const std::u16string& Text);
    virtual void SetLanguage(TLanguage Value) { FLanguage = Value; }
    virtual TLanguage GetLanguage() const { return FLanguage; }
    virtual int Add(const std::u16string& S);
    virtual int AddObject(const std::u16string& S, TObject* AObject);
    virtual void AddStrings(TWideStrings* Source);
    void Exchange(int Index1, int Index2) override;
    // GetTextStrW in a new zero-filled buffer with room to spare after the terminator.
    virtual std::unique_ptr<WCHAR[]> GetTextW() const;
    // The first line equal to S with case ignored in the list's language, or -1.
    virtual int IndexOf(const std::u16string& S) const;
    void LoadFromFile(const std::string& FileName) override;
    // Reads UTF-16 text to the end of the stream (see WStrList.cpp for the byte order marks).
    void LoadFromStream(TStream& Stream) override;
    void Move(int CurIndex, int NewIndex) override;
    void SaveToFile(const std::string& FileName) override;
    // Writes FE FF, then the text as UTF-16 little-endian.
    void SaveToStream(TStream& Stream) override;
    // SetTextStr with the zero-terminated text in Buffer.
    virtual void SetText(const WCHAR* Buffer);

    void InsertObject(int Index, const std::u16string& S, TObject* AObject);
    // Same Count and the same strings, compared code unit by code unit.
    bool Equals(TWideStrings* Other) const;

    // From another wide list (replacing this one's strings) or from an 8-bit list (its
    // strings converted with the system's ANSI code page, also replacing).
    void Assign(TPersistent* Source) override;
    // The form-data value "WideStrings".
    void DefineProperties(TFiler& Filer) override;

    // The "WideStrings" value: four upper-case hexadecimal digits per UTF-16 code unit of
    // GetTextStrW. Reading replaces the list; a group that is not a hexadecimal number reads
    // as U+FFFD and characters after the last whole group are ignored.
    std::string WideStringsValue() const;
    void ReadWideStringsValue(const std::string& Value);

protected:
    TLanguage FLanguage;
};
