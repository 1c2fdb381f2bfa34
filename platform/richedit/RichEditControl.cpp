#include "platform/richedit/RichEditControl.h"

#include "platform/richedit/UrlDetect.h"

#include <memory>
#include <unordered_map>

namespace {

std::unordered_map<HWND, std::unique_ptr<RichEditControl>>& Controls() {
    static std::unordered_map<HWND, std::unique_ptr<RichEditControl>> controls;
    return controls;
}

} // namespace

RichEditControl* RichEditControlOf(HWND hwnd) {
    auto it = Controls().find(hwnd);
    return it == Controls().end() ? nullptr : it->second.get();
}

LRESULT RichEditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCT*>(lParam);
        const DWORD style = create ? DWORD(create->style) : 0;
        Controls()[hwnd] = std::make_unique<RichEditControl>(hwnd, style);
        return TRUE;
    }
    if (msg == WM_NCDESTROY) {
        Controls().erase(hwnd);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    RichEditControl* control = RichEditControlOf(hwnd);
    return control ? control->Dispatch(msg, wParam, lParam)
                   : DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterRichEditLibrary() {
    RegisterLibraryProvider(RICHEDIT_LIBRARY,
                            LibraryProvider{[] {
                                                WNDCLASS wc;
                                                wc.lpfnWndProc = RichEditWndProc;
                                                wc.lpszClassName = RICHEDIT_CLASSW;
                                                RegisterClass(wc);
                                            },
                                            [] { UnregisterClass(RICHEDIT_CLASSW); }});
}

RichEditControl::RichEditControl(HWND hwnd, DWORD style) : hwnd_(hwnd) {
    scrollBarAlways_ = style & ES_DISABLENOSCROLL;
    if (style & ES_READONLY) {
        options_ |= ECO_READONLY;
    }
    if (style & ES_NOHIDESEL) {
        options_ |= ECO_NOHIDESEL;
        hideSelection_ = false;
    }
    if (style & ES_SELECTIONBAR) {
        options_ |= ECO_SELECTIONBAR;
    }
    if (style & WS_VSCROLL) {
        options_ |= ECO_AUTOVSCROLL;
    }
    if (style & WS_HSCROLL) {
        options_ |= ECO_AUTOHSCROLL;
    }
    // A horizontally scrolling control does not wrap.
    wordWrap_ = !(style & (WS_HSCROLL | ES_AUTOHSCROLL));
    ole_ = ComPtr<ControlOle>::Attach(MakeComObject<ControlOle>(this));
    streaming_.objectText = [this](std::int32_t id) { return ObjectResultText(id); };
    streaming_.objectRtf = [this](std::int32_t id) { return ObjectRtf(id); };
}

LRESULT RichEditControl::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    const ObjectScope scope(*this);
    using Handler = std::optional<LRESULT> (RichEditControl::*)(UINT, WPARAM, LPARAM);
    static constexpr Handler groups[] = {
        &RichEditControl::SelectionMessage, &RichEditControl::TextMessage,
        &RichEditControl::StreamMessage,    &RichEditControl::FormatMessage,
        &RichEditControl::OptionMessage,    &RichEditControl::ObjectMessage,
        &RichEditControl::ClipboardMessage, &RichEditControl::ViewMessage,
        &RichEditControl::ScrollMessage,    &RichEditControl::KeyMessage,
        &RichEditControl::MouseMessage,     &RichEditControl::PrintMessage,
    };
    for (Handler group : groups) {
        if (std::optional<LRESULT> result = (this->*group)(msg, wParam, lParam)) {
            return *result;
        }
    }
    return DefWindowProc(hwnd_, msg, wParam, lParam);
}

// --- notifications ---------------------------------------------------------------------------

void RichEditControl::NotifyCommand(UINT code) {
    HWND parent = GetParent(hwnd_);
    if (!parent || parent == HWND_MESSAGE) {
        return;
    }
    const auto id = WORD(GetWindowLongPtr(hwnd_, GWLP_ID));
    SendMessage(parent, WM_COMMAND, WPARAM(MAKELONG(id, WORD(code))),
                reinterpret_cast<LPARAM>(hwnd_));
}

LRESULT RichEditControl::NotifyParent(NMHDR& header, UINT code) {
    HWND parent = GetParent(hwnd_);
    if (!parent || parent == HWND_MESSAGE) {
        return 0;
    }
    header.hwndFrom = hwnd_;
    header.idFrom = UINT_PTR(GetWindowLongPtr(hwnd_, GWLP_ID));
    header.code = code;
    return SendMessage(parent, WM_NOTIFY, WPARAM(header.idFrom), reinterpret_cast<LPARAM>(&header));
}

