#pragma once
// The rich edit control behind the window class "RICHEDIT20W": one object per window,
// holding the document and the control's settings. Dispatch routes each message group to
// its own handler; each message there is a line or two over the document's typed methods.
//
// For the platform layer only (the view that lays out and paints reaches the document
// through RichEditControlOf); everything above talks to the window with messages.

#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditDocument.h"
#include "platform/richedit/Streaming.h"

#include <optional>

class RichEditControl {
public:
    explicit RichEditControl(HWND hwnd, DWORD style);
    ~RichEditControl();
    RichEditControl(const RichEditControl&) = delete;
    RichEditControl& operator=(const RichEditControl&) = delete;

    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    RichEditDocument& Document() { return doc_; }
    const RichEditDocument& Document() const { return doc_; }
    HWND Window() const { return hwnd_; }
    bool RedrawEnabled() const { return redraw_; }
    bool WordWrap() const { return wordWrap_; }
    COLORREF BackgroundColor() const { return background_; }
    void SetFirstVisibleLine(std::int64_t line) { firstVisibleLine_ = line; }

    // Text for embedded objects in textized output; the object support fills it in.
    StreamContext& Streaming() { return streaming_; }

private:
    // Message groups; each returns nullopt for a message that is not its own.
    std::optional<LRESULT> SelectionMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> TextMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> StreamMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> FormatMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OptionMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> ObjectMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> ClipboardMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Asks the parent, as the control goes, whether the clipboard keeps our copy.
    void OfferClipboard();

    // --- operations the messages share --------------------------------------------------
    // Replaces the selection as a message would; false when the parent refused it.
    bool ReplaceSelection(std::u16string_view text, bool undoable, UINT msg, WPARAM wParam,
                          LPARAM lParam);
    void SetSelection(std::int64_t cpMin, std::int64_t cpMax);
    std::int64_t CaretLine() const;
    std::u16string TextWithCrLf(std::int64_t start, std::int64_t end, std::int64_t limit) const;

    // --- notifications to the parent ----------------------------------------------------
    // The selection and text state before a change; After() sends what the change caused.
    struct Before {
        Selection selection;
        std::int64_t length;
        bool textChanged = false;
    };
    Before Snapshot() const { return {doc_.GetSelection(), doc_.Length()}; }
    // changedMin/changedMax bound the changed text; a negative end means "anywhere".
    void After(const Before& before, bool textChanged, std::int64_t changedMin = 0,
               std::int64_t changedMax = -1);
    // Marks the URLs of the paragraphs that hold [min, max] with the link effect.
    void DetectUrls(std::int64_t min, std::int64_t max);
    void NotifyCommand(UINT code);
    LRESULT NotifyParent(NMHDR& header, UINT code);
    // Asks the parent whether [min, max) may change; true when it may.
    bool ProtectedChangeAllowed(std::int64_t min, std::int64_t max, UINT msg, WPARAM wParam,
                                LPARAM lParam);

    HWND hwnd_;
    RichEditDocument doc_;
    DWORD eventMask_ = 0;
    DWORD options_ = 0;
    DWORD langOptions_ = IMF_AUTOFONT;
    COLORREF background_ = 0x00FFFFFF;
    bool systemBackground_ = true;
    bool autoUrlDetect_ = false;
    bool hideSelection_ = true;
    bool redraw_ = true;
    bool wordWrap_ = true;
    std::int64_t firstVisibleLine_ = 0;
    StreamContext streaming_;
};

// The control of a "RICHEDIT20W" window, or nullptr.
RichEditControl* RichEditControlOf(HWND hwnd);
