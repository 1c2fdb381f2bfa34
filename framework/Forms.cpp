#include "framework/Forms.h"

#include "framework/Application.h"
#include "framework/Menus.h"
#include "framework/WidgetBridge.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWidget>

using namespace widgetbridge;

namespace {

TScreen theScreen;

// The top-level widget of a form: the menu bar on top, the client area below it.
class FormFrame : public QWidget {
public:
    explicit FormFrame(HWND hwnd) : FHwnd(hwnd) {
        menuBar = new QMenuBar(this);
        menuBar->setNativeMenuBar(false);
        menuBar->hide();
        client = new QWidget(this);
    }
    int MenuHeight() const { return menuBar->isHidden() ? 0 : menuBar->sizeHint().height(); }
    void Relayout() {
        const int mh = MenuHeight();
        menuBar->setGeometry(0, 0, width(), mh);
        client->setGeometry(0, mh, width(), std::max(0, height() - mh));
    }
    QMenuBar* menuBar;
    QWidget* client;

protected:
    void resizeEvent(QResizeEvent*) override { Relayout(); }
    void closeEvent(QCloseEvent* event) override {
        // The form decides (OnCloseQuery, OnClose); Qt must not close the window itself.
        event->ignore();
        HWND hwnd = FHwnd;
        RunGuarded([hwnd] {
            if (IsWindow(hwnd))
                SendMessage(hwnd, WM_CLOSE, 0, 0);
        });
    }

private:
    HWND FHwnd;
};

FormFrame* FrameOf(const QWidget* client) {
    return client ? dynamic_cast<FormFrame*>(client->parentWidget()) : nullptr;
}

LRESULT FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        auto* frame = new FormFrame(hwnd);
        frame->setWindowTitle(cs->lpszName ? QString::fromUtf16(cs->lpszName) : QString());
        SetWindowWidget(hwnd, frame->client);
        frame->client->show();
        return 0;
    }
    case WM_SETTEXT:
        if (FormFrame* frame = FrameOf(GetWindowWidget(hwnd))) {
            const auto* text = reinterpret_cast<const WCHAR*>(lParam);
            frame->setWindowTitle(text ? QString::fromUtf16(text) : QString());
        }
        break;
    case WM_NCDESTROY:
        if (FormFrame* frame = FrameOf(GetWindowWidget(hwnd))) {
            frame->hide();
            frame->deleteLater();
        }
        break;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

} // namespace

TScreen* Screen = &theScreen;

int TScreen::PixelsPerInch() const {
    if (FPixelsPerInch > 0)
        return FPixelsPerInch;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

HCURSOR TScreen::Cursors(TCursor Index) const {
    static constexpr std::pair<TCursor, int> kCursors[] = {
        {crArrow, IDC_ARROW},       {crIBeam, IDC_IBEAM},          {crCross, IDC_CROSS},
        {crUpArrow, IDC_UPARROW},   {crSizeNESW, IDC_SIZENESW},    {crSizeNS, IDC_SIZENS},
        {crSizeNWSE, IDC_SIZENWSE}, {crSizeWE, IDC_SIZEWE},        {crSizeAll, IDC_SIZEALL},
        {crHourGlass, IDC_WAIT},    {crSQLWait, IDC_WAIT},         {crNo, IDC_NO},
        {crNoDrop, IDC_NO},         {crAppStart, IDC_APPSTARTING}, {crHelp, IDC_HELP},
        {crHandPoint, IDC_HAND}};
    for (const auto& [cursor, id] : kCursors) {
        if (cursor == Index) {
            return LoadCursor(nullptr, id);
        }
    }
    return LoadCursor(nullptr, IDC_ARROW);
}

int TScreen::Width() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

int TScreen::Height() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

void RegisterFormWindowClass() {
    static const bool once = [] {
        WNDCLASS wc;
        wc.lpszClassName = kFormWindowClass;
        wc.lpfnWndProc = FormProc;
        RegisterClass(wc);
        return true;
    }();
    (void)once;
}

// --- TForm -----------------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    RegisterFormWindowClass();
    FVisible = false;
    FColor = clBtnFace;
    FParentColor = false;
    FParentFont = false;
    FWidth = 320;
    FHeight = 240;
    if (!ShowCreatedFormHook)
        ShowCreatedFormHook = [](TComponent* form) {
            if (auto* f = dynamic_cast<TForm*>(form))
                f->Show();
        };
}

