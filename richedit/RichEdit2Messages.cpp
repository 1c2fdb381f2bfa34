// The messages the rich text control intercepts before the platform control sees them: the
// 8-bit/UTF-16 conversion of the text-carrying messages, font and colour changes, the
// cursor, painting, and the notifications that become the control's events.

#include "platform/locale/Locale.h"
#include "platform/window/Gdi.h"
#include "richedit/RichEdit2.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// One flag for every rich text control: a paint that starts while another is under way is
// turned into an invalidation.
bool painting = false;

std::u16string ToWide(const char* text, WORD codePage) {
    return text ? AnsiToWide(text, codePage) : std::u16string();
}

// Copies text with a terminating zero into an 8-bit buffer of capacity bytes (zero included);
// returns the bytes copied without the zero.
LRESULT CopyOut(const std::string& text, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) {
        return 0;
    }
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return LRESULT(n);
}

DWORD MajorVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) ? info.dwMajorVersion : 0;
}

} // namespace

void TCustomRichEdit20::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case EM_REPLACESEL:
    case EM_GETLINE:
    case EM_GETSELTEXT:
    case EM_GETTEXTRANGE:
        if (ConvertTextMessage(Message)) {
            return;
        }
        break;
    case WM_SETFONT:
        DefaultAttributes()->Assign(Font()); // the platform control never gets the message
        return;
    case CM_FONTCHANGED:
        TCustomMemo::WndProc(Message);
        DefaultAttributes()->Assign(Font());
        return;
    case CM_COLORCHANGED:
        TCustomMemo::WndProc(Message);
        SendMessage(Handle(), EM_SETBKGNDCOLOR, 0, LPARAM(ColorToRGB(Color())));
        return;
    case CM_BIDIMODECHANGED: {
        HandleNeeded();
        TCustomMemo::WndProc(Message);
        PARAFORMAT2 format{};
        format.cbSize = sizeof format;
        format.dwMask = PFM_ALIGNMENT;
        format.wAlignment = WORD(int(Alignment()) + 1);
        ParagraphAttributes()->SetFormat2(format);
        return;
    }
    case WM_SETCURSOR:
        HandleSetCursor(Message);
        return;
    case WM_PAINT:
        HandlePaint(Message);
        return;
    case WM_DESTROY:
        HandleDestroy(Message);
        return;
    case WM_RBUTTONUP:
        // Systems before version 5 raise no context menu of their own.
        if (MajorVersion() < 5) {
            POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            ClientToScreen(FHandle, &p);
            SendMessage(FHandle, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(FHandle),
                        PointToLParam(p.x, p.y));
        }
        break;
    case CN_NOTIFY:
        if (HandleNotification(Message)) {
            return;
        }
        break;
    case CN_COMMAND:
        HandleTextChange(Message);
        break;
    default:
        break;
    }
    TCustomMemo::WndProc(Message);
}

