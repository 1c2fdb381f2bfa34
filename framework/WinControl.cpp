// Windowed controls: TWinControl, its window's creation and destruction, children, tab order
// and focus, and the plain container window class.
#include "framework/Controls.h"
#include "framework/Exceptions.h"
#include "framework/Menus.h"
#include "framework/WidgetBridge.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <unordered_map>

using namespace widgetbridge;

namespace {

std::unordered_map<HWND, TWinControl*>& ControlsByHandle() {
    static std::unordered_map<HWND, TWinControl*> map;
    return map;
}

LRESULT ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        SetWindowWidget(hwnd, new QWidget);
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

} // namespace

void RegisterFrameworkWindowClasses() {
    static const bool once = [] {
        WNDCLASS wc;
        wc.lpszClassName = kContainerWindowClass;
        wc.lpfnWndProc = ContainerProc;
        RegisterClass(wc);
        return true;
    }();
    (void)once;
}

// --- TWinControl -----------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    Destroying(); // the window goes for good: its text need not be kept
    // Children that are not owned by this control only lose their parent.
    while (!FControls.empty())
        FControls.back()->SetParent(nullptr);
    // Leave the parent while this is still a windowed control (its lists hold it as one).
    if (FParent)
        FParent->RemoveControl(this);
    DestroyHandle();
}

std::string TWinControl::Text() const {
    return FHandle ? FromWide(GetWindowText(FHandle)) : FText;
}

void TWinControl::SetText(const std::string& Value) {
    if (Value == Text())
        return;
    FText = Value;
    if (FHandle)
        SetWindowText(FHandle, ToWide(Value));
    TextChanged();
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
    auto& map = ControlsByHandle();
    auto it = map.find(hwnd);
    return it == map.end() ? nullptr : it->second;
}

QWidget* TWinControl::Widget() const {
    return FHandle ? GetWindowWidget(FHandle) : nullptr;
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle)
        return;
    if (FParent)
        FParent->HandleNeeded();
    if (!FHandle)
        CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params = TCreateParams{};
    Params.Caption = ToWide(FText);
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FVisible)
        Params.Style |= WS_VISIBLE;
    if (!FEnabled)
        Params.Style |= WS_DISABLED;
    if (FTabStop)
        Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->FHandle : nullptr;
    Params.WinClassName = kContainerWindowClass;
}

void TWinControl::CreateSubClass(TCreateParams& Params, const std::string& ClassName) {
    Params.WinClassName = ClassName;
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
    FHandle = CreateWindowEx(Params.ExStyle, Params.WinClassName, Params.Caption, Params.Style,
                             Params.X, Params.Y, Params.Width, Params.Height, Params.WndParent, 0,
                             nullptr, Params.Param);
}

void TWinControl::CreateWnd() {
    RegisterFrameworkWindowClasses();
    TCreateParams params;
    CreateParams(params);
    if (params.WndParent == nullptr && (params.Style & WS_CHILD))
        throw EInvalidOperation(Format("Control '%s' has no parent window", Name()));
    CreateWindowHandle(params);
    if (!FHandle)
        throw EOSError(Format("Cannot create a window of class %s for %s", params.WinClassName,
                              Name().empty() ? ClassName() : Name()));
    ControlsByHandle()[FHandle] = this;
    // Our handling comes first; what we do not handle goes to the class's procedure.
    FDefWndProc = SetWindowProc(FHandle, [this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        TMessage message{msg, w, l, 0};
        WndProc(message);
        return message.Result;
    });
    ApplyToWidget();
}

void TWinControl::CreateHandle() {
    CreateWnd();
    for (TControl* child : FControls) {
        if (auto* win = dynamic_cast<TWinControl*>(child))
            win->HandleNeeded();
        else if (auto* graphic = dynamic_cast<TGraphicControl*>(child))
            graphic->CreateWidget(ClientWidget());
    }
    AlignControls();
    UpdateTabChain();
}

