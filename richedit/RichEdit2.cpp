// The rich text control: construction, properties, the window's creation and re-creation,
// the "RTF" form-data value, selection and caret, and printing.

#include "richedit/RichEdit2.h"

#include "framework/ClassRegistry.h"
#include "framework/Exceptions.h"
#include "framework/Printers.h"
#include "platform/locale/Locale.h"
#include "platform/window/Gdi.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

HMODULE library = nullptr;

// What the 8-bit and the wide class queries give for "RICHEDIT20W": the class's procedure.
WNDPROC ClassProcedure() {
    WNDCLASS wc;
    return GetClassInfo(RICHEDIT_CLASSW, &wc) ? wc.lpfnWndProc : WNDPROC{};
}

int TwipsFromPixels(int pixels, int perInch) {
    return perInch > 0 ? pixels * 1440 / perInch : 0;
}

// The system's default locale is a Far East one whose primary language is not Japanese.
bool FarEastButNotJapanese() {
    const auto lang = LANGID(GetSystemDefaultLCID() & 0xFFFF);
    const WORD primary = PRIMARYLANGID(lang);
    return (primary == 0x04 || primary == 0x12) && primary != 0x11; // Chinese, Korean
}

} // namespace

bool RichEdit2IsNT() {
    static const bool nt = [] {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }();
    return nt;
}

HMODULE RichEdit2Library() {
    return library;
}

// --- construction ----------------------------------------------------------------------------

TCustomRichEdit20::TCustomRichEdit20(TComponent* AOwner) : TCustomMemo(AOwner) {
    // The unit registers the platform library as the loader would, once.
    static const bool registered = (RegisterRichEditLibrary(), true);
    (void)registered;
    RedrawLock = 0;
    FShowSelectionBar = false;
    FLangOptions = TLangOptions{loAutoFont};
    FSelAttributes = std::make_unique<TTextAttributes20>(this, atSelected);
    FDefAttributes = std::make_unique<TTextAttributes20>(this, atDefaultText);
    FParagraph = std::make_unique<TParaAttributes20>(this);
    FRichEditStrings = std::make_unique<TRichEditStrings20>(this);
    FWideStrings = std::make_unique<TWideRichEditStrings20>(this);
    FTabStop = true;
    FWidth = 185;
    FHeight = 89;
    FHideSelection = true;
    FHideScrollBars = true;
    FDefaultConverter = ConversionClassOf();
    FWideTextMode = false;
    FWordFormatting = true;
    SetLanguage(TLanguage(GetSystemDefaultLCID() & 0xFFFF));
    FCustomURLs = std::make_unique<TURLCollection>(this);
    FCustomURLs->AddDefaultTypes();
    FURLColor = 0xFF0000;
    FURLCursor = -21; // crHandPoint
    LastChangeStart = 0;
    LastChangeEnd = 0;
    FAutoVerbMenu = true;
    FInputFormat = ifRTF;
    FOutputFormat = ofRTF;
    FPlainRTF = false;
    FSelectedInOut = false;
    FIncludeOLE = false;
}

TCustomRichEdit20::~TCustomRichEdit20() {
    // The window goes first, while the lists and attributes it may call back into exist;
    // its content goes with it (nothing will re-create it).
    Destroying();
    try {
        DestroyHandle();
    } catch (...) {
        // A destructor must not throw; the window is gone either way.
    }
    ReleaseSelectedObject();
    FreeVerbs();
    DetachOleCallback();
}

// --- properties ------------------------------------------------------------------------------

void TCustomRichEdit20::SetHideScrollBars(bool Value) {
    if (Value == FHideScrollBars) {
        return;
    }
    FHideScrollBars = Value;
    RecreateWnd();
}

void TCustomRichEdit20::SetHideSelection(bool Value) {
    if (Value == FHideSelection) {
        return;
    }
    FHideSelection = Value;
    SendMessage(Handle(), EM_HIDESELECTION, Value ? 1 : 0, 1);
}

