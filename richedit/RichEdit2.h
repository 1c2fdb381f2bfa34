#pragma once
// Unit RichEdit2: the rich text control. TCustomRichEdit20 turns the platform's rich edit
// control (window class "RICHEDIT20W", loaded from "RICHED20.DLL") into a component of the
// framework's multi-line edit family; TRichEdit20 publishes its properties.
//
// The control speaks to its window only through messages. Callers hand it 8-bit text in
// the code page of its Language; the window holds UTF-16, and the control converts the
// text-carrying messages on their way (RichEdit2Messages.cpp) unless WideTextMode is set,
// which the wide line list does around its own calls.
//
//   RichEdit2.cpp           construction, properties, window creation and re-creation, the
//                           "RTF" form-data value, selection and caret, printing
//   RichEdit2Messages.cpp   the messages the control intercepts and the notifications it
//                           turns into events
//   RichEdit2Attributes.cpp character and paragraph attributes
//   RichEdit2Strings.cpp    the line lists and streaming through converters
//   RichEdit2URLs.cpp       URL schemes, the extended URL colouring and link notifications
//   RichEdit2Ole.cpp        embedded objects: the container callback and the verb menu

#include "framework/Collections.h"
#include "framework/ComObj.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/Streams.h"
#include "platform/ole/Ole.h"
#include "platform/richedit/RichEdit.h"
#include "richedit/Langs.h"
#include "richedit/WStrList.h"

#include <functional>
#include <memory>
#include <string>

class TCustomRichEdit20;

enum class TAutoURLDetect : BYTE { adNone, adDefault, adExtended };
using enum TAutoURLDetect;
enum class TLangOption { loAutoKeyboard, loAutoFont, loIMECancelComplete, loIMEAlwaysSendNotify };
using enum TLangOption;
using TLangOptions = TSet<TLangOption>;
enum class TInputFormat : BYTE { ifText, ifRTF, ifUnicode };
using enum TInputFormat;
enum class TOutputFormat : BYTE { ofText, ofRTF, ofRTFNoObjs, ofTextized, ofUnicode };
using enum TOutputFormat;
enum class TScriptPosition : BYTE { spNormal, spSubscript, spSuperscript };
using enum TScriptPosition;
// Which format a character attribute object reads and writes.
enum class TAttributeType : BYTE { atSelected, atDefaultText };
using enum TAttributeType;
enum class TNumberingStyle { nsNone, nsBullet };
using enum TNumberingStyle;

using TRichEditResizeEvent = std::function<void(TObject* Sender, const RECT& Rect)>;
using TRichEditProtectChange =
    std::function<void(TObject* Sender, int StartPos, int EndPos, bool& AllowChange)>;
using TRichEditSaveClipboard =
    std::function<void(TObject* Sender, int NumObjects, int NumChars, bool& SaveClipboard)>;
using TURLClickEvent = std::function<void(TObject* Sender, const std::string& URL)>;
using TURLMoveEvent = std::function<void(TObject* Sender, const std::string& URL)>;
using TRichEditProgressEvent = std::function<void(TObject* Sender, int Pos, int Size)>;

// --- character and paragraph attributes (RichEdit2Attributes.cpp) ----------------------------

// The character format of the selection or the control's default format. It stores nothing:
// every read asks the window, every write sends one change that touches only its own field.
// Sizes, offsets, spacing and kerning are whole points here and twips in the window.
class TTextAttributes20 : public TPersistent {
public:
    TTextAttributes20(TCustomRichEdit20* AOwner, TAttributeType AttributeType);
    std::string ClassName() const override { return "TTextAttributes20"; }

    // From another TTextAttributes20 (every property) or a TFont (colour, name, size, pitch
    // and style); anything else is the generic assignment error.
    void Assign(TPersistent* Source) override;

