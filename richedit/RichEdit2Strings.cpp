// The rich text control's line lists and its streaming through converters.
//
// WideLines does the work on the window: lines as the window lays them out, edited with line
// and selection messages, text passed as UTF-16 straight to the platform control. Lines
// converts with the control's LanguageCodePage and hands over to WideLines; it also owns the
// whole-document operations (streaming in and out as rich text, plain text or UTF-16).

#include "framework/Exceptions.h"
#include "framework/SysUtils.h"
#include "richedit/RichEdit2.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr const char* SLineInsertError = "RichEdit line insertion error";
constexpr const char* SLoadFailed = "Failed to Load Stream";
constexpr const char* SSaveFailed = "Failed to Save Stream";

// EM_GETLINE's first try; a line that fills it is read again whole.
constexpr int kLineBuffer = 4096;

// WideTextMode for the life of one operation, whichever way it ends. A nested operation
// (SetTextStr adding its lines) hands the flag back as it found it.
class WideTextScope {
public:
    explicit WideTextScope(TCustomRichEdit20* Edit) : edit_(Edit), previous_(Edit->WideTextMode()) {
        edit_->SetWideTextMode(true);
    }
    ~WideTextScope() { edit_->SetWideTextMode(previous_); }
    WideTextScope(const WideTextScope&) = delete;
    WideTextScope& operator=(const WideTextScope&) = delete;

private:
    TCustomRichEdit20* edit_;
    bool previous_;
};

// Change notifications (ENM_CHANGE) off while a whole text is replaced line by line, so the
// control reports one change at the end instead of one per line; back on also on failure.
class ChangeNotificationsOff {
public:
    explicit ChangeNotificationsOff(TCustomRichEdit20* Edit) : edit_(Edit) {
        const LRESULT mask = edit_->Perform(EM_GETEVENTMASK, 0, 0);
        edit_->Perform(EM_SETEVENTMASK, 0, LPARAM(DWORD(mask) & ~ENM_CHANGE));
    }
    ~ChangeNotificationsOff() {
        const LRESULT mask = edit_->Perform(EM_GETEVENTMASK, 0, 0);
        edit_->Perform(EM_SETEVENTMASK, 0, LPARAM(DWORD(mask) | ENM_CHANGE));
    }
    ChangeNotificationsOff(const ChangeNotificationsOff&) = delete;
    ChangeNotificationsOff& operator=(const ChangeNotificationsOff&) = delete;

private:
    TCustomRichEdit20* edit_;
};

// OnSelectionChange detached while many lines are appended; re-attached also on failure.
class SelectionEventDetached {
public:
    explicit SelectionEventDetached(TCustomRichEdit20* Edit)
        : edit_(Edit), saved_(std::exchange(Edit->OnSelectionChange, nullptr)) {}
    ~SelectionEventDetached() { edit_->OnSelectionChange = std::move(saved_); }
    SelectionEventDetached(const SelectionEventDetached&) = delete;
    SelectionEventDetached& operator=(const SelectionEventDetached&) = delete;

private:
    TCustomRichEdit20* edit_;
    TNotifyEvent saved_;
};

