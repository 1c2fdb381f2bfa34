#pragma once
// The Qt widget that shows a rich edit window: a client area that the window procedure
// paints (WM_PAINT through the window layer's bridge) and a vertical scroll bar whose actions
// come back to the window as WM_VSCROLL, as the platform's scroll bars do. Everything else
// (layout, painting, input) is the control's, reached through messages.

#include "platform/window/Window.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

class QScrollBar;

class RichEditWidget : public QWidget {
public:
    explicit RichEditWidget(HWND hwnd);

    QScrollBar* ScrollBar() const { return scrollBar_; }
    // Where the thumb was dragged to, in full (WM_VSCROLL's 16 bits cannot carry it).
    int TrackPosition() const { return trackPosition_; }
    // Shows or hides the scroll bar; returns whether that changed anything.
    bool SetScrollBarShown(bool shown);
    // The client area left of the scroll bar.
    int TextWidth() const;

    // Calls tick on the event loop until it returns false, one call per turn of the loop, so
    // that long work (re-wrapping a large document) never holds up painting and input. While
    // a tick is running, further requests leave it in place.
    void StartBackgroundWork(std::function<bool()> tick);
    // Asks for a repaint of the whole view, at most one per frame interval: text that arrives
    // in many small pieces (a read event each) is then painted a frame at a time, not piece
    // by piece.
    void RequestRepaint();

    void StartCaretBlink(std::function<void()> toggle);
    void StopCaretBlink();
    // Stops all work for the control, which is going away (the widget may outlive it a little).
    void Detach();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Drops of text and RTF go to the control, which asks its object callback about them.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void PlaceScrollBar();
    void Drop(QDropEvent* event, bool drop);

    HWND hwnd_;
    QScrollBar* scrollBar_;
    int trackPosition_ = 0;
    QTimer background_;
    QTimer repaint_;
    QElapsedTimer lastRepaint_;
    QTimer caret_;
    std::function<bool()> tick_;
    std::function<void()> toggle_;
};