    // A zero-filled format, filled from the window when there is one.
    void GetFormat(CHARFORMAT2W& Format) const;
    // Sends Format to the window (nothing without one); for the selection kind an empty
    // selection formats the word at the caret when the control's WordFormatting is on.
    void SetFormat(CHARFORMAT2W& Format);

    TColor Color() const;
    void SetColor(TColor Value);
    std::string Name() const;
    void SetName(const std::string& Value);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch Value);
    int Size() const;
    void SetSize(int Value);
    WORD Weight() const;
    void SetWeight(WORD Value);
    TColor BackColor() const;
    void SetBackColor(TColor Value);
    TLanguage Language() const;
    void SetLanguage(TLanguage Value);
    TScriptPosition ScriptPosition() const;
    void SetScriptPosition(TScriptPosition Value);
    int Offset() const;
    void SetOffset(int Value);
    int Spacing() const;
    void SetSpacing(int Value);
    int Kerning() const;
    void SetKerning(int Value);
    BYTE UnderlineType() const;
    void SetUnderlineType(BYTE Value);
    BYTE Animation() const;
    void SetAnimation(BYTE Value);

    bool Bold() const;
    void SetBold(bool Value);
    bool Italic() const;
    void SetItalic(bool Value);
    bool StrikeOut() const;
    void SetStrikeOut(bool Value);
    bool Link() const;
    void SetLink(bool Value);
    bool SmallCaps() const;
    void SetSmallCaps(bool Value);
    bool AllCaps() const;
    void SetAllCaps(bool Value);
    bool Hidden() const;
    void SetHidden(bool Value);
    bool Outline() const;
    void SetOutline(bool Value);
    bool Shadow() const;
    void SetShadow(bool Value);
    bool Emboss() const;
    void SetEmboss(bool Value);
    bool Imprint() const;
    void SetImprint(bool Value);

    TAttributeType AttributeType() const { return FType; }

protected:
    // To a TFont: colour, name, style, character set of the language, size and pitch.
    void AssignTo(TPersistent* Dest) override;

private:
    TCustomRichEdit20* FRichEdit;
    TAttributeType FType;
};

// The paragraph format of the selection. Indents and tab positions are whole points here
// and twips in the window.
class TParaAttributes20 : public TPersistent {
public:
    explicit TParaAttributes20(TCustomRichEdit20* AOwner);
    std::string ClassName() const override { return "TParaAttributes20"; }

    // From another TParaAttributes20, property by property; anything else as the base does.
    void Assign(TPersistent* Source) override;

    TAlignment Alignment() const;
    void SetAlignment(TAlignment Value);
    TNumberingStyle Numbering() const;
    void SetNumbering(TNumberingStyle Value);
    int FirstIndent() const;
    void SetFirstIndent(int Value);
    int LeftIndent() const;
    void SetLeftIndent(int Value);
    int RightIndent() const;
    void SetRightIndent(int Value);
    int Tab(BYTE Index) const; // Index 0 ... MAX_TAB_STOPS - 1
    void SetTab(BYTE Index, int Value);
    int TabCount() const;

    // The extended format as the window reports it, and a change sent as it is (no
    // mirroring, no window creation).
    void GetFormat2(PARAFORMAT2& Format) const;
    void SetFormat2(PARAFORMAT2& Format);

private:
    void GetAttributes(PARAFORMAT& Format) const;
    // An indent field: twips in the format, points here.
    int IndentOf(LONG PARAFORMAT::*Member) const;
    void SetIndent(DWORD Mask, LONG PARAFORMAT::*Member, int Value);
    // Creates the window if needed and mirrors left and right for a right-to-left layout.
    void SetAttributes(PARAFORMAT& Format);

    TCustomRichEdit20* FRichEdit;
};

// --- line lists and streaming (RichEdit2Strings.cpp) -----------------------------------------