void RichEditControl::After(const Before& before, bool textChanged, std::int64_t changedMin,
                            std::int64_t changedMax) {
    if (textChanged && autoUrlDetect_) {
        DetectUrls(changedMax < 0 ? 0 : changedMin, changedMax < 0 ? doc_.Length() : changedMax);
    }
    const Selection now = doc_.GetSelection();
    if (now != before.selection) {
        Invalidate();
    }
    if (textChanged) {
        NotifyResize();
    }
    if (now != before.selection && (eventMask_ & ENM_SELCHANGE)) {
        SELCHANGE sc{};
        sc.chrg = {LONG(now.min), LONG(now.max)};
        const std::int64_t length = now.max - now.min;
        sc.seltyp = length == 0 ? SEL_EMPTY : WORD(SEL_TEXT | (length > 1 ? SEL_MULTICHAR : 0));
        if (doc_.ObjectCount(now.min, now.max) > 0) {
            sc.seltyp |= doc_.ObjectCount(now.min, now.max) > 1 ? SEL_MULTIOBJECT : SEL_OBJECT;
        }
        NotifyParent(sc.nmhdr, EN_SELCHANGE);
    }
    if (textChanged && (eventMask_ & ENM_CHANGE)) {
        NotifyCommand(EN_CHANGE);
    }
}

bool RichEditControl::ProtectedChangeAllowed(std::int64_t min, std::int64_t max, UINT msg,
                                             WPARAM wParam, LPARAM lParam) {
    if (!(eventMask_ & ENM_PROTECTED) || !doc_.TouchesProtected(min, max)) {
        return true;
    }
    ENPROTECTED ep{};
    ep.msg = msg;
    ep.wParam = wParam;
    ep.lParam = lParam;
    ep.chrg = {LONG(min), LONG(max)};
    return NotifyParent(ep.nmhdr, EN_PROTECTED) == 0;
}

// --- shared operations -------------------------------------------------------------------------

bool RichEditControl::ReplaceSelection(std::u16string_view text, bool undoable, UINT msg,
                                       WPARAM wParam, LPARAM lParam) {
    const Selection s = doc_.TextSelection();
    if (!ProtectedChangeAllowed(s.min, s.max, msg, wParam, lParam)) {
        return false;
    }
    const Before before = Snapshot();
    // The view follows text that arrives at the end while the end is in view and the
    // operator is not selecting.
    const bool follow =
        s.Empty() && s.min == doc_.Length() && drag_ == Drag::None && layout_ && EndVisible();
    const std::u16string folded = FoldLineBreaks(text);
    const std::int64_t inserted = doc_.ReplaceSelection(folded, undoable);
    anchor_ = doc_.GetSelection().min;
    if (inserted < std::int64_t(folded.size())) {
        NotifyCommand(EN_MAXTEXT);
    }
    if (follow) {
        ScrollToShow(doc_.Length());
    }
    After(before, inserted > 0 || !s.Empty(), s.min, s.min + inserted);
    return true;
}

void RichEditControl::DetectUrls(std::int64_t min, std::int64_t max) {
    const LineIndex& lines = doc_.Lines();
    CHARFORMAT2W on{};
    on.cbSize = sizeof on;
    on.dwMask = CFM_LINK;
    on.dwEffects = CFE_LINK;
    CHARFORMAT2W off = on;
    off.dwEffects = 0;
    const std::int64_t last = lines.ParagraphFromPosition(max);
    for (std::int64_t para = lines.ParagraphFromPosition(min); para <= last; ++para) {
        const std::int64_t start = lines.ParagraphStart(para);
        std::int64_t end = lines.ParagraphEnd(para);
        if (para + 1 < lines.Paragraphs()) {
            --end; // the CR
        }
        const std::u16string text = doc_.Text(start, end - start);
        std::int64_t at = start;
        for (const auto& [urlStart, urlEnd] : FindUrls(text)) {
            doc_.ApplyDerivedCharFormat(at, start + urlStart, off);
            doc_.ApplyDerivedCharFormat(start + urlStart, start + urlEnd, on);
            at = start + urlEnd;
        }
        doc_.ApplyDerivedCharFormat(at, end, off);
    }
}

void RichEditControl::SetSelection(std::int64_t cpMin, std::int64_t cpMax) {
    const Before before = Snapshot();
    doc_.SetSelectionEx(cpMin, cpMax);
    const Selection now = doc_.GetSelection();
    anchor_ = now.min;
    if (now != before.selection) {
        ScrollToShow(now.max);
    }
    After(before, false);
}

std::int64_t RichEditControl::CaretLine() const {
    return doc_.Lines().LineFromPosition(std::min(doc_.GetSelection().max, doc_.Length()));
}
