// URL schemes and what the control does with URLs: the extended colouring that formats URL
// words by their scheme, and the cursor and events for a link under the mouse.

#include "framework/Forms.h"
#include "platform/locale/Locale.h"
#include "richedit/RichEdit2.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// What a URL word is made of: '.', '/', digits, ':', '@', letters and '\'. Nothing else,
// not even '-', '_', '?', '=', '&', '%', '#' or '~'.
bool IsURLChar(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x2E && b <= 0x3A) || (b >= 0x40 && b <= 0x5A) || b == 0x5C ||
           (b >= 0x61 && b <= 0x7A);
}

constexpr TColor kPlainWordColor = 0x20000000;

constexpr const char* kDefaultSchemes[] = {"e-mail", "http", "file",     "mailto", "ftp",  "https",
                                           "gopher", "nntp", "prospero", "telnet", "news", "wais"};

// Text to scan as 8-bit text with exactly one byte for each UTF-16 unit, so that a position
// in it is a position in the document: a unit the code page gives one byte for becomes that
// byte, anything else (a double-byte character, half a surrogate pair, a zero) a '?', which
// is no URL character either.
class ScanText {
public:
    explicit ScanText(UINT codePage) : codePage_(codePage) {}

    std::string Of(std::u16string text) {
        CharUpperBuffW(text.data(), DWORD(text.size()));
        std::string bytes(text.size(), '?');
        for (std::size_t i = 0; i < text.size(); ++i) {
            bytes[i] = Byte(text[i]);
        }
        return bytes;
    }

private:
    char Byte(char16_t unit) {
        if (unit != 0 && unit < 0x80) {
            return char(unit);
        }
        if (unit == 0) {
            return '?';
        }
        if (table_.empty()) {
            table_.assign(0x10000, -1);
        }
        std::int16_t& cached = table_[unit];
        if (cached < 0) {
            char out[4] = {};
            const WCHAR in = unit;
            const int n =
                WideCharToMultiByte(codePage_, 0, &in, 1, out, sizeof out, nullptr, nullptr);
            cached = (n == 1 && out[0] != 0) ? std::int16_t(static_cast<unsigned char>(out[0]))
                                             : std::int16_t('?');
        }
        return char(cached);
    }

    UINT codePage_;
    std::vector<std::int16_t> table_; // filled on the first unit outside ASCII
};

// W is an e-mail address: something before the first '@', and after it a '.' that is not
// the first character there.
bool IsEmailWord(std::string_view word) {
    const std::size_t at = word.find('@');
    if (at == std::string_view::npos || at < 1 || at + 1 >= word.size()) {
        return false;
    }
    const std::size_t dot = word.substr(at + 1).find('.');
    return dot != std::string_view::npos && dot != 0;
}

} // namespace

// --- TURLType and TURLCollection -------------------------------------------------------------

void TURLType::Assign(TPersistent* Source) {
    if (const auto* other = dynamic_cast<TURLType*>(Source)) {
        FName = other->FName;
        FColor = other->FColor;
        FCursor = other->FCursor;
        FUnderline = other->FUnderline;
    }
}

TURLCollection::TURLCollection(TCustomRichEdit20* RichEdit)
    : TCollection([](TCollection* c) { return std::make_unique<TURLType>(c); }, RichEdit),
      FRichEdit(RichEdit) {}

void TURLCollection::AddURLType(const std::string& Name, TColor Color, TCursor Cursor,
                                bool Underline) {
    for (int i = 0; i < Count(); ++i) {
        TURLType* type = Items(i);
        if (type->Name() == Name) {
            type->SetColor(Color);
            type->SetCursor(Cursor);
            type->SetUnderline(Underline);
            return;
        }
    }
    auto* type = static_cast<TURLType*>(Add());
    type->SetName(Name);
    type->SetColor(Color);
    type->SetCursor(Cursor);
    type->SetUnderline(Underline);
}

void TURLCollection::AddDefaultTypes() {
    for (const char* name : kDefaultSchemes) {
        AddURLType(name, clWindowText, crDefault, true);
    }
}