// Passes a stream's bytes to and from the control; descendants may transform them.
class TConversion : public TObject {
public:
    std::string ClassName() const override { return "TConversion"; }
    // Reads up to BufSize bytes from Stream into Buffer; returns the count read.
    virtual int ReadChunk(TStream& Stream, char* Buffer, int BufSize);
    // Writes BufSize bytes of Buffer to Stream; returns the count written.
    virtual int WriteChunk(TStream& Stream, const char* Buffer, int BufSize);
};

// A converter class: makes a new converter.
using TConversionClass = std::function<std::unique_ptr<TConversion>()>;
TConversionClass ConversionClassOf(); // TConversion itself

// One entry of the list of file formats that LoadFromFile and SaveToFile choose from.
struct TConversionFormat {
    TConversionClass ConversionClass;
    std::string Extension; // lower case, without the dot
    const TConversionFormat* Next;
};
// The first entry: "txt", then "rtf", both with TConversion; "txt" also stands for any
// extension not in the list.
const TConversionFormat* ConversionFormats();

// What the platform control's stream callbacks get as their cookie.
struct TStreamCookie {
    TConversion* Converter;
    TStream* Stream;
    TCustomRichEdit20* RichEdit;
};

// The 8-bit line list that every caller outside the control uses: lines as the window lays
// them out, converted with the control's LanguageCodePage, and the whole document streamed
// as rich text, plain text or UTF-16.
class TRichEditStrings20 : public TMyStrings {
public:
    explicit TRichEditStrings20(TCustomRichEdit20* RichEdit);
    ~TRichEditStrings20() override;
    std::string ClassName() const override { return "TRichEditStrings20"; }

    std::string Get(int Index) const override;
    int Count() const override;
    void Put(int Index, const std::string& S) override;
    void SetTextStr(const std::string& Text) override;
    void AddStrings(TStrings* Strings) override;
    void Clear() override;
    void Delete(int Index) override;
    void Insert(int Index, const std::string& S) override;
    int AppendText(const std::string& S) override;
    void InsertText(int Index, const std::string& S) override;
    void LoadFromFile(const std::string& FileName) override;
    void LoadFromStream(TStream& Stream) override;
    void SaveToFile(const std::string& FileName) override;
    void SaveToStream(TStream& Stream) override;

    // The converter installed by the last successful LoadFromFile or SaveToFile, or null.
    TConversion* Converter() const { return FConverter.get(); }

protected:
    void SetUpdateState(bool Updating) override;

private:
    TCustomRichEdit20* FRichEdit;
    std::unique_ptr<TConversion> FConverter;
};

// The UTF-16 line list that does the work on the window; its whole-document operations go
// to Lines.
class TWideRichEditStrings20 : public TWideStrings {
public:
    explicit TWideRichEditStrings20(TCustomRichEdit20* RichEdit);
    std::string ClassName() const override { return "TWideRichEditStrings20"; }

    std::u16string GetW(int Index) const override;
    int Count() const override;
    void Put(int Index, const std::u16string& S) override;
    void SetTextStr(const std::u16string& Text) override;
    void SetLanguage(TLanguage Value) override;
    TLanguage GetLanguage() const override;
    void AddStrings(TWideStrings* Source) override;
    void Clear() override;
    void Delete(int Index) override;
    void Insert(int Index, const std::u16string& S) override;
    // S at the start of line Index (or after the last line) without a line break.
    void InsertTextW(int Index, const std::u16string& S);
    void LoadFromFile(const std::string& FileName) override;
    void LoadFromStream(TStream& Stream) override;
    void SaveToFile(const std::string& FileName) override;
    void SaveToStream(TStream& Stream) override;

    using TWideStrings::Insert;
    using TWideStrings::Put;
    using TWideStrings::SetTextStr;

protected:
    void SetUpdateState(bool Updating) override;

private:
    // Insert and InsertTextW: text is S with a line break added (AsLine) or S alone.
    void InsertAt(int Index, const std::u16string& S, bool AsLine);

