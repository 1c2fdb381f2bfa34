// Controls: TControl, the graphic controls drawn inside their parent, and the glue between
// a window and its widget (texts, parent notifications). Windowed controls: WinControl.cpp.
#include "framework/Controls.h"

#include "framework/Exceptions.h"
#include "framework/Menus.h"
#include "framework/WidgetBridge.h"
#include "platform/locale/Locale.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <limits>
#include <unordered_map>

// --- widget glue -----------------------------------------------------------------------------

namespace widgetbridge {

std::u16string ToWide(const std::string& ansi) {
    return AnsiToWide(ansi, CP_ACP);
}
std::string FromWide(const std::u16string& text) {
    return WideToAnsi(text, CP_ACP);
}
QString ToQString(const std::string& ansi) {
    const std::u16string wide = ToWide(ansi);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}
std::string FromQString(const QString& text) {
    return FromWide(std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size())));
}

void NotifyParent(HWND hwnd, WORD code) {
    RunGuarded([hwnd, code] {
        HWND parent = GetParent(hwnd);
        if (!parent || !IsWindow(hwnd))
            return;
        const auto id = static_cast<WORD>(GetWindowLongPtr(hwnd, GWLP_ID));
        SendMessage(parent, WM_COMMAND, MAKELONG(id, code), reinterpret_cast<LPARAM>(hwnd));
    });
}

} // namespace widgetbridge

using namespace widgetbridge;

namespace {

// The widget of a graphic control: it asks its control to paint.
class GraphicWidget : public QWidget {
public:
    GraphicWidget(TGraphicControl* control, QWidget* parent) : QWidget(parent), FControl(control) {
        setAttribute(Qt::WA_TransparentForMouseEvents, false);
    }
    void Detach() { FControl = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!FControl)
            return;
        QPainter painter(this);
        RunGuarded([&] { FControl->Paint(painter); });
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        // Only the left button clicks; other releases belong to the parent window, as a
        // windowless control's input does (a right button there opens the parent's menu).
        if (event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        if (FControl)
            RunGuarded([this] { FControl->Click(); });
    }

private:
    TGraphicControl* FControl;
};

} // namespace

// --- TControl --------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
    FFont->OnChange = [this](TObject* sender) { FontChangedByUser(sender); };
}

TControl::~TControl() {
    FFont->OnChange = nullptr;
    if (FParent)
        FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent)
        return;
    if (AParent == this)
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent)
        AParent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* Value) {
    if (auto* parent = dynamic_cast<TWinControl*>(Value))
        SetParent(parent);
}

TComponent* TControl::GetParentComponent() const {
    return FParent;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    const bool changed = ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (!FAnchoring)
        RememberAnchorOrigin();
    if (changed)
        ApplyBounds();
}

void TControl::RememberAnchorOrigin() {
    FOrigin.left = FLeft;
    FOrigin.top = FTop;
    FOrigin.width = FWidth;
    FOrigin.height = FHeight;
    FOrigin.parentWidth = FParent ? FParent->ClientWidth() : 0;
    FOrigin.parentHeight = FParent ? FParent->ClientHeight() : 0;
    FOrigin.valid = FParent != nullptr;
}

void TControl::AnchorTo(int ParentClientWidth, int ParentClientHeight) {
    if (!FOrigin.valid)
        return;
    const int dw = ParentClientWidth - FOrigin.parentWidth;
    const int dh = ParentClientHeight - FOrigin.parentHeight;
    int left = FOrigin.left, width = FOrigin.width, top = FOrigin.top, height = FOrigin.height;
    // Anchored to both sides the control stretches; to the far side only it moves; to
    // neither it keeps its place relative to the middle.
    if (FAnchors.Contains(akRight)) {
        if (FAnchors.Contains(akLeft))
            width += dw;
        else
            left += dw;
    } else if (!FAnchors.Contains(akLeft)) {
        left += dw / 2;
    }
    if (FAnchors.Contains(akBottom)) {
        if (FAnchors.Contains(akTop))
            height += dh;
        else
            top += dh;
    } else if (!FAnchors.Contains(akTop)) {
        top += dh / 2;
    }
    FAnchoring = true;
    try {
        SetBounds(left, top, width, height);
    } catch (...) {
        FAnchoring = false;
        throw;
    }
    FAnchoring = false;
}

void TControl::SetAnchors(TAnchors Value) {
    FAnchors = Value;
    RememberAnchorOrigin();
}

void TControl::SetVisible(bool Value) {
    if (Value == FVisible)
        return;
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, Value, 0);
}

