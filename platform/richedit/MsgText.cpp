// Text messages: setting, replacing and reading text, limits, the modify flag, undo.
// The readers only look at the document, so they are plain functions of it.

#include "platform/locale/Locale.h"
#include "platform/richedit/RichEditControl.h"

#include <algorithm>
#include <cstring>

namespace {

using Pos = std::int64_t;

std::u16string_view ZeroTerminated(LPARAM lParam) {
    const auto* text = reinterpret_cast<const WCHAR*>(lParam);
    return text ? std::u16string_view(text) : std::u16string_view();
}

// [start, end) with each paragraph end as CR LF, cut to limit units; a pair that does not
// fit whole is dropped whole.
std::u16string TextWithCrLf(const RichEditDocument& doc, Pos start, Pos end, Pos limit) {
    std::u16string out;
    doc.ForEachSegment(start, end - start, [&](const char16_t* chars, Pos n) {
        for (Pos i = 0; i < n && Pos(out.size()) < limit; ++i) {
            if (chars[i] == u'\r') {
                if (Pos(out.size()) + 2 > limit) {
                    limit = Pos(out.size());
                    break;
                }
                out += u"\r\n";
            } else {
                out.push_back(chars[i]);
            }
        }
    });
    return out;
}

Pos ParagraphEnds(const RichEditDocument& doc) {
    return doc.Lines().Paragraphs() - 1;
}

LRESULT CopyWithCrLf(const RichEditDocument& doc, WCHAR* buffer, WPARAM capacity) {
    if (!buffer || capacity == 0) {
        return 0;
    }
    const std::u16string text = TextWithCrLf(doc, 0, doc.Length(), Pos(capacity) - 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return LRESULT(text.size());
}

LRESULT LengthEx(const RichEditDocument& doc, const GETTEXTLENGTHEX* info) {
    if (!info) {
        return E_INVALIDARG;
    }
    const DWORD flags = info->flags;
    if ((flags & GTL_NUMCHARS && flags & GTL_NUMBYTES) ||
        (flags & GTL_PRECISE && flags & GTL_CLOSE)) {
        return E_INVALIDARG;
    }
    const Pos length = doc.Length();
    Pos count = length + ((flags & GTL_USECRLF) ? ParagraphEnds(doc) : 0);
    const bool bytes = (flags & (GTL_NUMBYTES | GTL_PRECISE)) != 0;
    if (bytes && info->codepage == CP_UNICODE) {
        count *= 2;
    } else if (bytes && count > 0) {
        const std::u16string text =
            (flags & GTL_USECRLF) ? TextWithCrLf(doc, 0, length, count) : doc.Text(0, length);
        count = WideCharToMultiByte(info->codepage, 0, text.data(), int(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    }
    return LRESULT(count);
}

LRESULT CopyTextEx(const RichEditDocument& doc, const GETTEXTEX* info, LPARAM lParam) {
    if (!info || info->cb == 0 || lParam == 0) {
        return 0;
    }
    Selection range{0, doc.Length()};
    if (info->flags & GT_SELECTION) {
        range = doc.TextSelection();
    }
    const bool unicode = info->codepage == CP_UNICODE;
    const Pos room = unicode ? Pos(info->cb / 2) - 1 : Pos(info->cb) - 1;
    if (room < 0) {
        return 0;
    }
    const std::u16string text = (info->flags & GT_USECRLF)
                                    ? TextWithCrLf(doc, range.min, range.max, room)
                                    : doc.Text(range.min, std::min(range.max - range.min, room));
    if (unicode) {
        auto* out = reinterpret_cast<WCHAR*>(lParam);
        std::copy(text.begin(), text.end(), out);
        out[text.size()] = u'\0';
        return LRESULT(text.size());
    }
    auto* out = reinterpret_cast<char*>(lParam);
    const int n = text.empty()
                      ? 0
                      : WideCharToMultiByte(info->codepage, 0, text.data(), int(text.size()), out,
                                            int(room), info->lpDefaultChar, info->lpUsedDefChar);
    out[std::max(n, 0)] = '\0';
    return LRESULT(std::max(n, 0));
}

LRESULT CopySelection(const RichEditDocument& doc, WCHAR* buffer) {
    if (!buffer) {
        return 0;
    }
    const Selection s = doc.TextSelection();
    doc.CopyText(s.min, s.max - s.min, buffer);
    buffer[s.max - s.min] = u'\0';
    return LRESULT(s.max - s.min);
}

LRESULT CopyRange(const RichEditDocument& doc, TEXTRANGEW* range) {
    if (!range || !range->lpstrText) {
        return 0;
    }
    Pos min = range->chrg.cpMin;
    Pos max = range->chrg.cpMax;
    if (min < 0 || (max == -1 && min != 0)) {
        return 0;
    }
    if (max == -1 || max > doc.Length()) {
        max = doc.Length();
    }
    if (min >= max) {
        return 0;
    }
    doc.CopyText(min, max - min, range->lpstrText);
    range->lpstrText[max - min] = u'\0';
    return LRESULT(max - min);
}

} // namespace

std::optional<LRESULT> RichEditControl::TextMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETTEXT:
        SetAllText(ZeroTerminated(lParam));
        return TRUE;
    case EM_REPLACESEL:
        ReplaceSelection(ZeroTerminated(lParam), wParam != 0, msg, wParam, lParam);
        return LRESULT(ZeroTerminated(lParam).size());
    case WM_CLEAR:
        ReplaceSelection({}, true, msg, wParam, lParam);
        return 0;
    case WM_GETTEXTLENGTH: // paragraph ends count as CR LF here
        return LRESULT(doc_.Length() + ParagraphEnds(doc_));
    case WM_GETTEXT:
        return CopyWithCrLf(doc_, reinterpret_cast<WCHAR*>(lParam), wParam);
    case EM_GETTEXTLENGTHEX:
        return LengthEx(doc_, reinterpret_cast<const GETTEXTLENGTHEX*>(wParam));
    case EM_GETTEXTEX:
        return CopyTextEx(doc_, reinterpret_cast<const GETTEXTEX*>(wParam), lParam);
    case EM_GETSELTEXT:
        return CopySelection(doc_, reinterpret_cast<WCHAR*>(lParam));
    case EM_GETTEXTRANGE:
        return CopyRange(doc_, reinterpret_cast<TEXTRANGEW*>(lParam));
    default:
        return LimitAndUndoMessage(msg, wParam, lParam);
    }
}

void RichEditControl::SetAllText(std::u16string_view text) {
    const Before before = Snapshot();
    doc_.SetText(FoldLineBreaks(text));
    anchor_ = 0;
    topPos_ = 0;
    After(before, true);
}

std::optional<LRESULT> RichEditControl::LimitAndUndoMessage(UINT msg, WPARAM wParam,
                                                            LPARAM lParam) {
    switch (msg) {
    case EM_EXLIMITTEXT:
    case EM_LIMITTEXT: {
        const auto limit = LONG(msg == EM_EXLIMITTEXT ? WPARAM(lParam) : wParam);
        if (limit >= 0) {
            doc_.SetTextLimit(limit == 0 ? 65536 : limit);
        }
        return 0;
    }
    case EM_GETLIMITTEXT:
        return LRESULT(doc_.TextLimit());
    case EM_GETMODIFY:
        return doc_.Modified() ? -1 : 0;
    case EM_SETMODIFY:
        doc_.SetModified(wParam != 0);
        return 0;
    case EM_CANUNDO:
        return doc_.CanUndo() ? TRUE : FALSE;
    case EM_CANREDO:
        return doc_.CanRedo() ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO:
    case EM_REDO:
        return UndoOrRedo(msg == EM_REDO) ? TRUE : FALSE;
    case EM_EMPTYUNDOBUFFER:
        doc_.EmptyUndo();
        return 0;
    case EM_SETUNDOLIMIT:
        return doc_.SetUndoLimit(int(LONG(wParam)));
    default:
        return std::nullopt;
    }
}

bool RichEditControl::UndoOrRedo(bool redo) {
    const Before before = Snapshot();
    const bool done = redo ? doc_.Redo() : doc_.Undo();
    if (done) {
        anchor_ = doc_.GetSelection().min;
        ScrollToShow(doc_.GetSelection().max);
        After(before, true);
    }
    return done;
}