// The seven text-carrying messages: 8-bit text in LanguageCodePage outside, UTF-16 inside.
bool TCustomRichEdit20::ConvertTextMessage(TMessage& Message) {
    const WORD codePage = FLanguageCodePage;
    switch (Message.Msg) {
    case WM_SETTEXT: {
        if (ComponentState().Contains(csDesigning)) {
            Message.LParam = 0; // no text in design mode
        } else if (!FWideTextMode) {
            // Empty 8-bit text goes on as empty UTF-16 too: read as UTF-16, its single zero
            // byte would not end the text.
            const std::u16string wide =
                ToWide(reinterpret_cast<const char*>(Message.LParam), codePage);
            Message.Result = CallRichEditProc(WM_SETTEXT, Message.WParam,
                                              reinterpret_cast<LPARAM>(wide.c_str()));
            return true;
        }
        Message.Result = CallRichEditProc(WM_SETTEXT, Message.WParam, Message.LParam);
        return true;
    }
    case WM_GETTEXT: {
        if (!FWideTextMode) {
            return false; // the default handling
        }
        const std::string text = WideToAnsi(WideText(), codePage);
        CopyOut(text, reinterpret_cast<char*>(Message.LParam), std::size_t(Message.WParam));
        Message.Result = 0;
        return true;
    }
    case WM_GETTEXTLENGTH: {
        GETTEXTLENGTHEX info{GTL_DEFAULT, CP_UNICODE};
        Message.Result =
            SendMessage(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&info), 0);
        return true;
    }
    case EM_REPLACESEL: {
        // Every replacement can be undone, whatever the caller asked.
        if (FWideTextMode) {
            Message.Result = CallRichEditProc(EM_REPLACESEL, 1, Message.LParam);
            return true;
        }
        const std::u16string wide = ToWide(reinterpret_cast<const char*>(Message.LParam), codePage);
        Message.Result = CallRichEditProc(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(wide.c_str()));
        return true;
    }
    case EM_GETLINE: {
        if (FWideTextMode) {
            Message.Result = CallRichEditProc(EM_GETLINE, Message.WParam, Message.LParam);
            return true;
        }
        auto* buffer = reinterpret_cast<char*>(Message.LParam);
        if (!buffer) {
            Message.Result = 0;
            return true;
        }
        WORD size = 0;
        std::memcpy(&size, buffer, sizeof size);
        std::vector<WCHAR> wide(std::size_t(size) + 1, 0);
        wide[0] = size;
        const LRESULT copied =
            CallRichEditProc(EM_GETLINE, Message.WParam, reinterpret_cast<LPARAM>(wide.data()));
        const std::string text =
            copied > 0 ? WideToAnsi(std::u16string(wide.data(), std::size_t(copied)), codePage)
                       : std::string();
        // Within the caller's size, the zero included.
        Message.Result = CopyOut(text, buffer, size);
        return true;
    }
    case EM_GETSELTEXT: {
        const int length = SelectionLength();
        if (length == 0) {
            Message.Result = 0; // nothing is called and the buffer stays as it was
            return true;
        }
        if (FWideTextMode) {
            Message.Result = CallRichEditProc(EM_GETSELTEXT, Message.WParam, Message.LParam);
            return true;
        }
        std::vector<WCHAR> wide(std::size_t(length) + 1, 0);
        const LRESULT copied =
            CallRichEditProc(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(wide.data()));
        const std::string text = WideToAnsi(
            std::u16string(wide.data(), std::size_t(std::max<LRESULT>(copied, 0))), codePage);
        // The caller's buffer holds SelectionLength bytes and the zero.
        Message.Result =
            CopyOut(text, reinterpret_cast<char*>(Message.LParam), std::size_t(length) + 1);
        return true;
    }
    case EM_GETTEXTRANGE: {
        if (FWideTextMode) {
            Message.Result = CallRichEditProc(EM_GETTEXTRANGE, Message.WParam, Message.LParam);
            return true;
        }
        auto* range = reinterpret_cast<TEXTRANGEA*>(Message.LParam);
        if (!range) {
            Message.Result = 0;
            return true;
        }
        const auto count = std::size_t(std::abs(range->chrg.cpMax - range->chrg.cpMin));
        std::vector<WCHAR> wide(count + 1, 0);
        TEXTRANGEW wideRange{range->chrg, wide.data()};
        const LRESULT copied =
            CallRichEditProc(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&wideRange));
        const std::string text = WideToAnsi(
            std::u16string(wide.data(), std::size_t(std::max<LRESULT>(copied, 0))), codePage);
        Message.Result = CopyOut(text, range->lpstrText, text.size() + 1);
        return true;
    }
    default:
        return false;
    }
}

// --- notifications ---------------------------------------------------------------------------

