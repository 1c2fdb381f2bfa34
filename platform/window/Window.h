#pragma once
// Window handles, window classes and messages, on top of the Qt event loop.
//
// A window here is a record with a class, a window procedure, a parent, styles, text and,
// when it is shown on screen, a Qt widget that the class procedure attaches. Messages are
// delivered synchronously (SendMessage, the calling thread must be the UI thread) or queued
// (PostMessage, from any thread, delivered in posting order on the UI thread; a message for
// a window destroyed meanwhile is dropped). Handles are never reused, so a stale handle can
// never reach a newer window.

#include "platform/WinTypes.h"

#include <exception>
#include <functional>
#include <string>

class QWidget;

struct WindowHandle;
using HWND = WindowHandle*;
struct ModuleHandle;
using HMODULE = ModuleHandle*;
using HINSTANCE = HMODULE;
using HMENU = std::uintptr_t; // also carries a child window's identifier
using ATOM = WORD;

// A window procedure. A std::function so a control can bind its own object to it; a
// subclass keeps the previous procedure and calls on to it with CallWindowProc.
using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Parent of hidden message-only windows.
inline HWND const HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-3));

// --- messages ----------------------------------------------------------------------------
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETREDRAW = 0x000B;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_CUT = 0x0300;
inline constexpr UINT WM_COPY = 0x0301;
inline constexpr UINT WM_PASTE = 0x0302;
inline constexpr UINT WM_CLEAR = 0x0303;
inline constexpr UINT WM_UNDO = 0x0304;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Header of every WM_NOTIFY structure.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

// --- styles ------------------------------------------------------------------------------
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;

// --- window classes --------------------------------------------------------------------
struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc;
    HINSTANCE hInstance = nullptr;
    std::string lpszClassName;
};

// Registers a class by name; 0 (with ERROR_CLASS_ALREADY_EXISTS) if the name is taken.
ATOM RegisterClass(const WNDCLASS& wc);
BOOL UnregisterClass(const std::string& className);
// Fills wc from the named class; FALSE (ERROR_CANNOT_FIND_WND_CLASS) if there is none.
BOOL GetClassInfo(const std::string& className, WNDCLASS* wc);

// --- creation and destruction ------------------------------------------------------------
struct CREATESTRUCT {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy, cx, y, x;
    LONG style;
    const WCHAR* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

// Sends WM_NCCREATE (FALSE aborts) and WM_CREATE (-1 aborts) with a CREATESTRUCT in lParam.
// Returns nullptr when the class is unknown, the parent is not a window or creation was
// refused.
HWND CreateWindowEx(DWORD exStyle, const std::string& className, const std::u16string& windowName,
                    DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param);
// The wide creation call: the class name as UTF-16 (ASCII class names only).
HWND CreateWindowExW(DWORD exStyle, const std::u16string& className,
                     const std::u16string& windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// WM_DESTROY to the window, then its children are destroyed, then WM_NCDESTROY.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd); // safe from any thread

// --- messages ----------------------------------------------------------------------------
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam); // any thread
LRESULT CallWindowProc(const WNDPROC& proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Replaces the window procedure and returns the previous one (subclassing).
WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc);
WNDPROC GetWindowProc(HWND hwnd);

inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWLP_USERDATA = -21;
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value); // returns the previous value

HWND GetParent(HWND hwnd);
std::string GetClassName(HWND hwnd);

// Window text through WM_SETTEXT / WM_GETTEXT (the default procedure keeps it).
BOOL SetWindowText(HWND hwnd, const std::u16string& text);
std::u16string GetWindowText(HWND hwnd);

// --- the window's place on screen -------------------------------------------------------
struct RECT {
    LONG left, top, right, bottom;
};
struct POINT {
    LONG x, y;
};

// The Qt widget that shows the window, if any; the class procedure attaches it, usually
// while handling WM_CREATE. Children's widgets are parented to their parent's widget.
void SetWindowWidget(HWND hwnd, QWidget* widget);
QWidget* GetWindowWidget(HWND hwnd);
HWND WindowFromWidget(const QWidget* widget);

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect); // relative to the parent's client area
BOOL GetClientRect(HWND hwnd, RECT* rect);
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
BOOL ShowWindow(HWND hwnd, int command); // returns whether it was visible before
BOOL IsWindowVisible(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable); // returns whether it was disabled before
BOOL IsWindowEnabled(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);

// --- hidden utility windows --------------------------------------------------------------
// A message-only window whose procedure is proc; for components that receive posted
// notifications (sockets, lookups) without anything on screen.
HWND AllocateHWnd(WNDPROC proc);
void DeallocateHWnd(HWND hwnd);

// --- libraries ---------------------------------------------------------------------------
// A named library is a stand-in module: loading it runs its provider's load action (which
// typically registers window classes) once, and freeing the last reference runs its unload
// action. LoadLibrary returns nullptr for an unknown name (ERROR_MOD_NOT_FOUND).
struct LibraryProvider {
    std::function<void()> load;
    std::function<void()> unload;
};
void RegisterLibraryProvider(const std::string& libraryName, LibraryProvider provider);
HMODULE LoadLibrary(const std::string& libraryName);
BOOL FreeLibrary(HMODULE module);

// --- exceptions that leave a procedure -------------------------------------------------
// An exception that escapes a window procedure while the event loop delivers a message
// (posted messages, Qt input) goes to this sink; the application installs its central
// handler here. The default sink writes the message to stderr.
using UnhandledExceptionSink = std::function<void(std::exception_ptr)>;
UnhandledExceptionSink SetUnhandledExceptionSink(UnhandledExceptionSink sink);
// Runs fn and hands any exception to the sink; for every entry from the event loop.
void RunGuarded(const std::function<void()>& fn);

// True on the thread that runs the event loop (the UI thread).
bool IsUiThread();