void TWinControl::DestroyWnd() {
    if (!FHandle)
        return;
    // The window holds the text while it exists; keep it for the next window, if there will
    // be one (a control that goes for good would copy a whole document only to drop it).
    if (!ComponentState().Contains(csDestroying))
        FText = FromWide(GetWindowText(FHandle));
    // Destroyed through our procedure, so that the control sees its WM_DESTROY as it would
    // when its parent goes first; WM_NCDESTROY then forgets the handle.
    DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
    if (!FHandle)
        return;
    for (TControl* child : FControls) {
        if (auto* win = dynamic_cast<TWinControl*>(child))
            win->DestroyHandle();
        else if (auto* graphic = dynamic_cast<TGraphicControl*>(child))
            graphic->DestroyWidget();
    }
    DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!FHandle)
        return;
    const bool hadFocus = Focused();
    DestroyHandle();
    HandleNeeded();
    if (FParent)
        FParent->UpdateTabChain();
    if (hadFocus)
        SetFocus();
}

void TWinControl::ApplyToWidget() {
    TControl::ApplyToWidget();
    if (QWidget* w = Widget()) {
        w->setFocusPolicy(FTabStop ? Qt::StrongFocus : Qt::ClickFocus);
        w->setVisible(FVisible);
    }
}

void TWinControl::ApplyBounds() {
    if (FHandle)
        MoveWindow(FHandle, FLeft, FTop, FWidth, FHeight, TRUE);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int oldW = ClientWidth(), oldH = ClientHeight();
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (ClientWidth() != oldW || ClientHeight() != oldH)
        AlignControls();
}

void TWinControl::AlignControls() {
    if (ComponentState().Contains(csLoading))
        return;
    const int w = ClientWidth(), h = ClientHeight();
    for (TControl* child : FControls)
        child->AnchorTo(w, h);
}

void TWinControl::ScaleBy(int M, int D) {
    if (M == D || D == 0)
        return;
    TControl::ScaleBy(M, D);
    for (TControl* child : FControls)
        child->ScaleBy(M, D);
}

void TWinControl::InsertControl(TControl* AControl) {
    FControls.push_back(AControl);
    AControl->FParent = this;
    if (auto* win = dynamic_cast<TWinControl*>(AControl))
        FTabList.push_back(win);
    AControl->RememberAnchorOrigin();
    if (AControl->FParentColor)
        AControl->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (AControl->FParentFont)
        AControl->Perform(CM_PARENTFONTCHANGED, 0, 0);
    AControl->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
    if (FHandle) {
        if (auto* win = dynamic_cast<TWinControl*>(AControl))
            win->HandleNeeded();
        else if (auto* graphic = dynamic_cast<TGraphicControl*>(AControl))
            graphic->CreateWidget(ClientWidget());
        UpdateTabChain();
    }
}

void TWinControl::RemoveControl(TControl* AControl) {
    std::erase_if(FTabList, [&](TWinControl* w) { return static_cast<TControl*>(w) == AControl; });
    if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
        win->DestroyHandle();
    } else if (auto* graphic = dynamic_cast<TGraphicControl*>(AControl)) {
        graphic->DestroyWidget();
    }
    FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
    AControl->FParent = nullptr;
}

int TWinControl::TabOrder() const {
    if (!FParent || ComponentState().Contains(csLoading))
        return FTabOrder;
    const auto& list = FParent->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
    FTabOrder = Value;
    if (ComponentState().Contains(csLoading) || !FParent)
        return;
    auto& list = FParent->FTabList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    const int index = std::clamp(Value < 0 ? static_cast<int>(list.size()) : Value, 0,
                                 static_cast<int>(list.size()));
    list.insert(list.begin() + index, this);
    FParent->UpdateTabChain();
}

void TWinControl::SetTabStop(bool Value) {
    FTabStop = Value;
    if (QWidget* w = Widget())
        w->setFocusPolicy(Value ? Qt::StrongFocus : Qt::ClickFocus);
}