    TCustomRichEdit20* FRichEdit;
};

// --- URL schemes (RichEdit2URLs.cpp) -----------------------------------------------------------

// One URL scheme: its name without the colon ("http"), and the colour, cursor and underline
// of its links. The window text colour stands for the control's URLColor and cursor 0 for
// its URLCursor.
class TURLType : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    std::string ClassName() const override { return "TURLType"; }
    // From another TURLType: all four properties; anything else changes nothing.
    void Assign(TPersistent* Source) override;
    std::string DisplayName() const { return FName; }

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { FName = Value; }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    bool Underline() const { return FUnderline; }
    void SetUnderline(bool Value) { FUnderline = Value; }

private:
    std::string FName;
    TColor FColor = clWindowText;
    TCursor FCursor = crDefault;
    bool FUnderline = true;
};

// The control's URL schemes. Entry 0 gives the format of e-mail addresses; the others are
// schemes, tried in order.
class TURLCollection : public TCollection {
public:
    explicit TURLCollection(TCustomRichEdit20* RichEdit);
    std::string ClassName() const override { return "TURLCollection"; }
    TURLType* Items(int Index) const { return static_cast<TURLType*>(TCollection::Items(Index)); }
    TCustomRichEdit20* RichEdit() const { return FRichEdit; }
    // Updates the entry named Name (compared exactly) or adds one at the end.
    void AddURLType(const std::string& Name, TColor Color, TCursor Cursor, bool Underline);
    // The twelve schemes a new control has: "e-mail" first, then "http", "file", "mailto",
    // "ftp", "https", "gopher", "nntp", "prospero", "telnet", "news" and "wais", each in the
    // control's URL colour and cursor, underlined.
    void AddDefaultTypes();

private:
    TCustomRichEdit20* FRichEdit;
};

// --- embedded objects (RichEdit2Ole.cpp) -------------------------------------------------------

// What the platform rich edit control asks its container: storage for new objects, the
// in-place frame, and how drops, deletions, clipboard data and context menus go.
class TRichEditOleCallback : public TInterfacedImpl<IRichEditOleCallback> {
public:
    explicit TRichEditOleCallback(TCustomRichEdit20* RichEdit) : FRichEdit(RichEdit) {}
    std::string ClassName() const override { return "TRichEditOleCallback"; }

    HRESULT GetNewStorage(IStorage** Storage) override;
    HRESULT GetInPlaceContext(IOleInPlaceFrame** Frame, IOleInPlaceUIWindow** Doc,
                              OLEINPLACEFRAMEINFO* FrameInfo) override;
    HRESULT ShowContainerUI(BOOL Show) override;
    HRESULT QueryInsertObject(CLSID* Clsid, IStorage* Storage, LONG Cp) override;
    HRESULT DeleteObject(IOleObject* Object) override;
    HRESULT QueryAcceptData(IDataObject* Data, CLIPFORMAT* Format, DWORD Reco, BOOL Really,
                            HGLOBAL MetaPict) override;
    HRESULT ContextSensitiveHelp(BOOL EnterMode) override;
    HRESULT GetClipboardData(CHARRANGE* Range, DWORD Reco, IDataObject** Data) override;
    HRESULT GetDragDropEffect(BOOL Drag, DWORD KeyState, DWORD* Effect) override;
    HRESULT GetContextMenu(WORD SelType, IOleObject* Object, CHARRANGE* Range,
                           HMENU* Menu) override;

    // The control is going; whoever still holds the callback gets answers without it.
    void ControlDestroyed() { FRichEdit = nullptr; }

protected:
    HRESULT GetInterface(REFIID riid, void** Obj) override;

private:
    TCustomRichEdit20* FRichEdit; // not owned
};

// --- the control (RichEdit2.cpp, RichEdit2Messages.cpp) ---------------------------------------