void SelectRange(TCustomRichEdit20* Edit, LRESULT Min, LRESULT Max) {
    CHARRANGE range{LONG(Min), LONG(Max)};
    Edit->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// Replacement that cannot be undone, with the text as UTF-16 whatever WideTextMode says.
void ReplaceSelection(TCustomRichEdit20* Edit, const std::u16string& Text) {
    Edit->CallRichEditProc(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(Text.c_str()));
}

// The number of characters the control stores for Text when it takes all of it: the text
// ends at a NUL, and the control folds CR LF into one paragraph mark. Comparing the caret
// with the raw length would report a line break written as CR LF as a failed insertion.
LRESULT StoredLength(const std::u16string& Text) {
    LRESULT n = 0;
    char16_t previous = 0;
    for (char16_t c : Text) {
        if (c == u'\0')
            break;
        if (!(c == u'\n' && previous == u'\r'))
            ++n;
        previous = c;
    }
    return n;
}

// What both directions add to the format: selection only, plain rich text.
WPARAM StreamOptions(const TCustomRichEdit20& Edit) {
    return (Edit.SelectedInOut() ? SFF_SELECTION : 0) | (Edit.PlainRTF() ? SFF_PLAINRTF : 0);
}

WPARAM StreamInFlags(const TCustomRichEdit20& Edit) {
    WPARAM flags = SF_RTF;
    switch (Edit.InputFormat()) {
    case ifText:
        flags = SF_TEXT;
        break;
    case ifRTF:
        flags = SF_RTF;
        break;
    case ifUnicode:
        flags = SF_TEXT | SF_UNICODE;
        break;
    }
    return flags | StreamOptions(Edit);
}

WPARAM StreamOutFlags(const TCustomRichEdit20& Edit) {
    WPARAM flags = SF_RTF;
    switch (Edit.OutputFormat()) {
    case ofText:
        flags = SF_TEXT;
        break;
    case ofRTF:
        flags = SF_RTF;
        break;
    case ofRTFNoObjs:
        flags = SF_RTFNOOBJS;
        break;
    case ofTextized:
        flags = SF_TEXTIZED;
        break;
    case ofUnicode:
        flags = SF_TEXT | SF_UNICODE;
        break;
    }
    return flags | StreamOptions(Edit);
}

// Progress events take 32-bit positions.
int ProgressValue(std::int64_t Value) {
    return int(std::clamp<std::int64_t>(Value, 0, INT_MAX));
}

// Stream-in callback: the progress event before each chunk, then the chunk from the
// converter. An exception must not cross the platform control: it becomes error 1.
DWORD StreamLoad(DWORD_PTR dwCookie, BYTE* pbBuff, LONG cb, LONG* pcb) {
    *pcb = 0;
    try {
        auto* cookie = reinterpret_cast<TStreamCookie*>(dwCookie);
        TCustomRichEdit20* edit = cookie->RichEdit;
        if (edit->OnLoadProgress)
            edit->OnLoadProgress(edit, ProgressValue(cookie->Stream->Position()),
                                 ProgressValue(cookie->Stream->Size()));
        if (cookie->Converter) {
            const int n =
                cookie->Converter->ReadChunk(*cookie->Stream, reinterpret_cast<char*>(pbBuff), cb);
            if (n < 0 || n > cb)
                return 1; // a converter that claims more than the buffer holds has failed
            *pcb = n;
        }
        return 0;
    } catch (...) {
        return 1;
    }
}

// Stream-out callback: the chunk to the converter (after the UTF-16 byte order mark when
// UTF-16 text starts a stream), then the progress event. An exception becomes error 2.
DWORD StreamSave(DWORD_PTR dwCookie, BYTE* pbBuff, LONG cb, LONG* pcb) {
    *pcb = 0;
    try {
        auto* cookie = reinterpret_cast<TStreamCookie*>(dwCookie);
        TCustomRichEdit20* edit = cookie->RichEdit;
        if (cookie->Converter) {
            if (cookie->Stream->Position() == 0 && edit->OutputFormat() == ofUnicode) {
                static const char kMark[2] = {char(0xFF), char(0xFE)};
                cookie->Converter->WriteChunk(*cookie->Stream, kMark, 2);
            }
            *pcb = cookie->Converter->WriteChunk(*cookie->Stream,
                                                 reinterpret_cast<const char*>(pbBuff), cb);
        }
        if (edit->OnSaveProgress)
            edit->OnSaveProgress(edit, ProgressValue(cookie->Stream->Position()),
                                 ProgressValue(cookie->Stream->Size()));
        return 0;
    } catch (...) {
        return 2;
    }
}

// The extension of the file-name part of FileName, lower case, without its dot ("" when
// there is none).
std::string FileExtension(const std::string& FileName) {
    const size_t dot = FileName.find_last_of("./");
    if (dot == std::string::npos || FileName[dot] != '.')
        return {};
    return LowerCase(FileName.substr(dot + 1));
}

// The format whose extension matches FileName's exactly, or the first ("txt") entry.
const TConversionFormat& FormatOf(const std::string& FileName) {
    const std::string ext = FileExtension(FileName);
    for (const TConversionFormat* format = ConversionFormats(); format; format = format->Next) {
        if (format->Extension == ext)
            return *format;
    }
    return *ConversionFormats();
}

} // namespace

// --- converters ------------------------------------------------------------------------------