void TCustomRichEdit20::SetShowSelectionBar(bool Value) {
    if (Value == FShowSelectionBar) {
        return;
    }
    FShowSelectionBar = Value;
    auto options = DWORD(Perform(EM_GETOPTIONS, 0, 0));
    RecreateWnd();
    options = Value ? (options | ECO_SELECTIONBAR) : (options & ~ECO_SELECTIONBAR);
    Perform(EM_SETOPTIONS, ECOOP_SET, LPARAM(options));
}

void TCustomRichEdit20::SetAutoURLDetect(TAutoURLDetect Value) {
    FAutoURLDetect = Value;
    Perform(EM_AUTOURLDETECT, Value == adDefault ? 1 : 0, 0);
}

namespace {

LPARAM LangOptionBits(TLangOptions options) {
    LPARAM bits = 0;
    if (options.Contains(loAutoKeyboard)) {
        bits |= IMF_AUTOKEYBOARD;
    }
    if (options.Contains(loAutoFont)) {
        bits |= IMF_AUTOFONT;
    }
    if (options.Contains(loIMECancelComplete)) {
        bits |= IMF_IMECANCELCOMPLETE;
    }
    if (options.Contains(loIMEAlwaysSendNotify)) {
        bits |= IMF_IMEALWAYSSENDNOTIFY;
    }
    return bits;
}

} // namespace

void TCustomRichEdit20::SetLangOptions(TLangOptions Value) {
    FLangOptions = Value;
    Perform(EM_SETLANGOPTIONS, 0, LangOptionBits(Value));
}

void TCustomRichEdit20::SetLanguage(TLanguage Value) {
    FLanguage = Value;
    FLanguageCodePage = CodePageOfLanguage(Value);
}

void TCustomRichEdit20::SetLines(TStrings* Value) {
    FRichEditStrings->Assign(Value);
}

void TCustomRichEdit20::SetUndoLimit(int Value) {
    FUndoLimit = Value;
    Perform(EM_SETUNDOLIMIT, WPARAM(Value), 0);
}

void TCustomRichEdit20::SetMaxLength(int Value) {
    FMaxLength = Value;
    SendMessage(Handle(), EM_EXLIMITTEXT, 0, Value == 0 ? 0x7FFFFFFF : LPARAM(Value));
}

// --- selection, caret and text ---------------------------------------------------------------