void TControl::SetEnabled(bool Value) {
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor Value) {
    FParentColor = false;
    if (Value == FColor)
        return;
    FColor = Value;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool Value) {
    if (Value == FParentColor)
        return;
    FParentColor = Value;
    if (Value && FParent)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::FontChangedByUser(TObject*) {
    if (!FUpdatingFromParent)
        FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool Value) {
    if (Value == FParentFont)
        return;
    FParentFont = Value;
    if (Value && FParent)
        Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetHint(const std::string& Value) {
    FHint = Value;
    ApplyHint();
}

void TControl::SetShowHint(bool Value) {
    FParentShowHint = false;
    if (Value == FShowHint)
        return;
    FShowHint = Value;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool Value) {
    if (Value == FParentShowHint)
        return;
    FParentShowHint = Value;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

bool TControl::EffectiveShowHint() const {
    if (FParentShowHint && FParent)
        return FParent->EffectiveShowHint();
    return FShowHint;
}

void TControl::SetBiDiMode(TBiDiMode Value) {
    if (Value == FBiDiMode) {
        return;
    }
    FBiDiMode = Value;
    Perform(CM_BIDIMODECHANGED, 0, 0);
}

bool TControl::UseRightToLeftAlignment() const {
    // Arabic, Hebrew, Urdu and Farsi systems read right to left.
    const WORD primary = PRIMARYLANGID(LANGID(GetSystemDefaultLCID() & 0xFFFF));
    const bool middleEast =
        primary == 0x01 || primary == 0x0D || primary == 0x20 || primary == 0x29;
    return middleEast && FBiDiMode == bdRightToLeft;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (FPopupMenu)
        FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (Value)
        Value->FreeNotification(this);
    if (QWidget* w = Widget())
        AttachPopupMenu(w, this);
}

void TControl::SetCursor(TCursor Value) {
    FCursor = Value;
    if (QWidget* w = Widget())
        w->setCursor(CursorToShape(Value));
}

void TControl::SetText(const std::string& Value) {
    if (Value == Text())
        return;
    FText = Value;
    TextChanged();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage message{Msg, WParam, LParam, 0};
    WndProc(message);
    return message.Result;
}

void TControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_FONTCHANGED:
        ApplyFont();
        return;
    case CM_COLORCHANGED:
        ApplyColors();
        return;
    case CM_PARENTCOLORCHANGED:
        if (FParentColor && FParent) {
            FColor = FParent->Color();
            Perform(CM_COLORCHANGED, 0, 0);
        }
        return;
    case CM_PARENTFONTCHANGED:
        if (FParentFont && FParent) {
            FUpdatingFromParent = true;
            try {
                FFont->Assign(FParent->Font());
            } catch (...) {
                FUpdatingFromParent = false;
                throw;
            }
            FUpdatingFromParent = false;
        }
        return;
    case CM_SHOWHINTCHANGED:
    case CM_PARENTSHOWHINTCHANGED:
        ApplyHint();
        return;
    case CM_ENABLEDCHANGED:
        if (QWidget* w = Widget())
            w->setEnabled(FEnabled);
        return;
    case CM_VISIBLECHANGED:
        if (QWidget* w = Widget())
            w->setVisible(FVisible);
        return;
    default:
        DefaultHandler(Message);
    }
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::ScaleBy(int M, int D) {
    if (M == D || D == 0)
        return;
    auto scale = [&](int v) { return static_cast<int>((static_cast<long long>(v) * M) / D); };
    SetBounds(scale(FLeft), scale(FTop), scale(FLeft + FWidth) - scale(FLeft),
              scale(FTop + FHeight) - scale(FTop));
    if (!FParentFont) {
        FUpdatingFromParent = true;
        FFont->SetHeight(scale(FFont->Height()));
        FUpdatingFromParent = false;
    }
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
}

void TControl::Loaded() {
    TComponent::Loaded();
    // A parent's colour or font read after this control's own values still applies.
    if (FParent) {
        if (FParentColor)
            Perform(CM_PARENTCOLORCHANGED, 0, 0);
        if (FParentFont)
            Perform(CM_PARENTFONTCHANGED, 0, 0);
    }
    // The anchor distances are those of the design: the parent's size is final only now
    // (a form's menu, read as a reference, changes its client height).
    RememberAnchorOrigin();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupMenu) {
        FPopupMenu = nullptr;
        if (QWidget* w = Widget())
            AttachPopupMenu(w, this);
    }
}

void TControl::ApplyToWidget() {
    QWidget* w = Widget();
    if (!w)
        return;
    ApplyBounds();
    ApplyColors();
    ApplyFont();
    ApplyHint();
    w->setEnabled(FEnabled);
    w->setCursor(CursorToShape(FCursor));
    AttachPopupMenu(w, this);
}

void TControl::ApplyBounds() {
    if (QWidget* w = Widget())
        w->setGeometry(FLeft, FTop, FWidth, FHeight);
}

void TControl::ApplyColors() {
    QWidget* w = Widget();
    if (!w)
        return;
    QPalette palette = w->palette();
    const QColor color = ColorToQColor(FColor);
    palette.setColor(PaintsBaseColor() ? QPalette::Base : QPalette::Window, color);
    palette.setColor(QPalette::Button, PaintsBaseColor() ? palette.color(QPalette::Button) : color);
    w->setPalette(palette);
    w->setAutoFillBackground(!PaintsBaseColor());
    w->update();
}

void TControl::ApplyFont() {
    QWidget* w = Widget();
    if (!w)
        return;
    w->setFont(FFont->ToQFont());
    QPalette palette = w->palette();
    const QColor text = ColorToQColor(FFont->Color());
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    w->setPalette(palette);
    w->update();
}

void TControl::ApplyHint() {
    if (QWidget* w = Widget())
        w->setToolTip(EffectiveShowHint() ? ToQString(FHint) : QString());
}

// --- TGraphicControl -------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl() {
    if (FParent)
        FParent->RemoveControl(this);
    DestroyWidget();
}

QWidget* TGraphicControl::Widget() const {
    return FWidget.data();
}

void TGraphicControl::CreateWidget(QWidget* ParentWidget) {
    DestroyWidget();
    FWidget = new GraphicWidget(this, ParentWidget);
    ApplyToWidget();
    FWidget->setVisible(FVisible);
}

void TGraphicControl::DestroyWidget() {
    if (auto* w = static_cast<GraphicWidget*>(FWidget.data())) {
        w->Detach();
        w->hide();
        w->deleteLater();
    }
    FWidget = nullptr;
}

void TControl::Repaint() {
    if (QWidget* w = Widget())
        w->repaint();
}

void TGraphicControl::Invalidate() {
    if (FWidget)
        FWidget->update();
}
