#include "platform/window/WindowRegistry.h"

namespace windowing {

WindowTable& WindowTable::Instance() {
    static WindowTable table;
    return table;
}

HWND WindowTable::Add(std::unique_ptr<WindowRecord> record) {
    std::lock_guard guard(liveLock);
    // Handles grow by 4 and are never reused, like the platform's, so a stale handle stays dead.
    HWND hwnd = reinterpret_cast<HWND>(nextHandle);
    nextHandle += 4;
    record->handle = hwnd;
    windows.emplace(hwnd, std::move(record));
    return hwnd;
}

void WindowTable::Remove(HWND hwnd) {
    std::unique_ptr<WindowRecord> doomed;
    {
        std::lock_guard guard(liveLock);
        auto it = windows.find(hwnd);
        if (it == windows.end())
            return;
        doomed = std::move(it->second);
        windows.erase(it);
    }
}

WindowRecord* WindowTable::Find(HWND hwnd) {
    std::lock_guard guard(liveLock);
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second.get();
}

bool WindowTable::IsLive(HWND hwnd) const {
    std::lock_guard guard(liveLock);
    return windows.count(hwnd) != 0;
}

std::size_t WindowTable::LiveCount() const {
    std::lock_guard guard(liveLock);
    return windows.size();
}

HWND WindowTable::FindByWidget(const QWidget* widget) const {
    if (!widget)
        return nullptr;
    std::lock_guard guard(liveLock);
    for (const auto& [hwnd, record] : windows)
        if (record->widget == widget)
            return hwnd;
    return nullptr;
}

} // namespace windowing