int TConversion::ReadChunk(TStream& Stream, char* Buffer, int BufSize) {
    return int(Stream.Read(Buffer, BufSize));
}

int TConversion::WriteChunk(TStream& Stream, const char* Buffer, int BufSize) {
    return int(Stream.Write(Buffer, BufSize));
}

TConversionClass ConversionClassOf() {
    return [] { return std::make_unique<TConversion>(); };
}

const TConversionFormat* ConversionFormats() {
    static const TConversionFormat rtf{ConversionClassOf(), "rtf", nullptr};
    static const TConversionFormat txt{ConversionClassOf(), "txt", &rtf};
    return &txt;
}

// --- TRichEditStrings20 ----------------------------------------------------------------------

TRichEditStrings20::TRichEditStrings20(TCustomRichEdit20* RichEdit) : FRichEdit(RichEdit) {}

TRichEditStrings20::~TRichEditStrings20() = default;

std::string TRichEditStrings20::Get(int Index) const {
    return WideToAnsi(FRichEdit->WideLines()->GetW(Index), FRichEdit->LanguageCodePage());
}

int TRichEditStrings20::Count() const {
    return FRichEdit->WideLines()->Count();
}

void TRichEditStrings20::Put(int Index, const std::string& S) {
    FRichEdit->WideLines()->Put(Index, AnsiToWide(S, FRichEdit->LanguageCodePage()));
}

void TRichEditStrings20::SetTextStr(const std::string& Text) {
    ChangeNotificationsOff quiet(FRichEdit);
    TMyStrings::SetTextStr(Text);
}

void TRichEditStrings20::AddStrings(TStrings* Strings) {
    SelectionEventDetached detached(FRichEdit);
    TMyStrings::AddStrings(Strings);
}

void TRichEditStrings20::Clear() {
    FRichEdit->Clear();
}

void TRichEditStrings20::Delete(int Index) {
    FRichEdit->WideLines()->Delete(Index);
}

void TRichEditStrings20::Insert(int Index, const std::string& S) {
    FRichEdit->WideLines()->Insert(Index, AnsiToWide(S, FRichEdit->LanguageCodePage()));
}

int TRichEditStrings20::AppendText(const std::string& S) {
    const int index = Count();
    InsertText(index, S);
    return index;
}

void TRichEditStrings20::InsertText(int Index, const std::string& S) {
    FRichEdit->WideLines()->InsertTextW(Index, AnsiToWide(S, FRichEdit->LanguageCodePage()));
}

// Redrawing stops for the update; at its end the control is repainted and told through the
// framework that its text changed, which fires OnChange once for the whole update.
void TRichEditStrings20::SetUpdateState(bool Updating) {
    FRichEdit->Perform(WM_SETREDRAW, Updating ? 0 : 1, 0);
    if (!Updating) {
        if (FRichEdit->HandleAllocated())
            InvalidateRect(FRichEdit->Handle(), nullptr, TRUE);
        FRichEdit->Perform(CM_TEXTCHANGED, 0, 0);
    }
}

void TRichEditStrings20::LoadFromStream(TStream& Stream) {
    std::unique_ptr<TConversion> temporary;
    TConversion* converter = FConverter.get();
    if (!converter) {
        if (const TConversionClass make = FRichEdit->DefaultConverterClass())
            temporary = make();
        converter = temporary.get();
    }
    // Custom URL schemes are marked in the whole text after a load, also a failed one.
    const auto colorURLs = [this, &temporary] {
        temporary.reset();
        if (FRichEdit->AutoURLDetect() == adExtended) {
            FRichEdit->LastChangeStart = 0;
            FRichEdit->LastChangeEnd = FRichEdit->TextLength();
            FRichEdit->ColorURLs(FRichEdit->LastChangeStart, FRichEdit->LastChangeEnd);
        }
    };
    TStreamCookie cookie{converter, &Stream, FRichEdit};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&cookie), 0, StreamLoad};
    const std::int64_t start = Stream.Position();
    const WPARAM flags = StreamInFlags(*FRichEdit);
    try {
        FRichEdit->Perform(EM_STREAMIN, flags, reinterpret_cast<LPARAM>(&stream));
        if ((flags & SF_RTF) && stream.dwError != 0) {
            // Not readable as rich text: read the same bytes again as plain text.
            Stream.SetPosition(start);
            stream.dwError = 0;
            FRichEdit->Perform(EM_STREAMIN, SF_TEXT | (flags & (SFF_SELECTION | SFF_PLAINRTF)),
                               reinterpret_cast<LPARAM>(&stream));
            if (stream.dwError != 0)
                throw EOutOfResources(SLoadFailed);
        }
    } catch (...) {
        colorURLs();
        throw;
    }
    colorURLs();
}

