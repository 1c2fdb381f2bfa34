// Window classes, creation and destruction, the default procedure and window data.
#include "platform/window/Window.h"

#include "platform/window/Gdi.h"
#include "platform/window/InputBridge.h"
#include "platform/window/WindowRegistry.h"

#include <algorithm>

using windowing::RecordOrError;
using windowing::WindowRecord;
using windowing::WindowTable;

namespace {

std::string NarrowClassName(const std::u16string& name) {
    std::string narrow;
    narrow.reserve(name.size());
    for (char16_t c : name)
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

} // namespace

ATOM RegisterClass(const WNDCLASS& wc) {
    auto& classes = WindowTable::Instance().classes;
    if (wc.lpszClassName.empty() || !wc.lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (classes.count(wc.lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    classes.emplace(wc.lpszClassName, wc);
    return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClass(const std::string& className) {
    if (WindowTable::Instance().classes.erase(className) == 0) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    return TRUE;
}

BOOL GetClassInfo(const std::string& className, WNDCLASS* wc) {
    const auto& classes = WindowTable::Instance().classes;
    auto it = classes.find(className);
    if (it == classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    if (wc)
        *wc = it->second;
    return TRUE;
}

HWND CreateWindowEx(DWORD exStyle, const std::string& className, const std::u16string& windowName,
                    DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param) {
    auto& table = WindowTable::Instance();
    auto cls = table.classes.find(className);
    if (cls == table.classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const bool messageOnly = parent == HWND_MESSAGE;
    if (parent && !messageOnly && !table.IsLive(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    auto record = std::make_unique<WindowRecord>();
    record->className = className;
    record->proc = cls->second.lpfnWndProc;
    record->parent = messageOnly ? nullptr : parent;
    record->style = style;
    record->exStyle = exStyle;
    record->id = static_cast<LONG_PTR>(menu);
    record->bounds = QRect(x, y, width, height);
    HWND hwnd = table.Add(std::move(record));
    if (parent && !messageOnly)
        table.Find(parent)->children.push_back(hwnd);

    CREATESTRUCT cs{param,
                    instance,
                    menu,
                    parent,
                    height,
                    width,
                    y,
                    x,
                    LONG(style),
                    windowName.c_str(),
                    className.c_str(),
                    exStyle};
    const auto lp = reinterpret_cast<LPARAM>(&cs);
    if (!SendMessage(hwnd, WM_NCCREATE, 0, lp)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (IsWindow(hwnd) && !windowName.empty())
        table.Find(hwnd)->text = windowName;
    if (!IsWindow(hwnd) || SendMessage(hwnd, WM_CREATE, 0, lp) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

HWND CreateWindowExW(DWORD exStyle, const std::u16string& className,
                     const std::u16string& windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    return CreateWindowEx(exStyle, NarrowClassName(className), windowName, style, x, y, width,
                          height, parent, menu, instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
    auto& table = WindowTable::Instance();
    WindowRecord* record = RecordOrError(hwnd);
    if (!record || record->destroying)
        return record ? TRUE : FALSE;
    record->destroying = true;

    SendMessage(hwnd, WM_DESTROY, 0, 0);
    // Children go before their parent; copy the list, since each removes itself from it.
    if ((record = table.Find(hwnd))) {
        const std::vector<HWND> children = record->children;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            DestroyWindow(*it);
    }
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);

    record = table.Find(hwnd);
    if (!record)
        return TRUE;
    if (WindowRecord* parent = table.Find(record->parent)) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    }
    if (QWidget* widget = record->widget) {
        // The widget may be in the middle of delivering the event that destroys the window.
        widget->hide();
        widget->setParent(nullptr);
        widget->deleteLater();
    }
    table.Remove(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return hwnd && WindowTable::Instance().IsLive(hwnd) ? TRUE : FALSE;
}

int LiveWindowCount() {
    return static_cast<int>(WindowTable::Instance().LiveCount());
}

WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return {};
    std::swap(record->proc, proc);
    return proc;
}

WNDPROC GetWindowProc(HWND hwnd) {
    WindowRecord* record = RecordOrError(hwnd);
    return record ? record->proc : WNDPROC{};
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return 0;
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(record->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(record->exStyle);
    case GWLP_ID:
        return record->id;
    case GWLP_USERDATA:
        return record->userData;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return 0;
    LONG_PTR previous = GetWindowLongPtr(hwnd, index);
    switch (index) {
    case GWL_STYLE:
        record->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        record->exStyle = static_cast<DWORD>(value);
        break;
    case GWLP_ID:
        record->id = value;
        break;
    case GWLP_USERDATA:
        record->userData = value;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return previous;
}

HWND GetParent(HWND hwnd) {
    WindowRecord* record = RecordOrError(hwnd);
    return record ? record->parent : nullptr;
}

std::string GetClassName(HWND hwnd) {
    WindowRecord* record = RecordOrError(hwnd);
    return record ? record->className : std::string();
}

BOOL SetWindowText(HWND hwnd, const std::u16string& text) {
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? TRUE : FALSE;
}

std::u16string GetWindowText(HWND hwnd) {
    const auto length = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0)
        return {};
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    const auto copied =
        SendMessage(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    windowing::NoteDefaultReached(hwnd, msg);
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    if (!record)
        return 0;
    const bool child = record->parent && (record->style & WS_CHILD);
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<const WCHAR*>(lParam);
        record->text = text ? std::u16string(text) : std::u16string();
        return TRUE;
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(record->text.size());
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<WCHAR*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        const size_t n = std::min<size_t>(record->text.size(), wParam - 1);
        std::copy_n(record->text.data(), n, buffer);
        buffer[n] = u'\0';
        return static_cast<LRESULT>(n);
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        ValidateRect(hwnd, nullptr);
        return 0;
    case WM_NCHITTEST: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client{};
        if (!ScreenToClient(hwnd, &at) || !GetClientRect(hwnd, &client))
            return HTNOWHERE;
        const bool inside = at.x >= 0 && at.y >= 0 && at.x < client.right && at.y < client.bottom;
        return inside ? HTCLIENT : HTNOWHERE;
    }
    case WM_SETCURSOR:
        // A parent may decide the cursor over its children; else the window's own shows.
        if (child && SendMessage(record->parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        windowing::RestoreOwnCursor(hwnd);
        return FALSE;
    case WM_RBUTTONUP: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &at);
        SendMessage(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd),
                    PointToLParam(at.x, at.y));
        return 0;
    }
    case WM_CONTEXTMENU:
        // Not handled here: the parent may have a menu for its children.
        return child ? SendMessage(record->parent, WM_CONTEXTMENU, wParam, lParam) : 0;
    case WM_GETDLGCODE:
    default:
        return 0;
    }
}

LRESULT CallWindowProc(const WNDPROC& proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProc(hwnd, msg, wParam, lParam);
}

namespace {

const char* const kUtilWindowClass = "KelvorUtilWindow";

} // namespace

HWND AllocateHWnd(WNDPROC proc) {
    WNDCLASS wc;
    if (!GetClassInfo(kUtilWindowClass, &wc)) {
        wc.lpszClassName = kUtilWindowClass;
        wc.lpfnWndProc = DefWindowProc;
        RegisterClass(wc);
    }
    HWND hwnd =
        CreateWindowEx(0, kUtilWindowClass, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, nullptr, nullptr);
    if (hwnd && proc)
        SetWindowProc(hwnd, std::move(proc));
    return hwnd;
}

void DeallocateHWnd(HWND hwnd) {
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
}