TForm::~TForm() {
    Destroying();
    *FAlive = false;
    if (OnDestroy)
        RunGuarded([this] { OnDestroy(this); });
    if (FMenu)
        FMenu->OnChange = nullptr;
    // The components go while the form is still whole (the base destructors would be too late).
    DestroyComponents();
    DestroyHandle();
    if (FOleFrame) {
        FOleFrame->FormDestroyed();
        FOleFrame->Release();
    }
}

IOleInPlaceFrame* TForm::OleFormFrame() {
    if (!FOleFrame) {
        FOleFrame = new TOleFormFrame(this);
        FOleFrame->AddRef();
    }
    FOleFrame->AddRef();
    return FOleFrame;
}

QWidget* TForm::Widget() const {
    return TWinControl::Widget();
}

QWidget* TForm::Frame() const {
    return FrameOf(Widget());
}

int TForm::NonClientHeight() const {
    int menu = 0;
    if (auto* frame = FrameOf(Widget()))
        menu = frame->MenuHeight();
    else if (FMenu && FMenu->Items()->Count() > 0)
        menu = kMenuBarHeight;
    return kCaptionHeight + 2 * kFrameBorder + menu;
}

int TForm::ClientWidth() const {
    if (QWidget* frame = Frame())
        return frame->width();
    return std::max(0, FWidth - 2 * kFrameBorder);
}

int TForm::ClientHeight() const {
    if (auto* frame = FrameOf(Widget()))
        return std::max(0, frame->height() - frame->MenuHeight());
    return std::max(0, FHeight - NonClientHeight());
}

void TForm::SetClientWidth(int Value) {
    SetWidth(Value + 2 * kFrameBorder);
}

void TForm::SetClientHeight(int Value) {
    SetHeight(Value + NonClientHeight());
}

void TForm::SetMenu(TMainMenu* Value) {
    if (FMenu) {
        FMenu->OnChange = nullptr;
        FMenu->RemoveFreeNotification(this);
    }
    FMenu = Value;
    if (FMenu) {
        FMenu->FreeNotification(this);
        FMenu->OnChange = [this](TObject*) { UpdateMenuBar(); };
    }
    UpdateMenuBar();
}

void TForm::UpdateMenuBar() {
    auto* frame = FrameOf(Widget());
    if (!frame)
        return;
    HWND hwnd = FHandle;
    if (FMenu && FMenu->Items()->Count() > 0) {
        FMenu->BuildMenuBar(frame->menuBar, [hwnd](WORD command) {
            SendMessage(hwnd, WM_COMMAND, MAKELONG(command, 0), 0);
        });
        frame->menuBar->show();
    } else {
        frame->menuBar->clear();
        frame->menuBar->hide();
    }
    frame->Relayout();
}

void TForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMenu) {
        FMenu = nullptr;
        UpdateMenuBar();
    }
}

void TForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    // The frame is placed by the form itself (outer size, position on screen).
    Params.Style = FEnabled ? 0 : WS_DISABLED;
    Params.X = Params.Y = Params.Width = Params.Height = 0;
    Params.WndParent = nullptr;
    Params.WinClassName = kFormWindowClass;
}

void TForm::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateMenuBar();
}

void TForm::ApplyToWidget() {
    TWinControl::ApplyToWidget();
    if (QWidget* client = Widget())
        client->show();
    if (QWidget* frame = Frame()) {
        frame->setWindowTitle(ToQString(Text()));
        frame->setVisible(FVisible);
    }
}