void TRichEditStrings20::SaveToStream(TStream& Stream) {
    std::unique_ptr<TConversion> temporary;
    TConversion* converter = FConverter.get();
    if (!converter) {
        if (const TConversionClass make = FRichEdit->DefaultConverterClass())
            temporary = make();
        converter = temporary.get();
    }
    TStreamCookie cookie{converter, &Stream, FRichEdit};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&cookie), 0, StreamSave};
    FRichEdit->Perform(EM_STREAMOUT, StreamOutFlags(*FRichEdit), reinterpret_cast<LPARAM>(&stream));
    if (stream.dwError != 0)
        throw EOutOfResources(SSaveFailed);
}

// The file's extension picks the converter, which stays installed after a success and is
// released after a failure.
void TRichEditStrings20::LoadFromFile(const std::string& FileName) {
    FConverter = FormatOf(FileName).ConversionClass();
    try {
        TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
        LoadFromStream(stream);
    } catch (...) {
        FConverter.reset();
        throw;
    }
}

void TRichEditStrings20::SaveToFile(const std::string& FileName) {
    FConverter = FormatOf(FileName).ConversionClass();
    try {
        TFileStream stream(FileName, fmCreate);
        SaveToStream(stream);
    } catch (...) {
        FConverter.reset();
        throw;
    }
}

// --- TWideRichEditStrings20 ------------------------------------------------------------------

TWideRichEditStrings20::TWideRichEditStrings20(TCustomRichEdit20* RichEdit) : FRichEdit(RichEdit) {}

