#include "platform/richedit/RichEditWidget.h"

#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditControl.h"

#include <QApplication>
#include <QDropEvent>
#include <QScrollBar>

RichEditWidget::RichEditWidget(HWND hwnd) : hwnd_(hwnd), scrollBar_(new QScrollBar(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    scrollBar_->setOrientation(Qt::Vertical);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->hide();
    // The bar's own movement is withheld: the window scrolls itself and then sets the bar.
    QObject::connect(scrollBar_, &QAbstractSlider::actionTriggered, this, [this](int action) {
        WPARAM code = SB_ENDSCROLL;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            code = SB_LINEDOWN;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            code = SB_LINEUP;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = SB_PAGEDOWN;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = SB_PAGEUP;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = SB_TOP;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = SB_BOTTOM;
            break;
        case QAbstractSlider::SliderMove:
            code = SB_THUMBTRACK;
            break;
        default:
            return;
        }
        trackPosition_ = scrollBar_->sliderPosition();
        scrollBar_->setSliderPosition(scrollBar_->value());
        const HWND hwnd = hwnd_;
        RunGuarded([&] {
            SendMessage(hwnd, WM_VSCROLL,
                        MAKELONG(WORD(code), WORD(std::min(trackPosition_, 0xFFFF))), 0);
        });
    });
    repaint_.setSingleShot(true);
    QObject::connect(&repaint_, &QTimer::timeout, this, [this] {
        lastRepaint_.start();
        InvalidateRect(hwnd_, nullptr, FALSE);
    });
    background_.setInterval(0);
    QObject::connect(&background_, &QTimer::timeout, this, [this] {
        bool more = false;
        RunGuarded([&] { more = tick_ && tick_(); });
        if (!more) {
            background_.stop();
        }
    });
    caret_.setInterval(QApplication::cursorFlashTime() > 0 ? QApplication::cursorFlashTime() / 2
                                                           : 500);
    QObject::connect(&caret_, &QTimer::timeout, this, [this] {
        if (toggle_) {
            RunGuarded(toggle_);
        }
    });
}

bool RichEditWidget::SetScrollBarShown(bool shown) {
    if (scrollBar_->isVisibleTo(this) == shown) {
        return false;
    }
    scrollBar_->setVisible(shown);
    PlaceScrollBar();
    return true;
}

int RichEditWidget::TextWidth() const {
    return width() - (scrollBar_->isVisibleTo(this) ? scrollBar_->sizeHint().width() : 0);
}

void RichEditWidget::StartBackgroundWork(std::function<bool()> tick) {
    // Work under way goes on (and may be what asks for more): never replace a running tick.
    if (!background_.isActive()) {
        tick_ = std::move(tick);
        background_.start();
    }
}

void RichEditWidget::RequestRepaint() {
    constexpr qint64 FrameInterval = 16; // milliseconds
    if (repaint_.isActive()) {
        return; // one is coming
    }
    const qint64 since = lastRepaint_.isValid() ? lastRepaint_.elapsed() : FrameInterval;
    if (since >= FrameInterval) {
        lastRepaint_.start();
        InvalidateRect(hwnd_, nullptr, FALSE);
    } else {
        repaint_.start(int(FrameInterval - since));
    }
}

void RichEditWidget::StartCaretBlink(std::function<void()> toggle) {
    toggle_ = std::move(toggle);
    caret_.start();
}

void RichEditWidget::StopCaretBlink() {
    caret_.stop();
}

void RichEditWidget::resizeEvent(QResizeEvent* event) {
    PlaceScrollBar();
    QWidget::resizeEvent(event);
}

void RichEditWidget::dragEnterEvent(QDragEnterEvent* event) {
    Drop(event, false);
}

void RichEditWidget::dragMoveEvent(QDragMoveEvent* event) {
    Drop(event, false);
}

void RichEditWidget::dropEvent(QDropEvent* event) {
    Drop(event, true);
}

void RichEditWidget::Drop(QDropEvent* event, bool drop) {
    RichEditControl* control = RichEditControlOf(hwnd_);
    if (control && control->DropEvent(event, drop)) {
        event->accept();
    } else {
        event->ignore();
    }
}

void RichEditWidget::PlaceScrollBar() {
    const int w = scrollBar_->sizeHint().width();
    scrollBar_->setGeometry(width() - w, 0, w, height());
}

void RichEditWidget::Detach() {
    background_.stop();
    repaint_.stop();
    caret_.stop();
    tick_ = nullptr;
    toggle_ = nullptr;
}
