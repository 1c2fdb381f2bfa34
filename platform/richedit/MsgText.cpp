// Text messages: setting, replacing and reading text, limits, the modify flag, undo.

#include "platform/locale/Locale.h"
#include "platform/richedit/RichEditControl.h"

#include <algorithm>
#include <cstring>

namespace {

std::u16string_view ZeroTerminated(LPARAM lParam) {
    const auto* text = reinterpret_cast<const WCHAR*>(lParam);
    return text ? std::u16string_view(text) : std::u16string_view();
}

} // namespace

std::optional<LRESULT> RichEditControl::TextMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const std::int64_t length = doc_.Length();
    switch (msg) {
    case WM_SETTEXT: {
        const Before before = Snapshot();
        doc_.SetText(FoldLineBreaks(ZeroTerminated(lParam)));
        After(before, true);
        return TRUE;
    }
    case EM_REPLACESEL: {
        const std::u16string_view text = ZeroTerminated(lParam);
        ReplaceSelection(text, wParam != 0, msg, wParam, lParam);
        return LRESULT(text.size());
    }
    case WM_CLEAR:
        ReplaceSelection({}, true, msg, wParam, lParam);
        return 0;
    case WM_GETTEXTLENGTH: {
        // Paragraph ends count as CR LF here, as this message's readers expect.
        const std::int64_t paragraphs = doc_.Lines().Paragraphs();
        return LRESULT(length + paragraphs - 1);
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<WCHAR*>(lParam);
        if (!buffer || wParam == 0) {
            return 0;
        }
        const std::u16string text = TextWithCrLf(0, length, std::int64_t(wParam) - 1);
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = u'\0';
        return LRESULT(text.size());
    }
    case EM_GETTEXTLENGTHEX: {
        const auto* info = reinterpret_cast<const GETTEXTLENGTHEX*>(wParam);
        if (!info) {
            return E_INVALIDARG;
        }
        const DWORD flags = info->flags;
        if ((flags & GTL_NUMCHARS && flags & GTL_NUMBYTES) ||
            (flags & GTL_PRECISE && flags & GTL_CLOSE)) {
            return E_INVALIDARG;
        }
        std::int64_t count = length;
        if (flags & GTL_USECRLF) {
            count += doc_.Lines().Paragraphs() - 1;
        }
        const bool bytes = (flags & (GTL_NUMBYTES | GTL_PRECISE)) != 0;
        if (bytes && info->codepage == CP_UNICODE) {
            count *= 2;
        } else if (bytes && count > 0) {
            const std::u16string text =
                (flags & GTL_USECRLF) ? TextWithCrLf(0, length, count) : doc_.Text(0, length);
            count = WideCharToMultiByte(info->codepage, 0, text.data(), int(text.size()), nullptr,
                                        0, nullptr, nullptr);
        }
        return LRESULT(count);
    }
    case EM_GETTEXTEX: {
        const auto* info = reinterpret_cast<const GETTEXTEX*>(wParam);
        if (!info || info->cb == 0 || lParam == 0) {
            return 0;
        }
        std::int64_t start = 0;
        std::int64_t end = length;
        if (info->flags & GT_SELECTION) {
            const Selection s = doc_.TextSelection();
            start = s.min;
            end = s.max;
        }
        const bool unicode = info->codepage == CP_UNICODE;
        const std::int64_t room =
            unicode ? std::int64_t(info->cb / 2) - 1 : std::int64_t(info->cb) - 1;
        if (room < 0) {
            return 0;
        }
        const std::u16string text = (info->flags & GT_USECRLF)
                                        ? TextWithCrLf(start, end, room)
                                        : doc_.Text(start, std::min(end - start, room));
        if (unicode) {
            auto* out = reinterpret_cast<WCHAR*>(lParam);
            std::copy(text.begin(), text.end(), out);
            out[text.size()] = u'\0';
            return LRESULT(text.size());
        }
        auto* out = reinterpret_cast<char*>(lParam);
        const int n = text.empty() ? 0
                                   : WideCharToMultiByte(info->codepage, 0, text.data(),
                                                         int(text.size()), out, int(room),
                                                         info->lpDefaultChar, info->lpUsedDefChar);
        out[std::max(n, 0)] = '\0';
        return LRESULT(std::max(n, 0));
    }
    case EM_GETSELTEXT: {
        auto* buffer = reinterpret_cast<WCHAR*>(lParam);
        if (!buffer) {
            return 0;
        }
        const Selection s = doc_.TextSelection();
        doc_.CopyText(s.min, s.max - s.min, buffer);
        buffer[s.max - s.min] = u'\0';
        return LRESULT(s.max - s.min);
    }
    case EM_GETTEXTRANGE: {
        auto* range = reinterpret_cast<TEXTRANGEW*>(lParam);
        if (!range || !range->lpstrText) {
            return 0;
        }
        std::int64_t min = range->chrg.cpMin;
        std::int64_t max = range->chrg.cpMax;
        if (min < 0 || (max == -1 && min != 0)) {
            return 0;
        }
        if (max == -1 || max > length) {
            max = length;
        }
        if (min >= max) {
            return 0;
        }
        doc_.CopyText(min, max - min, range->lpstrText);
        range->lpstrText[max - min] = u'\0';
        return LRESULT(max - min);
    }
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
    case EM_REDO: {
        const Before before = Snapshot();
        const bool done = msg == EM_REDO ? doc_.Redo() : doc_.Undo();
        if (done) {
            After(before, true);
        }
        return done ? TRUE : FALSE;
    }
    case EM_EMPTYUNDOBUFFER:
        doc_.EmptyUndo();
        return 0;
    case EM_SETUNDOLIMIT:
        return doc_.SetUndoLimit(int(LONG(wParam)));
    default:
        return std::nullopt;
    }
}
