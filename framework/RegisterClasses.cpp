// The published properties of the framework's own classes.

#include "framework/ClassRegistry.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/Strings.h"

#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

using namespace published;

namespace {

// Value names shared by several classes' tables. Constant arrays, not strings built at start-up:
// the registry may be built while units are still being initialised, before this unit's
// dynamic globals would exist.
constexpr const char* kAnchorNames[] = {"akLeft", "akTop", "akRight", "akBottom"};
constexpr const char* kAlignmentNames[] = {"taLeftJustify", "taRightJustify", "taCenter"};
constexpr const char* kBorderStyleNames[] = {"bsNone",   "bsSingle",     "bsSizeable",
                                             "bsDialog", "bsToolWindow", "bsSizeToolWin"};
constexpr const char* kOpenOptionNames[] = {
    "ofReadOnly",         "ofOverwritePrompt",    "ofHideReadOnly",        "ofNoChangeDir",
    "ofShowHelp",         "ofNoValidate",         "ofAllowMultiSelect",    "ofExtensionDifferent",
    "ofPathMustExist",    "ofFileMustExist",      "ofCreatePrompt",        "ofShareAware",
    "ofNoReadOnlyReturn", "ofNoTestFileCreate",   "ofNoNetworkButton",     "ofNoLongNames",
    "ofOldStyleDialog",   "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing",
    "ofDontAddToRecent",  "ofForceShowHidden"};
constexpr const char* kFontDialogOptionNames[] = {
    "fdAnsiOnly",       "fdTrueTypeOnly", "fdEffects",       "fdFixedPitchOnly",
    "fdForceFontExist", "fdNoFaceSel",    "fdNoOEMFonts",    "fdNoSimulations",
    "fdNoSizeSel",      "fdNoStyleSel",   "fdNoVectorFonts", "fdShowHelp",
    "fdWysiwyg",        "fdLimitSize",    "fdScalableOnly",  "fdApplyButton"};

template <std::size_t N> std::vector<std::string> Names(const char* const (&Table)[N]) {
    return {std::begin(Table), std::end(Table)};
}

constexpr long long Bits(std::uint32_t b) {
    return static_cast<long long>(b);
}

bool ColorStored(TPersistent* o) {
    return !static_cast<TControl*>(o)->ParentColor();
}
bool FontStored(TPersistent* o) {
    return !static_cast<TControl*>(o)->ParentFont();
}
bool ShowHintStored(TPersistent* o) {
    return !static_cast<TControl*>(o)->ParentShowHint();
}

void RegisterBase(TClassRegistry& r) {
    r.Register(PersistentClass<TPersistent>("TPersistent", "", {}));
    r.Register(PersistentClass<TComponent>(
        "TComponent", "TPersistent",
        {Integer<TComponent>("Tag", &TComponent::Tag, &TComponent::SetTag, 0)}));
    r.Register(PersistentClass<TFont>(
        "TFont", "TPersistent",
        {Ident<TFont>("Charset", &TFont::Charset, &TFont::SetCharset, CharsetIdents(), 1),
         Color<TFont>("Color", &TFont::Color, &TFont::SetColor, clWindowText),
         Integer<TFont>("Height", &TFont::Height, &TFont::SetHeight, NoDefault),
         String<TFont>("Name", &TFont::Name, &TFont::SetName),
         Enum<TFont>("Pitch", &TFont::Pitch, &TFont::SetPitch,
                     {"fpDefault", "fpVariable", "fpFixed"}, 0),
         Set<TFont>("Style", &TFont::Style, &TFont::SetStyle,
                    {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, 0)}));
    r.Register(PersistentClass<TStrings>("TStrings", "TPersistent", {}));
}

void RegisterControls(TClassRegistry& r) {
    r.Register(PersistentClass<TControl>(
        "TControl", "TComponent",
        {Integer<TControl>("Left", &TControl::Left, &TControl::SetLeft, NoDefault),
         Integer<TControl>("Top", &TControl::Top, &TControl::SetTop, NoDefault),
         Integer<TControl>("Width", &TControl::Width, &TControl::SetWidth, NoDefault),
         Integer<TControl>("Height", &TControl::Height, &TControl::SetHeight, NoDefault),
         Set<TControl>("Anchors", &TControl::Anchors, &TControl::SetAnchors, Names(kAnchorNames),
                       Bits(TAnchors{akLeft, akTop}.Bits())),
         Color<TControl>("Color", &TControl::Color, &TControl::SetColor).StoredIf(ColorStored),
         Cursor<TControl>("Cursor", &TControl::Cursor, &TControl::SetCursor),
         Boolean<TControl>("Enabled", &TControl::Enabled, &TControl::SetEnabled, 1),
         Object<TControl>("Font", &TControl::Font).StoredIf(FontStored),
         String<TControl>("Hint", &TControl::Hint, &TControl::SetHint),
         Boolean<TControl>("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, 1),
         Boolean<TControl>("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, 1),
         Boolean<TControl>("ParentShowHint", &TControl::ParentShowHint,
                           &TControl::SetParentShowHint, 1),
         Reference<TControl, TPopupMenu>("PopupMenu", &TControl::PopupMenu,
                                         &TControl::SetPopupMenu),
         Boolean<TControl>("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, NoDefault)
             .StoredIf(ShowHintStored),
         Boolean<TControl>("Visible", &TControl::Visible, &TControl::SetVisible, 1)}));
    r.Register(PersistentClass<TWinControl>(
        "TWinControl", "TControl",
        {Integer<TWinControl>("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1),
         Boolean<TWinControl>("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, 0)}));

    r.Register(PersistentClass<TCustomEdit>(
        "TCustomEdit", "TWinControl",
        {Enum<TCustomEdit>("BorderStyle", &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle,
                           Names(kBorderStyleNames), 1),
         Integer<TCustomEdit>("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0),
         Boolean<TCustomEdit>("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, 0),
         Boolean<TCustomEdit>("TabStop", &TCustomEdit::TabStop, &TCustomEdit::SetTabStop, 1),
         Event<TCustomEdit>("OnChange", &TCustomEdit::OnChange),
         Event<TCustomEdit>("OnClick", &TControl::OnClick)}));
    r.Register(ComponentClass<TEdit>("TEdit", "TCustomEdit",
                                     {String<TEdit>("Text", &TEdit::Text, &TEdit::SetText)}));
    r.Register(PersistentClass<TCustomMemo>(
        "TCustomMemo", "TCustomEdit",
        {Enum<TCustomMemo>("Alignment", &TCustomMemo::Alignment, &TCustomMemo::SetAlignment,
                           Names(kAlignmentNames), 0),
         Enum<TCustomMemo>("ScrollBars", &TCustomMemo::ScrollBars, &TCustomMemo::SetScrollBars,
                           {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, 0),
         Boolean<TCustomMemo>("WantReturns", &TCustomMemo::WantReturns,
                              &TCustomMemo::SetWantReturns, 1),
         Boolean<TCustomMemo>("WantTabs", &TCustomMemo::WantTabs, &TCustomMemo::SetWantTabs, 0),
         Boolean<TCustomMemo>("WordWrap", &TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap, 1)}));
    r.Register(ComponentClass<TMemo>("TMemo", "TCustomMemo",
                                     {String<TMemo>("Text", &TMemo::Text, &TMemo::SetText)}));

    r.Register(ComponentClass<TButton>(
        "TButton", "TWinControl",
        {String<TButton>("Caption", &TButton::Caption, &TButton::SetCaption),
         Boolean<TButton>("TabStop", &TButton::TabStop, &TButton::SetTabStop, 1),
         Event<TButton>("OnClick", &TControl::OnClick)}));
    r.Register(ComponentClass<TLabel>(
        "TLabel", "TControl",
        {Enum<TLabel>("Alignment", &TLabel::Alignment, &TLabel::SetAlignment,
                      Names(kAlignmentNames), 0),
         Boolean<TLabel>("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, 1),
         String<TLabel>("Caption", &TLabel::Caption, &TLabel::SetCaption),
         Boolean<TLabel>("Transparent", &TLabel::Transparent, &TLabel::SetTransparent, 0),
         Boolean<TLabel>("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, 0),
         Event<TLabel>("OnClick", &TControl::OnClick)}));
    r.Register(ComponentClass<TBevel>(
        "TBevel", "TControl",
        {Enum<TBevel>("Shape", &TBevel::Shape, &TBevel::SetShape,
                      {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine",
                       "bsSpacer"},
                      0),
         Enum<TBevel>("Style", &TBevel::Style, &TBevel::SetStyle, {"bsLowered", "bsRaised"}, 0)}));
}

void RegisterForms(TClassRegistry& r) {
    r.Register(ComponentClass<TForm>(
        "TForm", "TWinControl",
        {Enum<TForm>("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle,
                     Names(kBorderStyleNames), 2),
         String<TForm>("Caption", &TForm::Caption, &TForm::SetCaption),
         Color<TForm>("Color", &TForm::Color, &TForm::SetColor, clBtnFace).StoredIf(ColorStored),
         Reference<TForm, TMainMenu>("Menu", &TForm::Menu, &TForm::SetMenu),
         Boolean<TForm>("OldCreateOrder", &TForm::OldCreateOrder, &TForm::SetOldCreateOrder,
                        NoDefault),
         Integer<TForm>("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch,
                        NoDefault),
         Enum<TForm>("Position", &TForm::Position, &TForm::SetPosition,
                     {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                      "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"},
                     0),
         Boolean<TForm>("Scaled", &TForm::Scaled, &TForm::SetScaled, 1),
         Integer<TForm>("TextHeight", &TForm::TextHeight, &TForm::SetTextHeight, NoDefault),
         Boolean<TForm>("Visible", &TForm::Visible, &TForm::SetVisible, 0),
         Event<TForm>("OnClick", &TControl::OnClick), Event<TForm>("OnClose", &TForm::OnClose),
         Event<TForm>("OnCloseQuery", &TForm::OnCloseQuery),
         Event<TForm>("OnCreate", &TForm::OnCreate), Event<TForm>("OnDestroy", &TForm::OnDestroy),
         Event<TForm>("OnHide", &TForm::OnHide), Event<TForm>("OnShow", &TForm::OnShow)}));
}

void RegisterMenusAndDialogs(TClassRegistry& r) {
    r.Register(ComponentClass<TMenuItem>(
        "TMenuItem", "TComponent",
        {String<TMenuItem>("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption),
         Boolean<TMenuItem>("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, 0),
         Boolean<TMenuItem>("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, 1),
         Boolean<TMenuItem>("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, 1),
         Event<TMenuItem>("OnClick", &TMenuItem::OnClick)}));
    r.Register(PersistentClass<TMenu>("TMenu", "TComponent", {}));
    r.Register(ComponentClass<TMainMenu>("TMainMenu", "TMenu", {}));
    r.Register(ComponentClass<TPopupMenu>("TPopupMenu", "TMenu",
                                          {Event<TPopupMenu>("OnPopup", &TPopupMenu::OnPopup)}));

    r.Register(
        PersistentClass<TCommonDialog>("TCommonDialog", "TComponent",
                                       {Event<TCommonDialog>("OnClose", &TCommonDialog::OnClose),
                                        Event<TCommonDialog>("OnShow", &TCommonDialog::OnShow)}));
    r.Register(ComponentClass<TOpenDialog>(
        "TOpenDialog", "TCommonDialog",
        {String<TOpenDialog>("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt),
         String<TOpenDialog>("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName),
         String<TOpenDialog>("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter),
         Integer<TOpenDialog>("FilterIndex", &TOpenDialog::FilterIndex,
                              &TOpenDialog::SetFilterIndex, 1),
         String<TOpenDialog>("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir),
         Set<TOpenDialog>("Options", &TOpenDialog::Options, &TOpenDialog::SetOptions,
                          Names(kOpenOptionNames),
                          Bits(TOpenOptions{ofHideReadOnly, ofEnableSizing}.Bits())),
         String<TOpenDialog>("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle)}));
    r.Register(ComponentClass<TSaveDialog>("TSaveDialog", "TOpenDialog", {}));
    r.Register(ComponentClass<TFontDialog>(
        "TFontDialog", "TCommonDialog",
        {Object<TFontDialog>("Font", &TFontDialog::Font),
         Integer<TFontDialog>("MaxFontSize", &TFontDialog::MaxFontSize,
                              &TFontDialog::SetMaxFontSize, 0),
         Integer<TFontDialog>("MinFontSize", &TFontDialog::MinFontSize,
                              &TFontDialog::SetMinFontSize, 0),
         Set<TFontDialog>("Options", &TFontDialog::Options, &TFontDialog::SetOptions,
                          Names(kFontDialogOptionNames),
                          Bits(TFontDialogOptions{fdEffects}.Bits()))}));
}

} // namespace

void RegisterFrameworkClasses(TClassRegistry& Registry) {
    RegisterBase(Registry);
    RegisterControls(Registry);
    RegisterForms(Registry);
    RegisterMenusAndDialogs(Registry);
}