class TCustomRichEdit20 : public TCustomMemo {
public:
    explicit TCustomRichEdit20(TComponent* AOwner);
    ~TCustomRichEdit20() override;
    std::string ClassName() const override { return "TCustomRichEdit20"; }

    // --- properties ---------------------------------------------------------------------
    bool HideScrollBars() const { return FHideScrollBars; }
    void SetHideScrollBars(bool Value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool Value);
    bool ShowSelectionBar() const { return FShowSelectionBar; }
    void SetShowSelectionBar(bool Value);
    TAutoURLDetect AutoURLDetect() const { return FAutoURLDetect; }
    void SetAutoURLDetect(TAutoURLDetect Value);
    TLangOptions LangOptions() const { return FLangOptions; }
    void SetLangOptions(TLangOptions Value);
    TLanguage Language() const { return FLanguage; }
    void SetLanguage(TLanguage Value);
    WORD LanguageCodePage() const { return FLanguageCodePage; }
    TMyStrings* Lines() const { return FRichEditStrings.get(); }
    void SetLines(TStrings* Value);
    TWideRichEditStrings20* WideLines() const { return FWideStrings.get(); }
    TTextAttributes20* SelectionAttributes() const { return FSelAttributes.get(); }
    void SetSelectionAttributes(TTextAttributes20* Value) { FSelAttributes->Assign(Value); }
    TTextAttributes20* DefaultAttributes() const { return FDefAttributes.get(); }
    void SetDefaultAttributes(TTextAttributes20* Value) { FDefAttributes->Assign(Value); }
    TParaAttributes20* ParagraphAttributes() const { return FParagraph.get(); }
    TColor URLColor() const { return FURLColor; }
    void SetURLColor(TColor Value) { FURLColor = Value; }
    TCursor URLCursor() const { return FURLCursor; }
    void SetURLCursor(TCursor Value) { FURLCursor = Value; }
    bool WordFormatting() const { return FWordFormatting; }
    void SetWordFormatting(bool Value) { FWordFormatting = Value; }
    bool AutoVerbMenu() const { return FAutoVerbMenu; }
    void SetAutoVerbMenu(bool Value) { FAutoVerbMenu = Value; }
    TInputFormat InputFormat() const { return FInputFormat; }
    void SetInputFormat(TInputFormat Value) { FInputFormat = Value; }
    TOutputFormat OutputFormat() const { return FOutputFormat; }
    void SetOutputFormat(TOutputFormat Value) { FOutputFormat = Value; }
    bool SelectedInOut() const { return FSelectedInOut; }
    void SetSelectedInOut(bool Value) { FSelectedInOut = Value; }
    bool PlainRTF() const { return FPlainRTF; }
    void SetPlainRTF(bool Value) { FPlainRTF = Value; }
    int UndoLimit() const { return FUndoLimit; }
    void SetUndoLimit(int Value);
    bool IncludeOLE() const { return FIncludeOLE; }
    void SetIncludeOLE(bool Value);
    bool AllowInPlace() const { return FAllowInPlace; }
    void SetAllowInPlace(bool Value) { FAllowInPlace = Value; }
    TURLCollection* CustomURLs() const { return FCustomURLs.get(); }
    // Empties the schemes, then adds those of Value in order (equal names merge).
    void SetCustomURLs(TURLCollection* Value);
    void SetMaxLength(int Value) override;

    // The area PrintText prints, in printer pixels; all zero means the whole page.
    RECT PrintArea() const { return FPrintArea; }
    void SetPrintArea(const RECT& Value) { FPrintArea = Value; }
    // The converter class the line list streams through unless a file's format chose one.
    TConversionClass DefaultConverterClass() const { return FDefaultConverter; }
    void SetDefaultConverterClass(TConversionClass Value) { FDefaultConverter = std::move(Value); }

    // Set while the wide line list passes UTF-16 text: text-carrying messages then go
    // through unconverted.
    bool WideTextMode() const { return FWideTextMode; }
    void SetWideTextMode(bool Value) { FWideTextMode = Value; }

