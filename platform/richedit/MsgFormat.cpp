// Character and paragraph format messages.

#include "platform/richedit/RichEditControl.h"

std::optional<LRESULT> RichEditControl::FormatMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == EM_SETCHARFORMAT || msg == EM_SETPARAFORMAT) {
        Invalidate();
    }
    switch (msg) {
    case EM_GETCHARFORMAT: {
        auto* cf = reinterpret_cast<CHARFORMAT2W*>(lParam);
        if (!cf || !IsCharFormatSize(cf->cbSize)) {
            return 0;
        }
        CharFormat format;
        DWORD mask = CFM_ALL2;
        if (wParam & SCF_SELECTION) {
            mask = doc_.SelectionCharFormat(format);
        } else {
            format = doc_.DefaultCharFormat();
        }
        FillCharFormat(*cf, format, mask);
        return LRESULT(cf->dwMask);
    }
    case EM_SETCHARFORMAT: {
        const auto* cf = reinterpret_cast<const CHARFORMAT2W*>(lParam);
        if (!cf || !IsCharFormatSize(cf->cbSize)) {
            return 0;
        }
        if (!(wParam & (SCF_SELECTION | SCF_ALL))) {
            CharFormat format = doc_.DefaultCharFormat();
            ApplyCharFormat(format, *cf);
            doc_.SetDefaultCharFormat(format);
            ContinueRewrap();
            return 1;
        }
        Selection range = doc_.GetSelection();
        if (wParam & SCF_ALL) {
            range = {0, doc_.Length() + 1};
        } else if ((wParam & SCF_WORD) && range.Empty()) {
            range = doc_.WordAt(range.min);
        }
        // Protecting or unprotecting text is always allowed, or protection could never end.
        if ((cf->dwMask & ~CFM_PROTECTED) != 0 &&
            !ProtectedChangeAllowed(range.min, range.max, msg, wParam, lParam)) {
            return 0;
        }
        if (doc_.ApplyCharFormat(range.min, range.max, *cf, true) || (wParam & SCF_ALL)) {
            doc_.SetModified(true);
        }
        return 1;
    }
    case EM_GETPARAFORMAT: {
        auto* pf = reinterpret_cast<PARAFORMAT2*>(lParam);
        if (!pf || !IsParaFormatSize(pf->cbSize)) {
            return 0;
        }
        ParaFormat format;
        const DWORD mask = doc_.SelectionParaFormat(format);
        FillParaFormat(*pf, format, mask);
        return LRESULT(pf->dwMask);
    }
    case EM_SETPARAFORMAT: {
        const auto* pf = reinterpret_cast<const PARAFORMAT2*>(lParam);
        if (!pf || !IsParaFormatSize(pf->cbSize)) {
            return 0;
        }
        return doc_.ApplyParaFormat(*pf, true) ? 1 : 0;
    }
    case EM_SETBKGNDCOLOR: {
        const COLORREF previous = background_;
        systemBackground_ = wParam != 0;
        background_ = systemBackground_ ? 0x00FFFFFF : COLORREF(lParam) & 0x00FFFFFF;
        Invalidate();
        return LRESULT(previous);
    }
    default:
        return std::nullopt;
    }
}
