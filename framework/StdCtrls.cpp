#include "framework/StdCtrls.h"

#include "framework/WidgetBridge.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

using namespace widgetbridge;

namespace {

// The edit control's messages, styles and notifications (the platform's numbers).
constexpr UINT kEmGetModify = 0x00B8;
constexpr UINT kEmSetModify = 0x00B9;
constexpr UINT kEmLimitText = 0x00C5;
constexpr UINT kEmSetReadOnly = 0x00CF;
constexpr DWORD kEsCenter = 0x0001;
constexpr DWORD kEsRight = 0x0002;
constexpr DWORD kEsMultiLine = 0x0004;
constexpr DWORD kEsAutoHScroll = 0x0080;
constexpr DWORD kEsReadOnly = 0x0800;
constexpr WORD kEnChange = 0x0300;
constexpr int kDefaultEditLimit = 32767;

// A multi-line edit that asks its window which of Tab and Enter it may keep.
class MemoWidget : public QPlainTextEdit {
public:
    explicit MemoWidget(HWND hwnd) : FHwnd(hwnd) {}
    int limit = kDefaultEditLimit;
    bool trimming = false;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            !(DialogCode(VK_RETURN) & DLGC_WANTALLKEYS)) {
            event->ignore();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
    // Qt offers Tab here before the key reaches keyPressEvent: keep it when the window wants
    // tabs, else move on to the next control.
    bool focusNextPrevChild(bool next) override {
        if (next && (DialogCode(VK_TAB) & DLGC_WANTTAB) && !isReadOnly())
            return false;
        return QWidget::focusNextPrevChild(next);
    }

private:
    LRESULT DialogCode(WPARAM key) {
        LRESULT code = 0;
        RunGuarded([&] { code = SendMessage(FHwnd, WM_GETDLGCODE, key, 0); });
        return code;
    }
    HWND FHwnd;
};

void SetWidgetText(QWidget* w, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(w)) {
        line->setText(text);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
        memo->setPlainText(text);
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(text);
    }
}

QString WidgetText(QWidget* w) {
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        return memo->toPlainText();
    return {};
}

// Text messages are answered from the widget, which holds what the user typed.
bool HandleTextMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    QWidget* w = GetWindowWidget(hwnd);
    if (!w || (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w)))
        return false;
    switch (msg) {
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<const WCHAR*>(lParam);
        const std::u16string value = text ? std::u16string(text) : std::u16string();
        DefWindowProc(hwnd, msg, wParam, lParam);
        SetWidgetText(w, QString::fromUtf16(value.data(), static_cast<qsizetype>(value.size())));
        result = TRUE;
        return true;
    }
    case WM_GETTEXTLENGTH:
        result = WidgetText(w).size();
        return true;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<WCHAR*>(lParam);
        if (!buffer || wParam == 0) {
            result = 0;
            return true;
        }
        const QString text = WidgetText(w);
        const auto n = std::min<size_t>(static_cast<size_t>(text.size()), wParam - 1);
        std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), n, buffer);
        buffer[n] = u'\0';
        result = static_cast<LRESULT>(n);
        return true;
    }
    default:
        return false;
    }
}