    // Nesting depth of suspended redrawing and the selection at the last text change, for
    // the URL colouring.
    int RedrawLock = 0;
    int LastChangeStart = 0;
    int LastChangeEnd = 0;

    // --- selection, caret and text ----------------------------------------------------------
    int SelectionStart();
    void SetSelectionStart(int Value);
    int SelectionLength();
    void SetSelectionLength(int Value);
    std::string SelectedText();
    void SetSelectedText(const std::string& Value);
    // Copies at most BufSize characters of SelectedText and a terminating zero into Buffer;
    // returns the count copied.
    int GetSelTextBuf(char* Buffer, int BufSize);
    // Column and line of the caret, from 0.
    POINT CaretPosition();
    int FirstVisibleLine();
    // The window text length in UTF-16 characters.
    int TextLength();
    // The whole text as UTF-16.
    std::u16string WideText();
    // Closes embedded objects, empties the text and clears the modified flag.
    void Clear() override;
    // The text as 8-bit text in LanguageCodePage, through the converting messages.
    std::string Text() const override;
    void SetText(const std::string& Value) override;

    // The platform control's own window procedure, no conversion and no framework dispatch;
    // 0 without a window.
    LRESULT CallRichEditProc(UINT Msg, WPARAM WParam, LPARAM LParam);

    // --- URL colouring (RichEdit2URLs.cpp) ---------------------------------------------------
    // Gives the words of [RangeStart, RangeEnd], widened to whole URL words, the format of
    // their URL scheme (link, colour, underline) and every other word the plain format. A
    // range that widens to nothing stands for the whole text. Nothing is drawn and no change
    // or selection event fires meanwhile; the selection and scroll position come back.
    void ColorURLs(int RangeStart, int RangeEnd);
    // Moves RangeStart back and RangeEnd forward over URL characters.
    void WidenToURLWord(int& RangeStart, int& RangeEnd);
    // Stops drawing and remembers the selection and the first visible line; the matching
    // ResumeRedraw of the outermost SuspendRedraw puts them back and draws again.
    void SuspendRedraw();
    void ResumeRedraw();

    // --- embedded objects (RichEdit2Ole.cpp) -------------------------------------------------
    // The platform control's object interface while IncludeOLE and a window exist.
    IRichEditOle* RichEditOle() const { return FRichEditOle; }
    IRichEditOleCallback* OleCallback() const { return FOleCallback; }
    // The object whose verbs VerbList and VerbMenu hold.
    IOleObject* SelectedObject() const { return FSelectedObject; }
    TStringList* VerbList() const { return FVerbList.get(); }
    TPopupMenu* VerbMenu() const { return FVerbMenu; }
    // The verb menu of a selected embedded object (with AutoVerbMenu), else PopupMenu.
    TPopupMenu* GetPopupMenu() override;
    // Fills VerbList with the container-menu verbs of SelectedObject.
    void BuildVerbList();
    // Runs a verb of SelectedObject: a VerbList index above 0, -65536 for the primary verb,
    // anything else as a verb number.
    void ExecuteVerb(int Verb);
    void VerbMenuClick(TObject* Sender);
    // Closes every embedded object without saving.
    void CloseEmbeddedObjects();

    // Prints the whole text, a page at a time, as a job named Caption.
    virtual void PrintText(const std::string& Caption);

    // --- events ---------------------------------------------------------------------------
    TNotifyEvent OnSelectionChange;
    TRichEditResizeEvent OnResizeRequest;
    TRichEditProtectChange OnProtectChange;
    TRichEditSaveClipboard OnSaveClipboard;
    TURLClickEvent OnURLClick;
    TURLMoveEvent OnURLMove;
    TRichEditProgressEvent OnSaveProgress;
    TRichEditProgressEvent OnLoadProgress;

