// Selection and line messages.

#include "platform/richedit/RichEditControl.h"

#include <algorithm>

std::optional<LRESULT> RichEditControl::SelectionMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const LineIndex& lines = doc_.Lines();
    const std::int64_t length = doc_.Length();
    switch (msg) {
    case EM_EXGETSEL: {
        if (auto* range = reinterpret_cast<CHARRANGE*>(lParam)) {
            const Selection s = doc_.GetSelection();
            *range = {LONG(s.min), LONG(s.max)};
        }
        return 0;
    }
    case EM_EXSETSEL: {
        const auto* range = reinterpret_cast<const CHARRANGE*>(lParam);
        if (!range) {
            return 0;
        }
        SetSelection(range->cpMin, range->cpMax);
        return LRESULT(doc_.GetSelection().max);
    }
    case EM_GETSEL: {
        const Selection s = doc_.GetSelection();
        if (auto* start = reinterpret_cast<DWORD*>(wParam)) {
            *start = DWORD(s.min);
        }
        if (auto* end = reinterpret_cast<DWORD*>(lParam)) {
            *end = DWORD(s.max);
        }
        return s.max > 0xFFFF ? -1 : LRESULT(MAKELONG(WORD(s.min), WORD(s.max)));
    }
    case EM_SETSEL:
        SetSelection(LONG(wParam), LONG(lParam));
        return LRESULT(doc_.GetSelection().max);
    case EM_EXLINEFROMCHAR:
    case EM_LINEFROMCHAR: {
        const LONG pos = LONG(msg == EM_EXLINEFROMCHAR ? WPARAM(lParam) : wParam);
        if (pos < 0) {
            return LRESULT(lines.LineFromPosition(std::min(doc_.GetSelection().min, length)));
        }
        return LRESULT(lines.LineFromPosition(std::min<std::int64_t>(pos, length)));
    }
    case EM_LINEINDEX: {
        const LONG line = LONG(wParam);
        const std::int64_t target = line == -1 ? CaretLine() : line;
        if (target < 0 || target >= lines.LineCount()) {
            return -1;
        }
        return LRESULT(lines.LineStart(target));
    }
    case EM_LINELENGTH: {
        const LONG pos = LONG(wParam);
        if (pos == -1) {
            // The characters of the selection's lines that are not selected.
            const Selection s = doc_.TextSelection();
            const std::int64_t first = lines.LineFromPosition(s.min);
            const std::int64_t last = lines.LineFromPosition(s.max);
            return LRESULT((s.min - lines.LineStart(first)) + (lines.LineEnd(last) - s.max));
        }
        if (pos < 0 || pos > length) {
            return 0;
        }
        return LRESULT(lines.LineLength(lines.LineFromPosition(pos)));
    }
    case EM_GETLINECOUNT:
        return LRESULT(lines.LineCount());
    case EM_GETLINE: {
        auto* buffer = reinterpret_cast<WCHAR*>(lParam);
        const LONG line = LONG(wParam);
        if (!buffer) {
            return 0;
        }
        const WORD capacity = buffer[0];
        if (line < 0 || line >= lines.LineCount()) {
            if (capacity > 0) {
                buffer[0] = u'\0';
            }
            return 0;
        }
        // The line as stored, with the CR that ends its paragraph.
        const std::int64_t start = lines.LineStart(line);
        std::int64_t end = lines.LineEnd(line);
        if (end < length && doc_.CharAt(end) == u'\r') {
            ++end;
        }
        const std::int64_t count = std::min<std::int64_t>(end - start, capacity);
        doc_.CopyText(start, count, buffer);
        if (count < capacity) {
            buffer[count] = u'\0';
        }
        return LRESULT(count);
    }
    case EM_SELECTIONTYPE:
        return SelectionType();
    default:
        return std::nullopt;
    }
}
