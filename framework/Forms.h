#pragma once
// Forms: top-level windows built from form data. A form's Width and Height are its outer
// size (title bar and borders included, with the platform's classic metrics); its controls
// are placed in the client area below the menu bar.

#include "framework/ComObj.h"
#include "framework/Controls.h"
#include "framework/FormReader.h"

#include <functional>
#include <memory>

class QWidget;
class TMainMenu;

enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
using enum TPosition;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// The screen: its resolution, which forms designed at another resolution are scaled to.
class TScreen {
public:
    int PixelsPerInch() const;
    // Tests pretend another resolution; 0 goes back to the real one.
    void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
    int Width() const;
    int Height() const;
    // The platform cursor for a cursor number (the arrow for numbers it has none for).
    HCURSOR Cursors(TCursor Index) const;

private:
    int FPixelsPerInch = 0;
};
extern TScreen* Screen;

// The non-client area counted in a form's outer size: a sizeable border on each side and the
// title bar, and the menu bar's height.
inline constexpr int kFrameBorder = 4;
inline constexpr int kCaptionHeight = 19;
inline constexpr int kMenuBarHeight = 19;
inline constexpr const char* kFormWindowClass = "KelvorForm";

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;
    std::string ClassName() const override { return "TForm"; }

    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);

    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* Value);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value) { FBorderStyle = Value; }
    bool Scaled() const { return FScaled; }
    void SetScaled(bool Value) { FScaled = Value; }
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
    int TextHeight() const { return FTextHeight; }
    void SetTextHeight(int Value) { FTextHeight = Value; }
    bool OldCreateOrder() const { return FOldCreateOrder; }
    void SetOldCreateOrder(bool Value) { FOldCreateOrder = Value; }

    void Show();
    // Runs OnCloseQuery and OnClose; then hides, frees or (main form) ends the application.
    void Close();
    bool CloseQuery();
    // Frees the form once the event that is running now has been handled.
    void Release();

    // The top-level widget (title, frame, menu bar); null while the form has no window.
    QWidget* Frame() const;
    QWidget* Widget() const override;
    void ScaleBy(int M, int D) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // The frame objects embedded in this form's controls activate in, made on first use; the
    // caller gets a reference.
    IOleInPlaceFrame* OleFormFrame();

protected:
    // Reads the form's data (its components, values and bindings), then runs OnCreate. A
    // derived form calls this at the end of its constructor, after filling Bindings().
    void ReadFormData(const std::string& Json);
    TFormBindings& Bindings() { return FBindings; }

    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    void Loaded() override;
    void ApplyBounds() override;
    void ApplyToWidget() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void DoCreate();
    virtual void DoClose(TCloseAction& Action);
    // Puts the focus in the first control of the tab order.
    void SelectFirst();
    void UpdateMenuBar();
    int NonClientHeight() const;

private:
    void PlaceOnScreen();
    TPosition FPosition = poDesigned;
    TMainMenu* FMenu = nullptr;
    TOleFormFrame* FOleFrame = nullptr; // holds one reference
    TFormBorderStyle FBorderStyle = bsSizeable;
    bool FScaled = true;
    int FPixelsPerInch = 96;
    int FTextHeight = 13;
    bool FOldCreateOrder = false;
    bool FShownOnce = false;
    TFormBindings FBindings;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

void RegisterFormWindowClass();
