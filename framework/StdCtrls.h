#pragma once
// Standard controls: the single-line edit, the multi-line edit base, the push button and the
// label. Edits and buttons are windows of the classes "EDIT" and "BUTTON" (Qt widgets behind
// platform/window); they report changes and clicks to their parent window as WM_COMMAND
// notifications, which come back to the control as CN_COMMAND.

#include "framework/Controls.h"

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
using enum TScrollStyle;

inline constexpr const char* kEditWindowClass = "EDIT";
inline constexpr const char* kButtonWindowClass = "BUTTON";

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    std::string ClassName() const override { return "TCustomEdit"; }

    int MaxLength() const { return FMaxLength; }
    virtual void SetMaxLength(int Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    // Whether the user changed the text since it was last set (kept across re-creation).
    bool Modified() const;
    void SetModified(bool Value);
    virtual void Clear() { SetText(""); }

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& Message) override;
    bool PaintsBaseColor() const override { return true; }
    virtual void Change();

    int FMaxLength = 0;
    bool FReadOnly = false;
    TBorderStyle FBorderStyle = bsSingle;
    bool FModified = false;
    bool FCreating = false;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* AOwner);
    std::string ClassName() const override { return "TEdit"; }
};

// The multi-line edit base. The window's style carries the scroll bars, word wrap, alignment,
// read-only state and border; Tab and Enter are asked of the control (WM_GETDLGCODE), so
// WantTabs and WantReturns hold for every window it gets.
class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    std::string ClassName() const override { return "TCustomMemo"; }

    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool Value) { FWantTabs = Value; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool Value) { FWantReturns = Value; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;

    TScrollStyle FScrollBars = ssNone;
    bool FWordWrap = true;
    TAlignment FAlignment = taLeftJustify;
    bool FWantTabs = false;
    bool FWantReturns = true;
};

class TMemo : public TCustomMemo {
public:
    using TCustomMemo::TCustomMemo;
    std::string ClassName() const override { return "TMemo"; }
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    std::string ClassName() const override { return "TButton"; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
};

// A caption drawn in its parent's window. Unless Transparent, the whole rectangle is filled
// with Color first, so a label without a caption shows as a solid strip.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);
    std::string ClassName() const override { return "TLabel"; }

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);

    void Paint(QPainter& Painter) override;

protected:
    void Loaded() override;
    void TextChanged() override;
    void ApplyColors() override;
    void ApplyFont() override;
    // Fits the bounds to the caption when AutoSize is on.
    void AdjustBounds();

private:
    bool FAutoSize = true;
    bool FTransparent = false;
    TAlignment FAlignment = taLeftJustify;
    bool FWordWrap = false;
};

void RegisterStandardWindowClasses();
