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
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_GETDLGCODE = 0x0087;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;
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
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
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
// How many windows are alive now, hidden utility windows included; for leak checks.
int LiveWindowCount(); // safe from any thread

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
// Attaching puts the input bridge (below) on the widget, once, and turns on mouse tracking so
// that moves without a button pressed arrive as WM_MOUSEMOVE too.
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
// Client and screen coordinates of a window; FALSE for a handle that is not a window.
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);

// --- input: Qt's events on a window's widget as the platform's messages --------------------
//
// SetWindowWidget puts an input bridge on the widget. Each paint, key, mouse, wheel, context
// menu, focus and resize event of that widget (not of widgets inside it, and not one that Qt
// passes up from a child window, which had it already) becomes the platform's messages, sent
// through the window's procedure, so every subclass sees them. Qt's own handling of the event
// then runs only if every one of those messages reached DefWindowProc; a procedure that does
// not call on withholds the event from the widget (a withheld paint leaves the widget
// unpainted, a withheld WM_KEYDOWN keeps the key from it). Queries the bridge makes on the way
// (WM_GETDLGCODE, WM_NCHITTEST, WM_SETCURSOR) do not decide this, and WM_SIZE never does.
//
//   paint              WM_PAINT (BeginPaint gives a context over the widget's painter)
//   key press/release  WM_KEYDOWN, then WM_CHAR per UTF-16 unit typed / WM_KEYUP; with Alt
//                      held (or for F10) WM_SYSKEYDOWN, WM_SYSCHAR / WM_SYSKEYUP. Tab, Enter
//                      and Escape go to the window only if WM_GETDLGCODE says it wants them;
//                      otherwise Qt moves the focus or passes the key to the parent.
//   mouse              WM_NCHITTEST and WM_SETCURSOR before a move or press, then
//                      WM_MOUSEMOVE, WM_[LRM]BUTTON(DOWN|UP|DBLCLK) in client coordinates
//   wheel              WM_MOUSEWHEEL in screen coordinates
//   context menu key   WM_CONTEXTMENU with lParam -1 (with the mouse the platform's way:
//                      DefWindowProc turns WM_RBUTTONUP into WM_CONTEXTMENU)
//   focus              WM_SETFOCUS / WM_KILLFOCUS with the other window
//   resize             WM_SIZE with the client size

// A message as the message loop holds it; WM_GETDLGCODE's lParam points to one.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return static_cast<LPARAM>(MAKELONG(lo, hi));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(MAKELONG(lo, hi));
}
// A point packed into lParam: two signed 16-bit coordinates.
constexpr LPARAM PointToLParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)),
                      static_cast<WORD>(static_cast<SHORT>(y)));
}
constexpr int GET_X_LPARAM(LPARAM lp) {
    return static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(lp)));
}
constexpr int GET_Y_LPARAM(LPARAM lp) {
    return static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(lp)));
}
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM wp) {
    return static_cast<SHORT>(HIWORD(wp));
}
constexpr WORD GET_KEYSTATE_WPARAM(WPARAM wp) {
    return LOWORD(wp);
}
inline constexpr int WHEEL_DELTA = 120;

// Mouse message wParam: buttons and keys down after the event.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Key message lParam bits besides the repeat count in the low word.
inline constexpr LPARAM KF_EXTENDED_BIT = LPARAM(1) << 24;
inline constexpr LPARAM KF_ALTDOWN_BIT = LPARAM(1) << 29;
inline constexpr LPARAM KF_REPEAT_BIT = LPARAM(1) << 30; // the key was down before
inline constexpr LPARAM KF_UP_BIT = LPARAM(1) << 31;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes ('A', '0').
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_CLEAR = 0x0C;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12; // Alt
inline constexpr int VK_PAUSE = 0x13;
inline constexpr int VK_CAPITAL = 0x14;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21; // Page Up
inline constexpr int VK_NEXT = 0x22;  // Page Down
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_SNAPSHOT = 0x2C;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_HELP = 0x2F;
inline constexpr int VK_LWIN = 0x5B;
inline constexpr int VK_APPS = 0x5D; // the context menu key
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_DECIMAL = 0x6E;
inline constexpr int VK_DIVIDE = 0x6F;
inline constexpr int VK_F1 = 0x70; // F2..F24 follow
inline constexpr int VK_F10 = 0x79;
inline constexpr int VK_F12 = 0x7B;
inline constexpr int VK_NUMLOCK = 0x90;
inline constexpr int VK_SCROLL = 0x91;
inline constexpr int VK_OEM_1 = 0xBA;      // ;:
inline constexpr int VK_OEM_PLUS = 0xBB;   // =+
inline constexpr int VK_OEM_COMMA = 0xBC;  // ,<
inline constexpr int VK_OEM_MINUS = 0xBD;  // -_
inline constexpr int VK_OEM_PERIOD = 0xBE; // .>
inline constexpr int VK_OEM_2 = 0xBF;      // /?
inline constexpr int VK_OEM_3 = 0xC0;      // `~
inline constexpr int VK_OEM_4 = 0xDB;      // [{
inline constexpr int VK_OEM_5 = 0xDC;      // \|
inline constexpr int VK_OEM_6 = 0xDD;      // ]}
inline constexpr int VK_OEM_7 = 0xDE;      // '"
inline constexpr int VK_PACKET = 0xE7;     // a typed character without a key of its own

// Whether a key is down: the high bit of the result (negative) when it is. Answers from the
// input being delivered, else from the keyboard and mouse state now.
SHORT GetKeyState(int virtualKey);

// Answers to WM_GETDLGCODE: which keys a window wants for itself instead of navigation.
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
inline constexpr LRESULT DLGC_HASSETSEL = 0x0008;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;

// Answers to WM_NCHITTEST.
inline constexpr LRESULT HTERROR = -2;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTHSCROLL = 6;
inline constexpr LRESULT HTVSCROLL = 7;

// --- cursors -------------------------------------------------------------------------------
struct CursorHandle;
using HCURSOR = CursorHandle*;

inline constexpr int IDC_ARROW = 32512;
inline constexpr int IDC_IBEAM = 32513;
inline constexpr int IDC_WAIT = 32514;
inline constexpr int IDC_CROSS = 32515;
inline constexpr int IDC_UPARROW = 32516;
inline constexpr int IDC_SIZENWSE = 32642;
inline constexpr int IDC_SIZENESW = 32643;
inline constexpr int IDC_SIZEWE = 32644;
inline constexpr int IDC_SIZENS = 32645;
inline constexpr int IDC_SIZEALL = 32646;
inline constexpr int IDC_NO = 32648;
inline constexpr int IDC_HAND = 32649;
inline constexpr int IDC_APPSTARTING = 32650;
inline constexpr int IDC_HELP = 32651;
// Ours: an arrow pointing up and to the right, for a text control's selection margin.
inline constexpr int IDC_REVERSEARROW = 32760;

// One of the cursors above (the module is ignored); nullptr with
// ERROR_RESOURCE_NAME_NOT_FOUND for an unknown id. Handles stay valid for the process.
HCURSOR LoadCursor(HINSTANCE instance, int id);
// Shows cursor over the window whose WM_SETCURSOR is being delivered, or else over the window
// under the mouse; nullptr hides it. Returns the cursor set before. DefWindowProc's
// WM_SETCURSOR puts the widget's own cursor back.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor(); // the cursor last set with SetCursor
// Where the mouse was at the last mouse message the bridge delivered (else where it is now).
BOOL GetCursorPos(POINT* point);

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