bool TCustomRichEdit20::HandleNotification(TMessage& Message) {
    const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
    if (!header) {
        return false;
    }
    Message.Result = 0;
    switch (header->code) {
    case EN_REQUESTRESIZE:
        ResizeRequested(reinterpret_cast<const REQRESIZE*>(header)->rc);
        return true;
    case EN_SELCHANGE:
        SelectionChanged();
        return true;
    case EN_PROTECTED: {
        const auto* protect = reinterpret_cast<const ENPROTECTED*>(header);
        if (!ProtectChanging(protect->chrg.cpMin, protect->chrg.cpMax)) {
            Message.Result = 1;
        }
        return true;
    }
    case EN_SAVECLIPBOARD: {
        const auto* save = reinterpret_cast<const ENSAVECLIPBOARD*>(header);
        if (!SaveClipboardQuery(save->cObjectCount, save->cch)) {
            Message.Result = 1;
        }
        return true;
    }
    case EN_LINK:
        HandleLink(*reinterpret_cast<const ENLINK*>(header)); // the result stays 0
        return true;
    default:
        return true;
    }
}

// Before OnChange: the extended URL colouring of the words around the change, and of those
// around the previous one.
void TCustomRichEdit20::HandleTextChange(TMessage& Message) {
    const TComponentState state = ComponentState();
    if (state.Contains(csLoading) || state.Contains(csReading) || FAutoURLDetect != adExtended ||
        FCustomURLs->Count() == 0 || HIWORD(Message.WParam) != EN_CHANGE || RedrawLock != 0) {
        return;
    }
    CHARRANGE selection{};
    SendMessage(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    ColorURLs(std::min<int>(LastChangeStart, selection.cpMin),
              std::max<int>(LastChangeEnd, selection.cpMax));
    LastChangeStart = selection.cpMin;
    LastChangeEnd = selection.cpMax;
}

// Objects close while the window they live in still exists; the next window has its own
// object interface.
void TCustomRichEdit20::HandleDestroy(TMessage& Message) {
    CloseEmbeddedObjects();
    ReleaseInterface(FRichEditOle);
    TCustomMemo::WndProc(Message);
}

void TCustomRichEdit20::ResizeRequested(const RECT& Rect) {
    if (OnResizeRequest) {
        OnResizeRequest(this, Rect);
    }
}

void TCustomRichEdit20::SelectionChanged() {
    if (OnSelectionChange) {
        OnSelectionChange(this);
    }
}

bool TCustomRichEdit20::ProtectChanging(int StartPos, int EndPos) {
    bool allowChange = false;
    if (OnProtectChange) {
        OnProtectChange(this, StartPos, EndPos, allowChange);
    }
    return allowChange;
}

bool TCustomRichEdit20::SaveClipboardQuery(int NumObjects, int NumChars) {
    bool saveClipboard = true;
    if (OnSaveClipboard) {
        OnSaveClipboard(this, NumObjects, NumChars, saveClipboard);
    }
    return saveClipboard;
}

// --- cursor and painting ---------------------------------------------------------------------

void TCustomRichEdit20::HandleSetCursor(TMessage& Message) {
    TCustomMemo::WndProc(Message);
    if (Message.Result != 0) {
        return;
    }
    Message.Result = 1;
    POINT p{};
    GetCursorPos(&p);
    const LRESULT hit = SendMessage(Handle(), WM_NCHITTEST, 0, PointToLParam(p.x, p.y));
    if (hit == HTCLIENT) {
        ::SetCursor(LoadCursor(nullptr, IDC_IBEAM));
    } else if (hit == HTHSCROLL || hit == HTVSCROLL) {
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
    }
}

void TCustomRichEdit20::HandlePaint(TMessage& Message) {
    if (RedrawLock > 0) {
        Message.Result = 0;
        return;
    }
    RECT update{};
    if (GetUpdateRect(FHandle, &update, TRUE)) {
        RECT client{};
        GetClientRect(FHandle, &client);
        const RECT strip{client.right - 3, 0, client.right, client.bottom};
        if (strip.left < update.right && update.left < strip.right && strip.top < update.bottom &&
            update.top < strip.bottom) {
            InvalidateRect(FHandle, &strip, TRUE);
        }
    }
    if (painting) {
        InvalidateRect(FHandle, nullptr, TRUE);
        return;
    }
    painting = true;
    try {
        TCustomMemo::WndProc(Message);
    } catch (...) {
        painting = false;
        throw;
    }
    painting = false;
}