void TForm::ApplyBounds() {
    QWidget* frame = Frame();
    if (!frame)
        return;
    frame->resize(std::max(0, FWidth - 2 * kFrameBorder),
                  std::max(0, FHeight - kCaptionHeight - 2 * kFrameBorder));
    // Where a shown window is, is the user's business from then on.
    if (FPosition == poDesigned && !FShownOnce)
        frame->move(FLeft, FTop);
}

void TForm::ScaleBy(int M, int D) {
    if (M == D || D == 0)
        return;
    auto scale = [&](int v) { return static_cast<int>(static_cast<long long>(v) * M / D); };
    // The client area scales; the title bar and borders keep the platform's size.
    const int clientWidth = scale(ClientWidth());
    const int clientHeight = scale(ClientHeight());
    FWidth = clientWidth + 2 * kFrameBorder;
    FHeight = clientHeight + NonClientHeight();
    FUpdatingFromParent = true;
    FFont->SetHeight(scale(FFont->Height()));
    FUpdatingFromParent = false;
    for (int i = 0; i < ControlCount(); ++i)
        Controls(i)->ScaleBy(M, D);
    ApplyBounds();
}

void TForm::Loaded() {
    TWinControl::Loaded();
    const int screenPpi = Screen->PixelsPerInch();
    if (FScaled && FPixelsPerInch > 0 && screenPpi != FPixelsPerInch) {
        ScaleBy(screenPpi, FPixelsPerInch);
        FPixelsPerInch = screenPpi;
    }
}

void TForm::ReadFormData(const std::string& Json) {
    ReadComponentData(this, Json, &FBindings);
    DoCreate();
}

void TForm::DoCreate() {
    if (OnCreate)
        RunGuarded([this] { OnCreate(this); });
}

void TForm::PlaceOnScreen() {
    QWidget* frame = Frame();
    if (!frame)
        return;
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
    case poMainFormCenter:
    case poOwnerFormCenter: {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen)
            break;
        const QRect area = screen->availableGeometry();
        FLeft = area.x() + (area.width() - FWidth) / 2;
        FTop = area.y() + (area.height() - FHeight) / 2;
        frame->move(FLeft, FTop);
        break;
    }
    case poDesigned:
        frame->move(FLeft, FTop);
        break;
    default:
        break; // the window manager places it
    }
}

void TForm::Show() {
    SetVisible(true);
    if (QWidget* frame = Frame()) {
        frame->raise();
        frame->activateWindow();
    }
}

void TForm::SelectFirst() {
    std::vector<TWinControl*> order;
    GetTabOrderList(order);
    for (TWinControl* c : order) {
        if (c->TabStop() && c->CanFocus()) {
            c->SetFocus();
            return;
        }
    }
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::DoClose(TCloseAction& Action) {
    if (OnClose)
        OnClose(this, Action);
}

void TForm::Close() {
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application && Application->MainForm() == this) {
        // Closing the main form ends the program; the application frees the forms.
        Hide();
        Application->Terminate();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        if (QWidget* frame = Frame())
            frame->showMinimized();
    } else {
        Release();
    }
}

void TForm::Release() {
    Hide();
    std::weak_ptr<bool> alive = FAlive;
    QTimer::singleShot(0, [alive, this] {
        if (alive.lock())
            delete this;
    });
}

void TForm::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case WM_COMMAND:
        if (Message.LParam == 0 && FMenu && FMenu->DispatchCommand(LOWORD(Message.WParam)))
            return;
        break;
    case WM_SIZE:
        if (QWidget* frame = Frame()) {
            FWidth = frame->width() + 2 * kFrameBorder;
            FHeight = frame->height() + kCaptionHeight + 2 * kFrameBorder;
        }
        break;
    case CM_VISIBLECHANGED:
        if (FVisible) {
            HandleNeeded();
            if (!FShownOnce)
                PlaceOnScreen();
            FShownOnce = true;
            Frame()->show();
            if (OnShow)
                OnShow(this);
            SelectFirst();
        } else if (QWidget* frame = Frame()) {
            frame->hide();
            if (OnHide)
                OnHide(this);
        }
        return;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}