    // The operations behind the events.
    virtual void ResizeRequested(const RECT& Rect);
    virtual void SelectionChanged();
    bool ProtectChanging(int StartPos, int EndPos);
    bool SaveClipboardQuery(int NumObjects, int NumChars);

protected:
    void DefineProperties(TFiler& Filer) override;
    void CreateParams(TCreateParams& Params) override;
    void CreateWindowHandle(const TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& Message) override;

private:
    // RichEdit2Messages.cpp: each returns true when it handled the message.
    bool ConvertTextMessage(TMessage& Message);
    bool HandleNotification(TMessage& Message);
    void HandleSetCursor(TMessage& Message);
    void HandlePaint(TMessage& Message);
    void HandleTextChange(TMessage& Message);
    void HandleDestroy(TMessage& Message);
    // RichEdit2URLs.cpp: the cursor and the URL events for a link under the mouse.
    void HandleLink(const ENLINK& Link);
    // RichEdit2Ole.cpp
    friend class TRichEditOleCallback;
    void FreeVerbs();
    void ReleaseSelectedObject();
    // Window creation with IncludeOLE: the object interface and our callback.
    void ConnectOle();
    void DetachOleCallback();
    // Runs Action with OnChange and OnSelectionChange detached (and attached again after).
    void WithoutChangeEvents(const std::function<void()>& Action);
    // The "RTF" form-data value.
    void ReadRTF(TReader& Reader);
    void WriteRTF(TWriter& Writer);

    bool FHideScrollBars = true;
    std::unique_ptr<TTextAttributes20> FSelAttributes;
    std::unique_ptr<TTextAttributes20> FDefAttributes;
    std::unique_ptr<TParaAttributes20> FParagraph;
    std::unique_ptr<TRichEditStrings20> FRichEditStrings;
    std::unique_ptr<TWideRichEditStrings20> FWideStrings;
    std::unique_ptr<TMemoryStream> FMemStream; // the content while the window is re-created
    bool FHideSelection = true;
    TConversionClass FDefaultConverter;
    RECT FPrintArea{};
    TAutoURLDetect FAutoURLDetect = adNone;
    bool FShowSelectionBar = false;
    TColor FURLColor = 0;
    TCursor FURLCursor = 0;
    TLanguage FLanguage = 0;
    WORD FLanguageCodePage = 0;
    bool FWideTextMode = false;
    TLangOptions FLangOptions;
    WNDPROC FRichEditProcW;
    WNDPROC FRichEditProcA;
    bool FWordFormatting = true;
    int FUndoLimit = 0;
    TInputFormat FInputFormat = ifRTF;
    TOutputFormat FOutputFormat = ofRTF;
    bool FSelectedInOut = false;
    bool FPlainRTF = false;
    bool FAutoVerbMenu = true;
    bool FIncludeOLE = false;
    bool FAllowInPlace = false;
    std::unique_ptr<TURLCollection> FCustomURLs;
    // What SuspendRedraw saw, for ResumeRedraw.
    int FSavedSelStart = 0;
    int FSavedSelLength = 0;
    int FSavedFirstLine = 0;
    // Each holds one reference while set.
    IRichEditOle* FRichEditOle = nullptr;
    IRichEditOleCallback* FOleCallback = nullptr;
    IOleObject* FSelectedObject = nullptr;
    std::unique_ptr<TStringList> FVerbList;
    TPopupMenu* FVerbMenu = nullptr; // owned by the control
};

// The control with its properties published for form data.
class TRichEdit20 : public TCustomRichEdit20 {
public:
    using TCustomRichEdit20::TCustomRichEdit20;
    std::string ClassName() const override { return "TRichEdit20"; }
};

// Unit-wide: whether the platform is of the NT family (wide window calls), and the library
// handle of "RICHED20.DLL" (null until a window needs it).
bool RichEdit2IsNT();
HMODULE RichEdit2Library();
