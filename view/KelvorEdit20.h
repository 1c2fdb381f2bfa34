#pragma once
// Unit KelvorEdit20: the main window's view. The published rich text control with a
// terminal-style character feed: each WM_FEEDCHAR message carries one character, which the
// view appends to the very end of its text, so a stream of characters builds lines as a
// terminal shows them (a CR ends a line). Before a CR the view can first write a line with
// the time and date.

#include "richedit/RichEdit2.h"

// The feed message: the character in the low 8 bits of wParam; lParam unused. Accepted from
// any sender: SendMessage, PostMessage from any thread, or dispatch to the object.
inline constexpr UINT WM_FEEDCHAR = WM_APP + 1;

class TKelvorEdit20 : public TRichEdit20 {
public:
    explicit TKelvorEdit20(TComponent* AOwner);
    std::string ClassName() const override { return "TKelvorEdit20"; }

    // A time-stamp line is due before the next CR. Nothing in the monitor sets it; an
    // operator's tool (or a test) may.
    bool StampPending() const { return FStampPending; }
    void SetStampPending(bool Value) { FStampPending = Value; }
    int FeedSetting() const { return FFeedSetting; }

protected:
    void WndProc(TMessage& Message) override;

private:
    void WMFeedChar(TMessage& Message);

    bool FStampPending = false;
    int FFeedSetting = 0;
};
