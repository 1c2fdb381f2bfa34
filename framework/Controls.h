#pragma once
// Controls: components that show on screen. A control keeps every property in a field and
// pushes it to its Qt widget whenever the widget exists, so properties can be set before the
// window is created and survive when it is re-created.
//
// TControl is the base of all controls; TGraphicControl draws itself inside its parent's
// window (labels, bevels); TWinControl has a window of its own, created from a window class
// by name through platform/window, and is what takes the focus and holds other controls.
//
// Creating a window is split into overridable steps, as descendants (the rich text control)
// replace some of them:
//   CreateParams        fills in class name, styles, bounds and caption;
//   CreateWindowHandle  creates the window from those parameters (sets FHandle);
//   CreateWnd           CreateParams + CreateWindowHandle, then subclassing and pushing the
//                       held properties to the new window;
//   DestroyWnd          saves what lives only in the window (text) and destroys it;
//   RecreateWnd         DestroyWnd followed by a new handle, when a style has to change.

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "platform/window/Window.h"

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class TWinControl;
class TPopupMenu;

// Framework notices sent to a control through Perform.
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;
inline constexpr UINT CM_COLORCHANGED = CM_BASE + 4;
inline constexpr UINT CM_FONTCHANGED = CM_BASE + 5;
inline constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 11;
inline constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 12;
inline constexpr UINT CM_VISIBLECHANGED = CM_BASE + 16;
// The text of a control changed as a whole (a line list ended its update).
inline constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 60;
// Notifications a parent window receives from a child window are passed back to the child
// control as CN_BASE + the message (WM_COMMAND -> CN_COMMAND), so each control handles its own.
inline constexpr UINT CN_BASE = 0xBC00;
inline constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;

// Command notification of a push button.
inline constexpr WORD BN_CLICKED = 0;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

enum class TAnchorKind { akLeft, akTop, akRight, akBottom };
using enum TAnchorKind;
using TAnchors = TSet<TAnchorKind>;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;

// Reading order and alignment for right-to-left languages.
enum class TBiDiMode {
    bdLeftToRight,
    bdRightToLeft,
    bdRightToLeftNoAlign,
    bdRightToLeftReadingOnly
};
using enum TBiDiMode;

// The border of a form; controls use bsNone and bsSingle only.
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using enum TFormBorderStyle;
using TBorderStyle = TFormBorderStyle;

struct TCreateParams {
    std::u16string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    // The window class the window is created from (registered with platform/window).
    std::string WinClassName;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    std::string ClassName() const override { return "TControl"; }

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    // In form data a control is listed inside its parent.
    void SetParentComponent(TComponent* Value) override;
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    // The inner size that children are placed in.
    virtual int ClientWidth() const { return FWidth; }
    virtual int ClientHeight() const { return FHeight; }

