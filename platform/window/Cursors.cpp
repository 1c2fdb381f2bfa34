// The platform's standard cursors on Qt's cursor shapes, and the cursor calls.
#include "platform/window/InputBridge.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QWidget>
#include <map>
#include <memory>
#include <utility>

struct CursorHandle {
    // Spelled out: clang before 16 cannot make_unique an aggregate from parentheses.
    explicit CursorHandle(QCursor c) : cursor(std::move(c)) {}
    QCursor cursor;
};

namespace {

// An arrow like the standard one, mirrored so it points up and to the right; text controls
// show it over their selection margin.
QCursor ReverseArrow() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QPolygon arrow({QPoint(1, 1), QPoint(1, 17), QPoint(5, 13), QPoint(8, 20),
                              QPoint(11, 19), QPoint(8, 12), QPoint(13, 12)});
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(Qt::black);
        painter.drawPolygon(arrow);
    }
    const QImage mirrored = image.mirrored(true, false);
    return QCursor(QPixmap::fromImage(mirrored), 30, 1);
}

std::unique_ptr<CursorHandle> MakeCursor(int id) {
    auto shape = [](Qt::CursorShape s) { return std::make_unique<CursorHandle>(QCursor(s)); };
    switch (id) {
    case IDC_ARROW:
        return shape(Qt::ArrowCursor);
    case IDC_IBEAM:
        return shape(Qt::IBeamCursor);
    case IDC_WAIT:
        return shape(Qt::WaitCursor);
    case IDC_CROSS:
        return shape(Qt::CrossCursor);
    case IDC_UPARROW:
        return shape(Qt::UpArrowCursor);
    case IDC_SIZENWSE:
        return shape(Qt::SizeFDiagCursor);
    case IDC_SIZENESW:
        return shape(Qt::SizeBDiagCursor);
    case IDC_SIZEWE:
        return shape(Qt::SizeHorCursor);
    case IDC_SIZENS:
        return shape(Qt::SizeVerCursor);
    case IDC_SIZEALL:
        return shape(Qt::SizeAllCursor);
    case IDC_NO:
        return shape(Qt::ForbiddenCursor);
    case IDC_HAND:
        return shape(Qt::PointingHandCursor);
    case IDC_APPSTARTING:
        return shape(Qt::BusyCursor);
    case IDC_HELP:
        return shape(Qt::WhatsThisCursor);
    case IDC_REVERSEARROW:
        return std::make_unique<CursorHandle>(ReverseArrow());
    default:
        return nullptr;
    }
}

std::map<int, std::unique_ptr<CursorHandle>>& Cursors() {
    static std::map<int, std::unique_ptr<CursorHandle>> cursors;
    return cursors;
}

bool IsCursor(HCURSOR cursor) {
    for (const auto& [id, handle] : Cursors())
        if (handle.get() == cursor)
            return true;
    return false;
}

HCURSOR& Current() {
    static HCURSOR current = LoadCursor(nullptr, IDC_ARROW);
    return current;
}

} // namespace

HCURSOR LoadCursor(HINSTANCE /*instance*/, int id) {
    auto& cursors = Cursors();
    auto it = cursors.find(id);
    if (it == cursors.end()) {
        std::unique_ptr<CursorHandle> made = MakeCursor(id);
        if (!made) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        it = cursors.emplace(id, std::move(made)).first;
    }
    return it->second.get();
}

HCURSOR SetCursor(HCURSOR cursor) {
    if (cursor && !IsCursor(cursor)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const HCURSOR previous = Current();
    Current() = cursor;
    HWND target = windowing::CursorTargetWindow();
    if (!target) {
        POINT at{};
        GetCursorPos(&at);
        target = WindowFromWidget(QApplication::widgetAt(QPoint(at.x, at.y)));
    }
    if (target)
        windowing::ShowCursorOn(target, cursor ? &cursor->cursor : nullptr);
    return previous;
}

HCURSOR GetCursor() {
    return Current();
}

BOOL GetCursorPos(POINT* point) {
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const QPoint at = windowing::LastMousePosition().value_or(QCursor::pos());
    *point = POINT{at.x(), at.y()};
    return TRUE;
}