void TrimToLimit(MemoWidget* memo) {
    const int excess = static_cast<int>(memo->toPlainText().size()) - memo->limit;
    if (memo->limit <= 0 || excess <= 0 || memo->trimming)
        return;
    // Drop what was just typed or pasted beyond the limit, where it was put.
    memo->trimming = true;
    QTextCursor cursor = memo->textCursor();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, excess);
    cursor.removeSelectedText();
    memo->trimming = false;
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto style = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
    LRESULT result = 0;
    if (HandleTextMessage(hwnd, msg, wParam, lParam, result))
        return result;
    QWidget* w = GetWindowWidget(hwnd);
    auto* line = qobject_cast<QLineEdit*>(w);
    auto* memo = dynamic_cast<MemoWidget*>(w);
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        const QString text = cs->lpszName ? QString::fromUtf16(cs->lpszName) : QString();
        const bool border = (style & WS_BORDER) || (exStyle & WS_EX_CLIENTEDGE);
        const Qt::Alignment align = (style & kEsRight)    ? Qt::AlignRight
                                    : (style & kEsCenter) ? Qt::AlignHCenter
                                                          : Qt::AlignLeft;
        if (style & kEsMultiLine) {
            auto* m = new MemoWidget(hwnd);
            m->setPlainText(text);
            m->setReadOnly(style & kEsReadOnly);
            m->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
            const bool wrap = !(style & kEsAutoHScroll) && !(style & WS_HSCROLL);
            m->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
            m->setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                               : Qt::ScrollBarAlwaysOff);
            m->setHorizontalScrollBarPolicy((style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                 : Qt::ScrollBarAlwaysOff);
            QTextOption option = m->document()->defaultTextOption();
            option.setAlignment(align);
            m->document()->setDefaultTextOption(option);
            QObject::connect(m, &QPlainTextEdit::textChanged, m, [m, hwnd] {
                if (m->trimming)
                    return;
                TrimToLimit(m);
                NotifyParent(hwnd, kEnChange);
            });
            SetWindowWidget(hwnd, m);
        } else {
            auto* l = new QLineEdit(text);
            l->setReadOnly(style & kEsReadOnly);
            l->setFrame(border);
            l->setAlignment(align);
            l->setMaxLength(kDefaultEditLimit);
            QObject::connect(l, &QLineEdit::textChanged, l,
                             [hwnd] { NotifyParent(hwnd, kEnChange); });
            SetWindowWidget(hwnd, l);
        }
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_WANTARROWS | ((style & kEsMultiLine) ? DLGC_WANTALLKEYS : 0);
    case WM_CONTEXTMENU:
        // The edit's own menu (undo, cut, copy, paste...), as the platform's edit shows it.
        if (line || memo) {
            QMenu* menu =
                line ? line->createStandardContextMenu() : memo->createStandardContextMenu();
            QPoint at(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (lParam == -1) // from the keyboard: at the caret
                at = w->mapToGlobal(w->inputMethodQuery(Qt::ImCursorRectangle).toRect().center());
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(at);
            return 0;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case kEmSetReadOnly:
        if (line)
            line->setReadOnly(wParam != 0);
        if (memo)
            memo->setReadOnly(wParam != 0);
        SetWindowLongPtr(hwnd, GWL_STYLE, wParam ? (style | kEsReadOnly) : (style & ~kEsReadOnly));
        return TRUE;
    case kEmLimitText: {
        // 0 means as much as the control can hold.
        const int limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(wParam);
        if (line)
            line->setMaxLength(limit);
        if (memo)
            memo->limit = limit;
        return 0;
    }
    case kEmGetModify:
        if (line)
            return line->isModified();
        if (memo)
            return memo->document()->isModified();
        return 0;
    case kEmSetModify:
        if (line)
            line->setModified(wParam != 0);
        if (memo)
            memo->document()->setModified(wParam != 0);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        auto* button = new QPushButton(cs->lpszName ? QString::fromUtf16(cs->lpszName) : QString());
        QObject::connect(button, &QPushButton::clicked, button,
                         [hwnd] { NotifyParent(hwnd, BN_CLICKED); });
        SetWindowWidget(hwnd, button);
        return 0;
    }
    case WM_SETTEXT: {
        DefWindowProc(hwnd, msg, wParam, lParam);
        if (auto* button = qobject_cast<QPushButton*>(GetWindowWidget(hwnd))) {
            const auto* text = reinterpret_cast<const WCHAR*>(lParam);
            button->setText(text ? QString::fromUtf16(text) : QString());
        }
        return TRUE;
    }
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

} // namespace

void RegisterStandardWindowClasses() {
    static const bool once = [] {
        WNDCLASS edit;
        edit.lpszClassName = kEditWindowClass;
        edit.lpfnWndProc = EditProc;
        RegisterClass(edit);
        WNDCLASS button;
        button.lpszClassName = kButtonWindowClass;
        button.lpfnWndProc = ButtonProc;
        RegisterClass(button);
        return true;
    }();
    (void)once;
}

// --- TCustomEdit -----------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    RegisterStandardWindowClasses();
    FWidth = 121;
    FHeight = 21;
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, kEditWindowClass);
    Params.Style |= kEsAutoHScroll;
    if (FReadOnly)
        Params.Style |= kEsReadOnly;
    if (FBorderStyle == bsSingle)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
    FCreating = true;
    try {
        TWinControl::CreateWnd();
    } catch (...) {
        FCreating = false;
        throw;
    }
    FCreating = false;
    SendMessage(FHandle, kEmLimitText, static_cast<WPARAM>(FMaxLength), 0);
    SendMessage(FHandle, kEmSetModify, FModified ? 1 : 0, 0);
}

void TCustomEdit::DestroyWnd() {
    if (FHandle)
        FModified = SendMessage(FHandle, kEmGetModify, 0, 0) != 0;
    TWinControl::DestroyWnd();
}

void TCustomEdit::SetMaxLength(int Value) {
    FMaxLength = Value;
    if (FHandle)
        SendMessage(FHandle, kEmLimitText, static_cast<WPARAM>(std::max(Value, 0)), 0);
}

void TCustomEdit::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (FHandle)
        SendMessage(FHandle, kEmSetReadOnly, Value ? 1 : 0, 0);
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
    if (Value == FBorderStyle)
        return;
    FBorderStyle = Value;
    RecreateWnd();
}

