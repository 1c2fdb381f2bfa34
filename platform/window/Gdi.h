#pragma once
// Device contexts and painting: a device context is a handle over a QPainter (on a widget
// during WM_PAINT, on a printer or a PDF writer while printing) with its resolution, so
// that code written against the platform's drawing calls draws through Qt.

#include "platform/window/Window.h"

class QPainter;
class QPaintDevice;

struct DeviceContext;
using HDC = DeviceContext*;

// A context over painter (which must outlive it), measuring as painter's device does.
// painter may be null: a context that measures at the screen's resolution and draws nothing.
HDC CreateDeviceContext(QPainter* painter);
BOOL DeleteDC(HDC hdc);
QPainter* PainterOf(HDC hdc);
QPaintDevice* DeviceOf(HDC hdc);

inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int PHYSICALWIDTH = 110;
inline constexpr int PHYSICALHEIGHT = 111;
inline constexpr int PHYSICALOFFSETX = 112;
inline constexpr int PHYSICALOFFSETY = 113;
int GetDeviceCaps(HDC hdc, int index);

inline constexpr int MM_TEXT = 1;
inline constexpr int MM_TWIPS = 6;
// Returns the previous mapping mode, 0 on failure. Only the mode is kept: drawing stays in
// device pixels, as callers that set MM_TEXT expect.
int SetMapMode(HDC hdc, int mode);
int GetMapMode(HDC hdc);

// --- painting a window --------------------------------------------------------------------
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

// Inside WM_PAINT delivered from the window's paint event: a context over the widget's
// painter, and the update rectangle. Outside one (a WM_PAINT sent by hand): a context that
// draws nothing, with an empty rectangle. Either way EndPaint releases it.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

// The bounding rectangle of what is waiting to be painted; FALSE when nothing is.
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// Paints what is waiting now instead of from the event loop.
BOOL UpdateWindow(HWND hwnd);
