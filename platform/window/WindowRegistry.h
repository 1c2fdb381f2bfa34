#pragma once
// Internal to the window layer: the table of live windows and of window classes.

#include "platform/window/Window.h"

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace windowing {

struct WindowRecord {
    HWND handle = nullptr;
    std::string className;
    WNDPROC proc;
    HWND parent = nullptr;
    std::vector<HWND> children;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    std::u16string text;
    QRect bounds;
    bool destroying = false;
    QPointer<QWidget> widget;
    QPointer<QObject> bridge; // the input bridge on widget
    QRect pendingUpdate;      // invalidated and not painted yet (bounding rectangle)
};

// All windows of the process. Lookups and changes run on the UI thread; only the set of live
// handles is also read from other threads (IsWindow, PostMessage), hence its own lock.
class WindowTable {
public:
    static WindowTable& Instance();

    HWND Add(std::unique_ptr<WindowRecord> record);
    void Remove(HWND hwnd);
    WindowRecord* Find(HWND hwnd);
    bool IsLive(HWND hwnd) const;
    std::size_t LiveCount() const;
    HWND FindByWidget(const QWidget* widget) const;

    std::map<std::string, WNDCLASS> classes;

private:
    mutable std::mutex liveLock;
    std::unordered_map<HWND, std::unique_ptr<WindowRecord>> windows;
    std::uintptr_t nextHandle = 0x100;
};

// The record of a live window, or null with ERROR_INVALID_WINDOW_HANDLE as the last error.
inline WindowRecord* RecordOrError(HWND hwnd) {
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    if (!record)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return record;
}

} // namespace windowing
