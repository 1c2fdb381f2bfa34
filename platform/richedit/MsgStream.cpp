// Streaming messages.

#include "platform/richedit/RichEditControl.h"

std::optional<LRESULT> RichEditControl::StreamMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* stream = reinterpret_cast<EDITSTREAM*>(lParam);
    switch (msg) {
    case EM_STREAMOUT:
        return stream ? StreamOut(doc_, wParam, *stream, streaming_) : 0;
    case EM_STREAMIN: {
        if (!stream) {
            return 0;
        }
        const Before before = Snapshot();
        const StreamInOutcome outcome = StreamIn(doc_, wParam, *stream, StreamInContext(wParam));
        if (outcome.changed) {
            After(before, true);
        }
        return outcome.result;
    }
    default:
        return std::nullopt;
    }
}
