// Options and the event mask.

#include "platform/richedit/RichEditControl.h"

std::optional<LRESULT> RichEditControl::OptionMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case EM_GETEVENTMASK:
        return LRESULT(eventMask_);
    case EM_SETEVENTMASK: {
        const DWORD previous = eventMask_;
        eventMask_ = DWORD(lParam);
        return LRESULT(previous);
    }
    case EM_GETOPTIONS:
        return LRESULT(options_);
    case EM_SETOPTIONS: {
        const auto value = DWORD(lParam);
        switch (wParam) {
        case ECOOP_SET:
            options_ = value;
            break;
        case ECOOP_OR:
            options_ |= value;
            break;
        case ECOOP_AND:
            options_ &= value;
            break;
        case ECOOP_XOR:
            options_ ^= value;
            break;
        default:
            return 0;
        }
        hideSelection_ = !(options_ & ECO_NOHIDESEL);
        SetReadOnly(options_ & ECO_READONLY);
        WidthChanged(); // the selection bar takes room from the text
        Invalidate();
        return LRESULT(options_);
    }
    case EM_SETLANGOPTIONS:
        langOptions_ = DWORD(lParam);
        return TRUE;
    case EM_GETLANGOPTIONS:
        return LRESULT(langOptions_);
    case EM_AUTOURLDETECT:
        if (wParam > 1) {
            return E_INVALIDARG;
        }
        if (wParam != 0 && !autoUrlDetect_) {
            autoUrlDetect_ = true;
            DetectUrls(0, doc_.Length()); // the text already there counts too
        }
        autoUrlDetect_ = wParam != 0;
        return 0;
    case EM_GETAUTOURLDETECT:
        return autoUrlDetect_ ? TRUE : FALSE;
    case EM_HIDESELECTION:
        hideSelection_ = wParam != 0;
        Invalidate();
        return 0;
    case EM_REQUESTRESIZE:
        reportedHeight_ = -1;
        NotifyResize();
        return 0;
    default:
        return std::nullopt;
    }
}