void TCustomRichEdit20::SetCustomURLs(TURLCollection* Value) {
    // The entries are taken before the collection empties, so that a collection assigned
    // to itself keeps its entries.
    struct Entry {
        std::string name;
        TColor color;
        TCursor cursor;
        bool underline;
    };
    std::vector<Entry> entries;
    for (int i = 0; Value && i < Value->Count(); ++i) {
        const TURLType* type = Value->Items(i);
        entries.push_back({type->Name(), type->Color(), type->Cursor(), type->Underline()});
    }
    FCustomURLs->Clear();
    for (const Entry& entry : entries) {
        FCustomURLs->AddURLType(entry.name, entry.color, entry.cursor, entry.underline);
    }
}

// --- the extended colouring ------------------------------------------------------------------

void TCustomRichEdit20::WidenToURLWord(int& RangeStart, int& RangeEnd) {
    // One character at a time through the converting EM_GETTEXTRANGE: the text around a
    // change is read only as far as its URL words reach.
    const auto charAt = [this](int pos) {
        char buffer[8] = {};
        TEXTRANGEA range{{pos, pos + 1}, buffer};
        Perform(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
        return buffer[0];
    };
    const int length = TextLength();
    if (RangeStart >= length) {
        RangeStart = length - 1;
    }
    int p = RangeStart;
    while (p > 0 && IsURLChar(charAt(p))) {
        --p;
    }
    RangeStart = IsURLChar(charAt(p)) ? p : p + 1;
    if (RangeEnd < length) {
        while (RangeEnd < length && IsURLChar(charAt(RangeEnd))) {
            ++RangeEnd;
        }
    }
}

void TCustomRichEdit20::SuspendRedraw() {
    // Only the outermost suspension remembers: an inner one would see the outer's work.
    if (RedrawLock++ > 0) {
        return;
    }
    SendMessage(Handle(), WM_SETREDRAW, 0, 0);
    FSavedSelStart = SelectionStart();
    FSavedSelLength = SelectionLength();
    FSavedFirstLine = FirstVisibleLine();
}

void TCustomRichEdit20::ResumeRedraw() {
    if (RedrawLock > 0) {
        --RedrawLock;
    }
    if (RedrawLock != 0) {
        return;
    }
    SetSelectionStart(FSavedSelStart);
    SetSelectionLength(FSavedSelLength);
    for (int first = FirstVisibleLine(); first != FSavedFirstLine;) {
        SendMessage(Handle(), EM_SCROLL, first < FSavedFirstLine ? SB_LINEDOWN : SB_LINEUP, 0);
        const int now = FirstVisibleLine();
        if (now == first) {
            break; // the view goes no further
        }
        first = now;
    }
    SendMessage(Handle(), WM_SETREDRAW, 1, 0);
    Repaint();
}

void TCustomRichEdit20::ColorURLs(int RangeStart, int RangeEnd) {
    const bool wideTextMode = std::exchange(FWideTextMode, false);
    int start = RangeStart;
    int end = RangeEnd;
    WidenToURLWord(start, end);
    if (start > end || TextLength() < 3) {
        FWideTextMode = wideTextMode;
        return;
    }
    SuspendRedraw();
    std::string text;
    UINT codePage = FLanguageCodePage;
    if (start == end) {
        codePage = GetACP();
        text = ScanText(codePage).Of(WideText());
        start = 0;
    } else {
        std::u16string range(std::size_t(end - start) + 1, u'\0');
        TEXTRANGEW request{{start, end}, range.data()};
        const LRESULT copied =
            CallRichEditProc(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
        range.resize(std::size_t(std::clamp<LRESULT>(copied, 0, end - start)));
        text = ScanText(codePage).Of(std::move(range));
    }
    FWideTextMode = wideTextMode;

    // Scheme prefixes, upper-cased as the text is: entries 1 and up.
    std::vector<std::pair<std::string, const TURLType*>> schemes;
    for (int i = 1; i < FCustomURLs->Count(); ++i) {
        const TURLType* type = FCustomURLs->Items(i);
        schemes.emplace_back(ScanText(codePage).Of(AnsiToWide(type->Name() + ":", GetACP())), type);
    }
    const TURLType* email = FCustomURLs->Count() > 0 ? FCustomURLs->Items(0) : nullptr;
    const auto typeOf = [&](std::string_view word) -> const TURLType* {
        for (const auto& [prefix, type] : schemes) {
            if (word.size() > prefix.size() && word.starts_with(prefix)) {
                return type;
            }
        }
        return email && IsEmailWord(word) ? email : nullptr;
    };
    const auto format = [this](int from, int to, const TURLType* type) {
        CHARRANGE selection{from, to};
        Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        TTextAttributes20* attributes = SelectionAttributes();
        attributes->SetLink(type != nullptr);
        if (type) {
            attributes->SetColor(type->Color() == clWindowText ? FURLColor : type->Color());
            attributes->SetUnderlineType(type->Underline() ? CFU_UNDERLINE : CFU_UNDERLINENONE);
        } else {
            attributes->SetColor(kPlainWordColor);
            attributes->SetUnderlineType(CFU_UNDERLINENONE);
        }
    };

    WithoutChangeEvents([&] {
        try {
            // A word starts at the first character whatever its class, then at each URL
            // character after a run of others.
            const char* t = text.c_str();
            std::size_t pos = 0;
            for (;;) {
                std::size_t w = pos + 1;
                while (IsURLChar(t[w])) {
                    ++w;
                }
                format(start + int(pos), start + int(w), typeOf({t + pos, w - pos}));
                pos = w;
                while (t[pos] != '\0' && !IsURLChar(t[pos])) {
                    ++pos;
                }
                if (t[pos] == '\0') {
                    break;
                }
            }
        } catch (...) {
            ResumeRedraw(); // never leave the control undrawn
            throw;
        }
        ResumeRedraw();
    });
}

// --- links under the mouse -------------------------------------------------------------------

void TCustomRichEdit20::HandleLink(const ENLINK& Link) {
    FWideTextMode = false;
    // Only the link's own characters are read (not the whole text on every mouse move).
    const LONG count = std::max<LONG>(Link.chrg.cpMax - Link.chrg.cpMin, 0);
    std::u16string wide(std::size_t(count) + 1, u'\0');
    TEXTRANGEW request{Link.chrg, wide.data()};
    const LRESULT copied = CallRichEditProc(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
    wide.resize(std::size_t(std::clamp<LRESULT>(copied, 0, count)));
    const std::string url = WideToAnsi(wide, GetACP());

    // The scheme before the first ':' picks its entry (the last one when none is named so);
    // without a scheme an address with '@' takes entry 0.
    const TURLType* type = nullptr;
    const std::size_t colon = url.find(':');
    if (colon != std::string::npos && colon >= 1) {
        std::u16string scheme = AnsiToWide(url.substr(0, colon), GetACP());
        CharLowerBuffW(scheme.data(), DWORD(scheme.size()));
        const std::string name = WideToAnsi(scheme, GetACP());
        for (int i = 1; i < FCustomURLs->Count(); ++i) {
            type = FCustomURLs->Items(i);
            if (type->Name() == name) {
                break;
            }
        }
    } else {
        const std::size_t at = url.find('@');
        if (at != std::string::npos && at >= 1 && FCustomURLs->Count() > 0) {
            type = FCustomURLs->Items(0);
        }
    }

    if (Link.msg == WM_MOUSEMOVE) {
        TCursor cursor = type ? type->Cursor() : crDefault;
        if (cursor == crDefault) {
            cursor = FURLCursor;
        }
        if (cursor == crDefault) {
            cursor = crHandPoint;
        }
        ::SetCursor(Screen->Cursors(cursor));
        if (OnURLMove && url.size() > 1) {
            OnURLMove(this, url);
        }
    } else if (Link.msg == WM_LBUTTONUP) {
        if (OnURLClick && url.size() > 1) {
            OnURLClick(this, url);
        }
    }
}