bool TCustomEdit::Modified() const {
    return FHandle ? SendMessage(FHandle, kEmGetModify, 0, 0) != 0 : FModified;
}

void TCustomEdit::SetModified(bool Value) {
    FModified = Value;
    if (FHandle)
        SendMessage(FHandle, kEmSetModify, Value ? 1 : 0, 0);
}

void TCustomEdit::Change() {
    if (OnChange)
        OnChange(this);
}

void TCustomEdit::WndProc(TMessage& Message) {
    if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == kEnChange) {
        if (!FCreating)
            Change();
        return;
    }
    if (Message.Msg == CM_TEXTCHANGED && !FCreating)
        Change();
    TWinControl::WndProc(Message);
}

TEdit::TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

// --- TCustomMemo -----------------------------------------------------------------------------

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner) {
    FWidth = 185;
    FHeight = 89;
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= kEsMultiLine;
    if (FWordWrap)
        Params.Style &= ~kEsAutoHScroll;
    if (FAlignment == taRightJustify)
        Params.Style |= kEsRight;
    else if (FAlignment == taCenter)
        Params.Style |= kEsCenter;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth)
        Params.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth)
        Params.Style |= WS_HSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars)
        return;
    FScrollBars = Value;
    RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value) {
    if (Value == FWordWrap)
        return;
    FWordWrap = Value;
    RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment Value) {
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    RecreateWnd();
}

void TCustomMemo::WndProc(TMessage& Message) {
    if (Message.Msg == WM_GETDLGCODE) {
        TCustomEdit::WndProc(Message);
        if (FWantTabs)
            Message.Result |= DLGC_WANTTAB;
        else
            Message.Result &= ~DLGC_WANTTAB;
        if (!FWantReturns)
            Message.Result &= ~DLGC_WANTALLKEYS;
        return;
    }
    TCustomEdit::WndProc(Message);
}

// --- TButton ---------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    RegisterStandardWindowClasses();
    FWidth = 75;
    FHeight = 25;
    FTabStop = true;
    FColor = clBtnFace;
}

void TButton::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, kButtonWindowClass);
}

void TButton::WndProc(TMessage& Message) {
    if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == BN_CLICKED) {
        Click();
        return;
    }
    TWinControl::WndProc(Message);
}

// --- TLabel ----------------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 65;
    FHeight = 17;
}

void TLabel::SetAutoSize(bool Value) {
    if (Value == FAutoSize)
        return;
    FAutoSize = Value;
    AdjustBounds();
}

void TLabel::SetTransparent(bool Value) {
    FTransparent = Value;
    Invalidate();
}

void TLabel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Invalidate();
}

void TLabel::SetWordWrap(bool Value) {
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TLabel::TextChanged() {
    AdjustBounds();
    Invalidate();
}

void TLabel::ApplyColors() {
    Invalidate();
}

void TLabel::ApplyFont() {
    if (QWidget* w = Widget())
        w->setFont(FFont->ToQFont());
    AdjustBounds();
    Invalidate();
}

void TLabel::AdjustBounds() {
    if (!FAutoSize || ComponentState().Contains(csReading))
        return;
    const QFontMetrics metrics(FFont->ToQFont());
    // An empty caption still takes the height of a line.
    QString text = ToQString(FText).remove(QLatin1Char('&'));
    if (text.isEmpty())
        text = QStringLiteral(" ");
    const QRect r = FWordWrap
                        ? metrics.boundingRect(QRect(0, 0, FWidth, 100000), Qt::TextWordWrap, text)
                        : metrics.boundingRect(QRect(0, 0, 100000, 100000), 0, text);
    int left = FLeft;
    const int width = FWordWrap ? FWidth : r.width();
    if (FAlignment == taRightJustify)
        left += FWidth - width;
    else if (FAlignment == taCenter)
        left += (FWidth - width) / 2;
    SetBounds(left, FTop, width, metrics.height() * std::max(1, r.height() / metrics.height()));
}

void TLabel::Paint(QPainter& Painter) {
    const QRect area(0, 0, FWidth, FHeight);
    if (!FTransparent)
        Painter.fillRect(area, ColorToQColor(FColor));
    if (FText.empty())
        return;
    Painter.setFont(FFont->ToQFont());
    Painter.setPen(ColorToQColor(FEnabled ? FFont->Color() : clGrayText));
    int flags = Qt::AlignTop | Qt::TextShowMnemonic;
    flags |= FAlignment == taRightJustify ? Qt::AlignRight
             : FAlignment == taCenter     ? Qt::AlignHCenter
                                          : Qt::AlignLeft;
    if (FWordWrap)
        flags |= Qt::TextWordWrap;
    Painter.drawText(area, flags, ToQString(FText));
}