int TCustomRichEdit20::SelectionStart() {
    CHARRANGE range{};
    SendMessage(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range.cpMin;
}

void TCustomRichEdit20::SetSelectionStart(int Value) {
    CHARRANGE range{Value, Value};
    SendMessage(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

int TCustomRichEdit20::SelectionLength() {
    CHARRANGE range{};
    SendMessage(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range.cpMax - range.cpMin;
}

void TCustomRichEdit20::SetSelectionLength(int Value) {
    CHARRANGE range{};
    SendMessage(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    range.cpMax = range.cpMin + Value;
    SendMessage(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessage(Handle(), EM_SCROLLCARET, 0, 0);
}

std::string TCustomRichEdit20::SelectedText() {
    // The selection as UTF-16, converted here: through the 8-bit message a buffer of
    // SelectionLength bytes would cut double-byte text short.
    const int length = SelectionLength();
    if (length == 0) {
        return {};
    }
    std::u16string wide(std::size_t(length) + 1, u'\0');
    const auto copied = CallRichEditProc(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(wide.data()));
    wide.resize(std::size_t(std::clamp<LRESULT>(copied, 0, length)));
    return WideToAnsi(wide, FLanguageCodePage);
}

void TCustomRichEdit20::SetSelectedText(const std::string& Value) {
    SendMessage(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(Value.c_str()));
}

int TCustomRichEdit20::GetSelTextBuf(char* Buffer, int BufSize) {
    // BufSize counts the zero too: nothing is written past it.
    if (!Buffer || BufSize <= 0) {
        return 0;
    }
    const std::string text = SelectedText();
    const int count = std::min(int(text.size()), BufSize - 1);
    std::memcpy(Buffer, text.data(), std::size_t(count));
    Buffer[count] = '\0';
    return count;
}

POINT TCustomRichEdit20::CaretPosition() {
    CHARRANGE range{};
    SendMessage(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    const auto line = LONG(SendMessage(Handle(), EM_EXLINEFROMCHAR, 0, range.cpMax));
    const auto column = LONG(range.cpMax - SendMessage(Handle(), EM_LINEINDEX, WPARAM(-1), 0));
    return POINT{column, line};
}

int TCustomRichEdit20::FirstVisibleLine() {
    return int(SendMessage(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
}

int TCustomRichEdit20::TextLength() {
    return HandleAllocated() ? int(SendMessage(FHandle, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

std::u16string TCustomRichEdit20::WideText() {
    GETTEXTLENGTHEX lengthInfo{GTL_DEFAULT, CP_UNICODE};
    const auto length =
        SendMessage(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthInfo), 0);
    std::u16string text(std::size_t(std::max<LRESULT>(length, 0)), u'\0');
    std::u16string buffer(text.size() + 1, u'\0');
    GETTEXTEX info{DWORD(text.size() * 2 + 2), GT_DEFAULT, CP_UNICODE, nullptr, nullptr};
    const auto copied = CallRichEditProc(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&info),
                                         reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(std::size_t(std::clamp<LRESULT>(copied, 0, LRESULT(text.size()))));
    return buffer;
}

std::string TCustomRichEdit20::Text() const {
    if (!HandleAllocated()) {
        return FText;
    }
    return WideToAnsi(const_cast<TCustomRichEdit20*>(this)->WideText(), FLanguageCodePage);
}

void TCustomRichEdit20::SetText(const std::string& Value) {
    // 8-bit text, which the conversion of WM_SETTEXT turns into UTF-16. The wide line list
    // may call this (Clear) while WideTextMode is on: the text is 8-bit all the same, and
    // passed on unconverted it would be read as UTF-16 past its end.
    FText = Value;
    if (HandleAllocated()) {
        const bool wide = std::exchange(FWideTextMode, false);
        try {
            Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Value.c_str()));
        } catch (...) {
            FWideTextMode = wide;
            throw;
        }
        FWideTextMode = wide;
    }
    TextChanged();
}

void TCustomRichEdit20::Clear() {
    CloseEmbeddedObjects();
    TCustomMemo::Clear();
    SetModified(false);
}

LRESULT TCustomRichEdit20::CallRichEditProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (!HandleAllocated()) {
        return 0;
    }
    const WNDPROC& proc = RichEdit2IsNT() ? FRichEditProcW : FRichEditProcA;
    return proc ? proc(FHandle, Msg, WParam, LParam) : 0;
}

// --- the window ------------------------------------------------------------------------------

void TCustomRichEdit20::CreateParams(TCreateParams& Params) {
    if (!library) {
        library = LoadLibrary(RICHEDIT_LIBRARY); // a failure leaves it null: tried again later
    }
    (RichEdit2IsNT() ? FRichEditProcW : FRichEditProcA) = ClassProcedure();
    TCustomMemo::CreateParams(Params);
    CreateSubClass(Params, RICHEDIT_CLASSW);
    if (!FHideScrollBars) {
        Params.Style |= ES_DISABLENOSCROLL;
    }
    if (!FHideSelection) {
        Params.Style |= ES_NOHIDESEL;
    }
}

void TCustomRichEdit20::CreateWindowHandle(const TCreateParams& Params) {
    if (RichEdit2IsNT()) {
        std::u16string className(Params.WinClassName.begin(), Params.WinClassName.end());
        className.resize(std::min<std::size_t>(className.size(), 64));
        FHandle = CreateWindowExW(Params.ExStyle, className, u"", Params.Style, Params.X, Params.Y,
                                  Params.Width, Params.Height, Params.WndParent, 0, nullptr,
                                  Params.Param);
        return;
    }
    TCreateParams withoutText = Params;
    withoutText.Caption.clear();
    TCustomMemo::CreateWindowHandle(withoutText);
}

void TCustomRichEdit20::CreateWnd() {
    const bool modified = Modified();
    TCustomMemo::CreateWnd();
    if (FarEastButNotJapanese()) {
        BYTE charset = DEFAULT_CHARSET;
        if (CharsetOfLanguage(TLanguage(GetSystemDefaultLCID() & 0xFFFF), charset)) {
            Font()->SetCharset(charset);
        }
    }
    // The text limit as MaxLength says (0: no limit). The edit base sent its own limit,
    // which for this control would cap the text at 64K characters.
    SendMessage(FHandle, EM_EXLIMITTEXT, 0, FMaxLength == 0 ? 0x7FFFFFFF : LPARAM(FMaxLength));
    SendMessage(FHandle, EM_SETEVENTMASK, 0,
                ENM_CHANGE | ENM_REQUESTRESIZE | ENM_SELCHANGE | ENM_PROTECTED | ENM_LINK);
    SendMessage(FHandle, EM_SETBKGNDCOLOR, 0, LPARAM(ColorToRGB(Color())));
    SendMessage(FHandle, EM_AUTOURLDETECT, FAutoURLDetect == adDefault ? 1 : 0, 0);
    DefaultAttributes()->Assign(Font());
    if (FMemStream) {
        // Content kept from the previous window or read from form data: not a change.
        FMemStream->SetPosition(1); // the first byte says whether it was saved while designing
        std::unique_ptr<TMemoryStream> saved = std::move(FMemStream);
        WithoutChangeEvents([&] { FRichEditStrings->LoadFromStream(*saved); });
    }
    SetModified(modified);
    auto options = DWORD(SendMessage(FHandle, EM_GETOPTIONS, 0, 0));
    options = FShowSelectionBar ? (options | ECO_SELECTIONBAR) : (options & ~ECO_SELECTIONBAR);
    SendMessage(FHandle, EM_SETOPTIONS, ECOOP_SET, LPARAM(options));
    SendMessage(FHandle, EM_SETLANGOPTIONS, 0, LangOptionBits(FLangOptions));
    if (FIncludeOLE) {
        ConnectOle();
    }
}

void TCustomRichEdit20::DestroyWnd() {
    if (HandleAllocated() && !ComponentState().Contains(csDestroying)) {
        // The text and its formats live in the window only: keep them for the next one.
        auto saved = std::make_unique<TMemoryStream>();
        const std::uint8_t designing = ComponentState().Contains(csDesigning) ? 1 : 0;
        saved->Write(&designing, 1);
        FRichEditStrings->SaveToStream(*saved);
        saved->SetPosition(0);
        FMemStream = std::move(saved);
    }
    TCustomMemo::DestroyWnd();
}

// --- form data -------------------------------------------------------------------------------

void TCustomRichEdit20::DefineProperties(TFiler& Filer) {
    TCustomMemo::DefineProperties(Filer);
    Filer.DefineProperty(
        "RTF", [this](TReader& Reader) { ReadRTF(Reader); },
        [this](TWriter& Writer) { WriteRTF(Writer); }, TextLength() > 0);
}

void TCustomRichEdit20::WithoutChangeEvents(const std::function<void()>& Action) {
    TNotifyEvent selectionChange = std::move(OnSelectionChange);
    TNotifyEvent change = std::move(OnChange);
    OnSelectionChange = nullptr;
    OnChange = nullptr;
    const auto restore = [&] {
        OnSelectionChange = std::move(selectionChange);
        OnChange = std::move(change);
    };
    try {
        Action();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TCustomRichEdit20::ReadRTF(TReader& Reader) {
    // Loading the content is no change the program should hear about.
    WithoutChangeEvents([&] {
        const std::string value = Reader.ReadString();
        if (!HandleAllocated()) {
            // Form data is read before the window exists: the content waits with the saved
            // content, which window creation loads.
            auto saved = std::make_unique<TMemoryStream>();
            const std::uint8_t designing = 0;
            saved->Write(&designing, 1);
            saved->Write(value.data(), std::int64_t(value.size()));
            FMemStream = std::move(saved);
            return;
        }
        Clear();
        DefaultAttributes()->Assign(Font());
        TMemoryStream stream;
        stream.Write(value.data(), std::int64_t(value.size()));
        stream.SetPosition(0);
        FRichEditStrings->LoadFromStream(stream);
    });
}

void TCustomRichEdit20::WriteRTF(TWriter& Writer) {
    if (TextLength() == 0) {
        return;
    }
    TMemoryStream stream;
    FRichEditStrings->SaveToStream(stream);
    const char zero = '\0';
    stream.Write(&zero, 1);
    const auto* bytes = reinterpret_cast<const char*>(stream.Memory());
    Writer.WriteString(std::string(bytes, std::strlen(bytes)));
}

// --- printing --------------------------------------------------------------------------------

void TCustomRichEdit20::PrintText(const std::string& Caption) {
    TPrinter* printer = Printer();
    printer->SetTitle(Caption);
    printer->BeginDoc();
    HDC dc = CreateDeviceContext(printer->Canvas());
    const int perInchX = GetDeviceCaps(dc, LOGPIXELSX);
    const int perInchY = GetDeviceCaps(dc, LOGPIXELSY);
    RECT area{0, 0, TwipsFromPixels(printer->PageWidth(), perInchX),
              TwipsFromPixels(printer->PageHeight(), perInchY)};
    if (FPrintArea.left || FPrintArea.top || FPrintArea.right || FPrintArea.bottom) {
        area = RECT{TwipsFromPixels(FPrintArea.left, perInchX),
                    TwipsFromPixels(FPrintArea.top, perInchY),
                    TwipsFromPixels(FPrintArea.right, perInchX),
                    TwipsFromPixels(FPrintArea.bottom, perInchY)};
    }
    FORMATRANGE range{dc, dc, area, area, {0, -1}};
    LRESULT last = 0;
    const int maximum = TextLength();
    const int oldMode = SetMapMode(dc, MM_TEXT);
    SendMessage(Handle(), EM_FORMATRANGE, 0, 0);
    const auto finish = [&] {
        SendMessage(Handle(), EM_FORMATRANGE, 0, 0);
        SetMapMode(dc, oldMode);
        DeleteDC(dc);
    };
    try {
        do {
            range.rc = area;
            range.chrg.cpMin = LONG(last);
            const LRESULT first = last;
            last = SendMessage(Handle(), EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range));
            if (last != -1 && last <= first) {
                break; // no progress: a page with nothing on it would follow for ever
            }
            if (last < maximum && last != -1) {
                printer->NewPage();
                // The painter of a new page is new too.
                DeleteDC(dc);
                dc = CreateDeviceContext(printer->Canvas());
                range.hdc = range.hdcTarget = dc;
            }
        } while (last < maximum && last != -1);
        printer->EndDoc();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// --- form data: the published properties ------------------------------------------------------

namespace {

using namespace published;

const bool urlTypeRegistered = [] {
    TClassRegistry::Queue(PersistentClass<TURLType>(
        "TURLType", "TPersistent",
        {String<TURLType>("Name", &TURLType::Name, &TURLType::SetName),
         Color<TURLType>("Color", &TURLType::Color, &TURLType::SetColor, NoDefault),
         Cursor<TURLType>("Cursor", &TURLType::Cursor, &TURLType::SetCursor, NoDefault),
         Boolean<TURLType>("Underline", &TURLType::Underline, &TURLType::SetUnderline,
                           NoDefault)}));
    return true;
}();

const TClassRegistrar<TRichEdit20> registrar(
    "TRichEdit20", "TCustomMemo",
    {Enum<TRichEdit20>("AutoURLDetect", &TCustomRichEdit20::AutoURLDetect,
                       &TCustomRichEdit20::SetAutoURLDetect, {"adNone", "adDefault", "adExtended"},
                       NoDefault),
     Collection<TRichEdit20>("CustomURLs", &TCustomRichEdit20::CustomURLs, true),
     Enum<TRichEdit20>(
         "BiDiMode", &TControl::BiDiMode, &TControl::SetBiDiMode,
         {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"}, 0),
     Boolean<TRichEdit20>("HideScrollBars", &TCustomRichEdit20::HideScrollBars,
                          &TCustomRichEdit20::SetHideScrollBars, 1),
     Boolean<TRichEdit20>("HideSelection", &TCustomRichEdit20::HideSelection,
                          &TCustomRichEdit20::SetHideSelection, 1),
     Set<TRichEdit20>(
         "LangOptions", &TCustomRichEdit20::LangOptions, &TCustomRichEdit20::SetLangOptions,
         {"loAutoKeyboard", "loAutoFont", "loIMECancelComplete", "loIMEAlwaysSendNotify"},
         NoDefault),
     Integer<TRichEdit20>("Language", &TCustomRichEdit20::Language, &TCustomRichEdit20::SetLanguage,
                          NoDefault),
     Boolean<TRichEdit20>("ShowSelectionBar", &TCustomRichEdit20::ShowSelectionBar,
                          &TCustomRichEdit20::SetShowSelectionBar, NoDefault),
     Color<TRichEdit20>("URLColor", &TCustomRichEdit20::URLColor, &TCustomRichEdit20::SetURLColor,
                        NoDefault),
     Cursor<TRichEdit20>("URLCursor", &TCustomRichEdit20::URLCursor,
                         &TCustomRichEdit20::SetURLCursor, NoDefault),
     Boolean<TRichEdit20>("WordFormatting", &TCustomRichEdit20::WordFormatting,
                          &TCustomRichEdit20::SetWordFormatting, 1),
     Boolean<TRichEdit20>("AutoVerbMenu", &TCustomRichEdit20::AutoVerbMenu,
                          &TCustomRichEdit20::SetAutoVerbMenu, 1),
     Enum<TRichEdit20>("InputFormat", &TCustomRichEdit20::InputFormat,
                       &TCustomRichEdit20::SetInputFormat, {"ifText", "ifRTF", "ifUnicode"},
                       NoDefault),
     Enum<TRichEdit20>("OutputFormat", &TCustomRichEdit20::OutputFormat,
                       &TCustomRichEdit20::SetOutputFormat,
                       {"ofText", "ofRTF", "ofRTFNoObjs", "ofTextized", "ofUnicode"}, NoDefault),
     Boolean<TRichEdit20>("SelectedInOut", &TCustomRichEdit20::SelectedInOut,
                          &TCustomRichEdit20::SetSelectedInOut, NoDefault),
     Boolean<TRichEdit20>("PlainRTF", &TCustomRichEdit20::PlainRTF, &TCustomRichEdit20::SetPlainRTF,
                          NoDefault),
     Integer<TRichEdit20>("UndoLimit", &TCustomRichEdit20::UndoLimit,
                          &TCustomRichEdit20::SetUndoLimit, NoDefault),
     Boolean<TRichEdit20>("IncludeOLE", &TCustomRichEdit20::IncludeOLE,
                          &TCustomRichEdit20::SetIncludeOLE, 0),
     Boolean<TRichEdit20>("AllowInPlace", &TCustomRichEdit20::AllowInPlace,
                          &TCustomRichEdit20::SetAllowInPlace, 1),
     Event<TRichEdit20>("OnSelectionChange", &TCustomRichEdit20::OnSelectionChange),
     Event<TRichEdit20>("OnResizeRequest", &TCustomRichEdit20::OnResizeRequest),
     Event<TRichEdit20>("OnProtectChange", &TCustomRichEdit20::OnProtectChange),
     Event<TRichEdit20>("OnSaveClipboard", &TCustomRichEdit20::OnSaveClipboard),
     Event<TRichEdit20>("OnSaveProgress", &TCustomRichEdit20::OnSaveProgress),
     Event<TRichEdit20>("OnLoadProgress", &TCustomRichEdit20::OnLoadProgress),
     Event<TRichEdit20>("OnURLClick", &TCustomRichEdit20::OnURLClick),
     Event<TRichEdit20>("OnURLMove", &TCustomRichEdit20::OnURLMove)});

} // namespace
