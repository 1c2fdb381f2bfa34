#include "view/KelvorEdit20.h"

#include "framework/ClassRegistry.h"
#include "framework/SysUtils.h"

TKelvorEdit20::TKelvorEdit20(TComponent* AOwner) : TRichEdit20(AOwner) {
    FFeedSetting = 3;
}

void TKelvorEdit20::WndProc(TMessage& Message) {
    if (Message.Msg == WM_FEEDCHAR) {
        WMFeedChar(Message);
        return;
    }
    TRichEdit20::WndProc(Message);
}

void TKelvorEdit20::WMFeedChar(TMessage& Message) {
    const auto c = char(Message.WParam & 0xFF);
    const auto w = WORD(Message.WParam & 0xFFFF);
    if (w == 13 && FStampPending) {
        Lines()->Add(" ");
        FStampPending = false;
        // The clock is read once for the time and once more for the date.
        const std::string time = CurrentTimeText();
        Lines()->Add(time + "  " + CurrentDateText() + "  ");
    }
    // Code 0 converts to no text: nothing is appended.
    Lines()->AppendText(c == '\0' ? std::string() : std::string(1, c));
}

namespace {

const TClassRegistrar<TKelvorEdit20> registrar("TKelvorEdit20", "TRichEdit20", {});

} // namespace
