#pragma once
// Common dialogs: open and save file dialogs and the font dialog, on Qt's dialogs. Execute
// shows the dialog modally and returns whether the user confirmed it. Tests replace the
// dialog by a scripted answer (TCommonDialog::ScriptedAnswer).

#include "framework/Classes.h"
#include "framework/Graphics.h"

#include <functional>
#include <memory>
#include <string>

enum class TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing,
    ofDontAddToRecent,
    ofForceShowHidden
};
using enum TOpenOption;
using TOpenOptions = TSet<TOpenOption>;

enum class TFontDialogOption {
    fdAnsiOnly,
    fdTrueTypeOnly,
    fdEffects,
    fdFixedPitchOnly,
    fdForceFontExist,
    fdNoFaceSel,
    fdNoOEMFonts,
    fdNoSimulations,
    fdNoSizeSel,
    fdNoStyleSel,
    fdNoVectorFonts,
    fdShowHelp,
    fdWysiwyg,
    fdLimitSize,
    fdScalableOnly,
    fdApplyButton
};
using enum TFontDialogOption;
using TFontDialogOptions = TSet<TFontDialogOption>;

class TCommonDialog : public TComponent {
public:
    using TComponent::TComponent;
    std::string ClassName() const override { return "TCommonDialog"; }
    virtual bool Execute() = 0;

    // When set, Execute calls it instead of showing a dialog; it may change the dialog's
    // values (FileName, Font ...) and returns what the user's answer would be.
    static std::function<bool(TCommonDialog&)> ScriptedAnswer;

    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

protected:
    // Runs the scripted answer if there is one; otherwise calls showDialog.
    bool Run(const std::function<bool()>& showDialog);
};

class TOpenDialog : public TCommonDialog {
public:
    using TCommonDialog::TCommonDialog;
    std::string ClassName() const override { return "TOpenDialog"; }
    bool Execute() override;

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value) { FFileName = Value; }
    // Pairs of description and pattern separated by '|': "Text files|*.txt|All|*.*".
    const std::string& Filter() const { return FFilter; }
    void SetFilter(const std::string& Value) { FFilter = Value; }
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int Value) { FFilterIndex = Value; }
    const std::string& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::string& Value) { FDefaultExt = Value; }
    const std::string& InitialDir() const { return FInitialDir; }
    void SetInitialDir(const std::string& Value) { FInitialDir = Value; }
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }
    TOpenOptions Options() const { return FOptions; }
    void SetOptions(TOpenOptions Value) { FOptions = Value; }

    // The Qt name filters for Filter ("description (pattern)"), in order.
    std::vector<std::string> NameFilters() const;

protected:
    bool ExecuteFor(bool save);

private:
    std::string FFileName, FFilter, FDefaultExt, FInitialDir, FTitle;
    int FFilterIndex = 1;
    TOpenOptions FOptions{ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    std::string ClassName() const override { return "TSaveDialog"; }
    bool Execute() override;
};

class TFontDialog : public TCommonDialog {
public:
    explicit TFontDialog(TComponent* AOwner);
    std::string ClassName() const override { return "TFontDialog"; }
    bool Execute() override;

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    int MinFontSize() const { return FMinFontSize; }
    void SetMinFontSize(int Value) { FMinFontSize = Value; }
    int MaxFontSize() const { return FMaxFontSize; }
    void SetMaxFontSize(int Value) { FMaxFontSize = Value; }
    TFontDialogOptions Options() const { return FOptions; }
    void SetOptions(TFontDialogOptions Value) { FOptions = Value; }

private:
    std::unique_ptr<TFont> FFont;
    int FMinFontSize = 0;
    int FMaxFontSize = 0;
    TFontDialogOptions FOptions{fdEffects};
};

// --- message dialogs -----------------------------------------------------------------------

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
using enum TMsgDlgType;
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel };
using enum TMsgDlgBtn;
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
// What a message dialog returns: the button chosen.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// Asks the operator Msg with the given buttons; returns the mr value of the one chosen
// (mrCancel when the dialog is closed some other way and Cancel is offered).
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
// When set, MessageDlg calls it instead of showing a dialog (tests script the answer).
extern std::function<int(const std::string& Msg, TMsgDlgButtons Buttons)> MessageDlgScriptedAnswer;