// The line without its CR. A line that fills the first buffer may be longer: it is read
// again whole, through a text range, since EM_GETLINE's capacity is only 16 bits.
std::u16string TWideRichEditStrings20::GetW(int Index) const {
    WideTextScope wide(FRichEdit);
    std::u16string buffer(kLineBuffer, u'\0');
    buffer[0] = char16_t(kLineBuffer);
    LRESULT r = FRichEdit->CallRichEditProc(EM_GETLINE, WPARAM(Index),
                                            reinterpret_cast<LPARAM>(buffer.data()));
    r = std::clamp<LRESULT>(r, 0, kLineBuffer);
    if (r == kLineBuffer && buffer[size_t(r - 1)] != u'\r') {
        const LRESULT start = FRichEdit->Perform(EM_LINEINDEX, WPARAM(Index), 0);
        const LRESULT length = start < 0 ? 0 : FRichEdit->Perform(EM_LINELENGTH, WPARAM(start), 0);
        if (length > r) {
            buffer.assign(size_t(length) + 1, u'\0');
            TEXTRANGEW range{{LONG(start), LONG(start + length)}, buffer.data()};
            r = FRichEdit->CallRichEditProc(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
            r = std::clamp<LRESULT>(r, 0, length);
        }
    }
    if (r > 0 && buffer[size_t(r - 1)] == u'\r')
        --r;
    buffer.resize(size_t(r));
    return buffer;
}

// The window's line count, less the empty line after a final line break.
int TWideRichEditStrings20::Count() const {
    const LRESULT n = FRichEdit->Perform(EM_GETLINECOUNT, 0, 0);
    if (n <= 0)
        return 0; // no window: no lines (the window always has at least one)
    const LRESULT start = FRichEdit->Perform(EM_LINEINDEX, WPARAM(n - 1), 0);
    const LRESULT length = FRichEdit->Perform(EM_LINELENGTH, WPARAM(start), 0);
    return int(length == 0 ? n - 1 : n);
}

// Replaces the line's text; its line break stays.
void TWideRichEditStrings20::Put(int Index, const std::u16string& S) {
    if (Index < 0)
        return;
    WideTextScope wide(FRichEdit);
    const LRESULT start = FRichEdit->Perform(EM_LINEINDEX, WPARAM(Index), 0);
    if (start == -1)
        return;
    const LRESULT end = start + FRichEdit->Perform(EM_LINELENGTH, WPARAM(start), 0);
    SelectRange(FRichEdit, start, end);
    ReplaceSelection(FRichEdit, S);
}

void TWideRichEditStrings20::SetTextStr(const std::u16string& Text) {
    WideTextScope wide(FRichEdit);
    ChangeNotificationsOff quiet(FRichEdit);
    TWideStrings::SetTextStr(Text);
}

// The update goes to the platform control only: unlike Lines, no OnChange at its end.
void TWideRichEditStrings20::SetUpdateState(bool Updating) {
    FRichEdit->Perform(WM_SETREDRAW, Updating ? 0 : 1, 0);
    if (!Updating) {
        if (FRichEdit->HandleAllocated())
            InvalidateRect(FRichEdit->Handle(), nullptr, TRUE);
        FRichEdit->CallRichEditProc(CM_TEXTCHANGED, 0, 0);
    }
}

// The control's language; the list compares in it too.
void TWideRichEditStrings20::SetLanguage(TLanguage Value) {
    TWideStrings::SetLanguage(Value);
    FRichEdit->SetLanguage(Value);
}

TLanguage TWideRichEditStrings20::GetLanguage() const {
    return FRichEdit->Language();
}

void TWideRichEditStrings20::AddStrings(TWideStrings* Source) {
    SelectionEventDetached detached(FRichEdit);
    TWideStrings::AddStrings(Source);
}

void TWideRichEditStrings20::Clear() {
    FRichEdit->Clear();
}

// Removes the line with its line break; the last line loses only its text.
void TWideRichEditStrings20::Delete(int Index) {
    if (Index < 0)
        return;
    const LRESULT start = FRichEdit->Perform(EM_LINEINDEX, WPARAM(Index), 0);
    if (start == -1)
        return;
    LRESULT end = FRichEdit->Perform(EM_LINEINDEX, WPARAM(Index + 1), 0);
    if (end == -1)
        end = start + FRichEdit->Perform(EM_LINELENGTH, WPARAM(start), 0);
    SelectRange(FRichEdit, start, end);
    ReplaceSelection(FRichEdit, std::u16string());
}

void TWideRichEditStrings20::Insert(int Index, const std::u16string& S) {
    InsertAt(Index, S, true);
}

void TWideRichEditStrings20::InsertTextW(int Index, const std::u16string& S) {
    InsertAt(Index, S, false);
}

// At the start of line Index, or after the end of the last line when Index is past it
// (unless that line is empty). The caret must end after the inserted text; anything less
// means the control refused part of it (its text limit).
void TWideRichEditStrings20::InsertAt(int Index, const std::u16string& S, bool AsLine) {
    if (Index < 0)
        return;
    // The lines live only in the window: without one the text would be dropped.
    FRichEdit->HandleNeeded();
    WideTextScope wide(FRichEdit);
    LRESULT p = FRichEdit->Perform(EM_LINEINDEX, WPARAM(Index), 0);
    std::u16string text;
    if (p >= 0) {
        text = AsLine ? S + u'\r' : S;
    } else {
        if (Index == 0)
            return;
        p = FRichEdit->Perform(EM_LINEINDEX, WPARAM(Index - 1), 0);
        if (p < 0)
            return;
        const LRESULT length = FRichEdit->Perform(EM_LINELENGTH, WPARAM(p), 0);
        if (length == 0)
            return;
        p += length;
        text = AsLine ? u'\r' + S : S;
    }
    SelectRange(FRichEdit, p, p);
    ReplaceSelection(FRichEdit, text);
    if (FRichEdit->SelectionStart() != p + StoredLength(text))
        throw EOutOfResources(SLineInsertError);
}

void TWideRichEditStrings20::LoadFromFile(const std::string& FileName) {
    FRichEdit->Lines()->LoadFromFile(FileName);
}

void TWideRichEditStrings20::LoadFromStream(TStream& Stream) {
    FRichEdit->Lines()->LoadFromStream(Stream);
}

void TWideRichEditStrings20::SaveToFile(const std::string& FileName) {
    FRichEdit->Lines()->SaveToFile(FileName);
}

void TWideRichEditStrings20::SaveToStream(TStream& Stream) {
    FRichEdit->Lines()->SaveToStream(Stream);
}