void TWinControl::Loaded() {
    TControl::Loaded();
    // Children read their TabOrder in any order; sort them once all are known.
    std::stable_sort(FTabList.begin(), FTabList.end(), [](TWinControl* a, TWinControl* b) {
        auto key = [](TWinControl* c) {
            return c->FTabOrder < 0 ? std::numeric_limits<int>::max() : c->FTabOrder;
        };
        return key(a) < key(b);
    });
    UpdateTabChain();
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
    for (TWinControl* child : FTabList) {
        List.push_back(child);
        child->GetTabOrderList(List);
    }
}

void TWinControl::UpdateTabChain() {
    // Qt's chain is per window: order the whole window's focusable widgets by our tab order.
    TWinControl* root = this;
    while (root->FParent)
        root = root->FParent;
    std::vector<TWinControl*> order;
    root->GetTabOrderList(order);
    QWidget* previous = nullptr;
    for (TWinControl* c : order) {
        QWidget* w = c->Widget();
        if (!w)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

bool TWinControl::CanFocus() const {
    for (const TWinControl* c = this; c; c = c->FParent)
        if (!c->FVisible || !c->FEnabled)
            return false;
    return true;
}

bool TWinControl::Focused() const {
    QWidget* w = Widget();
    if (!w)
        return false;
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == w || w->isAncestorOf(focus));
}

void TWinControl::SetFocus() {
    if (!CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ::SetFocus(Handle());
}

void TWinControl::NotifyChildren(UINT Msg) {
    for (TControl* child : std::vector<TControl*>(FControls))
        child->Perform(Msg, 0, 0);
}

void TWinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        // A child window's notification goes back to the child's own control.
        if (Message.LParam) {
            if (TWinControl* child = FindControl(reinterpret_cast<HWND>(Message.LParam))) {
                Message.Result = child->Perform(CN_COMMAND, Message.WParam, Message.LParam);
                return;
            }
        }
        break;
    case WM_NOTIFY:
        if (const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam)) {
            if (TWinControl* child = FindControl(header->hwndFrom)) {
                Message.Result = child->Perform(CN_NOTIFY, Message.WParam, Message.LParam);
                return;
            }
        }
        break;
    case WM_SIZE:
        AlignControls();
        break;
    case WM_CONTEXTMENU:
        // The control's own menu; without one the window's class (an edit's menu) or the
        // parent (through DefWindowProc) has its say.
        if (TPopupMenu* menu = GetPopupMenu()) {
            QPoint at(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
            if (Message.LParam == -1) { // from the keyboard: at the control
                QWidget* w = Widget();
                at = w ? w->mapToGlobal(QPoint(0, 0)) : QPoint();
            }
            menu->SetPopupComponent(this);
            menu->Popup(at.x(), at.y());
            Message.Result = 1;
            return;
        }
        break;
    case WM_NCDESTROY:
        // The window's last message: forget the handle.
        if (FHandle) {
            DefaultHandler(Message);
            ControlsByHandle().erase(FHandle);
            FHandle = nullptr;
            FDefWndProc = nullptr;
            return;
        }
        break;
    case CM_COLORCHANGED:
        TControl::WndProc(Message);
        NotifyChildren(CM_PARENTCOLORCHANGED);
        return;
    case CM_FONTCHANGED:
        TControl::WndProc(Message);
        NotifyChildren(CM_PARENTFONTCHANGED);
        return;
    case CM_SHOWHINTCHANGED:
    case CM_PARENTSHOWHINTCHANGED:
        TControl::WndProc(Message);
        NotifyChildren(CM_PARENTSHOWHINTCHANGED);
        return;
    case CM_VISIBLECHANGED:
        if (FHandle)
            ShowWindow(FHandle, FVisible ? SW_SHOW : SW_HIDE);
        return;
    case CM_ENABLEDCHANGED:
        if (FHandle)
            EnableWindow(FHandle, FEnabled ? TRUE : FALSE);
        return;
    default:
        break;
    }
    TControl::WndProc(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
    if (FHandle)
        Message.Result =
            CallWindowProc(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
}