    // The edges whose distance to the parent's edges stays fixed when the parent resizes.
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value);

    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);

    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool Value);

    TBiDiMode BiDiMode() const { return FBiDiMode; }
    // Stores the mode and tells the control (CM_BIDIMODECHANGED).
    void SetBiDiMode(TBiDiMode Value);
    // Whether left and right swap: right to left, on a system whose locale reads that way.
    bool UseRightToLeftAlignment() const;

    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);
    // The menu a context request shows: PopupMenu unless the control has a better one.
    virtual TPopupMenu* GetPopupMenu() { return FPopupMenu; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);

    // Caption and Text are the same value (the window text).
    virtual std::string Text() const { return FText; }
    virtual void SetText(const std::string& Value);
    std::string Caption() const { return Text(); }
    void SetCaption(const std::string& Value) { SetText(Value); }

    // The widget that shows this control, or null while it has none.
    virtual QWidget* Widget() const = 0;

    // Paints the control now, without handling any other event meanwhile (progress shown
    // during a long operation that must not let other messages in).
    void Repaint();

    // Sends a message straight to this control's message handling (no window needed).
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    virtual void WndProc(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    // Multiplies bounds and font by M / D (screen resolution against design resolution).
    virtual void ScaleBy(int M, int D);

    virtual void Click();
    TNotifyEvent OnClick;

    // Places the control from the bounds it had when its anchors were last fixed, for the
    // given client size of its parent.
    void AnchorTo(int ParentClientWidth, int ParentClientHeight);

protected:
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Pushes every held property to a widget that was just created.
    virtual void ApplyToWidget();
    virtual void ApplyBounds();
    virtual void ApplyColors();
    virtual void ApplyFont();
    void ApplyHint();
    // The colour a widget's background is filled with (ParentColor resolved).
    TColor EffectiveColor() const { return FColor; }
    bool EffectiveShowHint() const;
    // Called when the text changed.
    virtual void TextChanged() {}
    // The widget's palette role for the background and text (QPalette::Window or Base).
    virtual bool PaintsBaseColor() const { return false; }
    // Remembers the current bounds and the parent's client size as the anchor origin.
    void RememberAnchorOrigin();

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAnchors FAnchors{akLeft, akTop};
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clWindow;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TPopupMenu* FPopupMenu = nullptr;
    TCursor FCursor = crDefault;
    TBiDiMode FBiDiMode = bdLeftToRight;
    std::string FText;

private:
    void FontChangedByUser(TObject*);
    struct AnchorOrigin {
        int left = 0, top = 0, width = 0, height = 0;
        int parentWidth = 0, parentHeight = 0;
        bool valid = false;
    } FOrigin;
    bool FAnchoring = false;
    friend class TWinControl;

protected:
    // Set while the font changes on behalf of the parent or scaling (ParentFont stays on).
    bool FUpdatingFromParent = false;
};

// A control drawn inside its parent's window: it has a plain widget of its own that exists
// while the parent's window does, but no window handle and no focus.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    std::string ClassName() const override { return "TGraphicControl"; }
    QWidget* Widget() const override;
    void Invalidate();

    // Called by the widget to paint the control.
    virtual void Paint(class QPainter& Painter) = 0;

protected:
    friend class TWinControl;
    void CreateWidget(QWidget* ParentWidget);
    void DestroyWidget();
    QPointer<QWidget> FWidget;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    std::string ClassName() const override { return "TWinControl"; }

    // The window; creates it (and its parent's) when it does not exist yet.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    QWidget* Widget() const override;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(static_cast<size_t>(Index)); }

    // Position among the parent's windowed controls in the Tab key's order.
    int TabOrder() const;
    void SetTabOrder(int Value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value);
    // The focusable controls inside this one, in tab order, depth first.
    void GetTabOrderList(std::vector<TWinControl*>& List) const;
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void ScaleBy(int M, int D) override;
    // While the window exists it holds the text (the user may have typed).
    std::string Text() const override;
    void SetText(const std::string& Value) override;
    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    // The control whose window is hwnd, or null.
    static TWinControl* FindControl(HWND hwnd);

    // Re-creates the window (after a change of style), keeping the held properties.
    virtual void RecreateWnd();

protected:
    friend class TControl;
    friend class TGraphicControl;
    void Loaded() override;

    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWindowHandle(const TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // CreateWnd, then the windows and widgets of the children.
    virtual void CreateHandle();
    void DestroyHandle();
    // Creates the window from ClassName instead of the control's own class.
    void CreateSubClass(TCreateParams& Params, const std::string& ClassName);
    // Places the anchored children for the current client size.
    void AlignControls();
    // The widget that children's widgets are put in.
    virtual QWidget* ClientWidget() const { return Widget(); }
    void ApplyToWidget() override;
    void ApplyBounds() override;
    // Makes Qt's Tab order follow TabOrder for the whole window.
    void UpdateTabChain();

    HWND FHandle = nullptr;
    WNDPROC FDefWndProc;

private:
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    void NotifyChildren(UINT Msg);
    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;
    int FTabOrder = -1;

protected:
    bool FTabStop = false;
};

// The window class that a plain container window uses (a QWidget).
inline constexpr const char* kContainerWindowClass = "KelvorContainer";
// Registers the framework's window classes once; called before the first window is created.
void RegisterFrameworkWindowClasses();
