// Clipboard messages (plain text through the system clipboard) and the question, when the
// control goes away, whether the clipboard should keep what it copied there.

#include "platform/richedit/RichEditControl.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace {

// The control whose copy the clipboard holds, and that text.
RichEditControl* clipboardOwner = nullptr;
std::u16string clipboardText;

QClipboard* Clipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

} // namespace

std::optional<LRESULT> RichEditControl::ClipboardMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COPY:
    case WM_CUT: {
        const Selection s = doc_.TextSelection();
        QClipboard* clipboard = Clipboard();
        if (s.Empty() || !clipboard) {
            return 0;
        }
        if (msg == WM_CUT && (options_ & ECO_READONLY)) {
            return 0;
        }
        clipboardText = doc_.Text(s.min, s.max - s.min);
        clipboard->setText(QString::fromStdU16String(clipboardText));
        clipboardOwner = this;
        if (msg == WM_CUT) {
            ReplaceSelection({}, true, msg, wParam, lParam);
        }
        return 0;
    }
    case WM_PASTE: {
        QClipboard* clipboard = Clipboard();
        if (!clipboard || (options_ & ECO_READONLY)) {
            return 0;
        }
        ReplaceSelection(clipboard->text().toStdU16String(), true, msg, wParam, lParam);
        return 0;
    }
    case EM_CANPASTE: {
        QClipboard* clipboard = Clipboard();
        return clipboard && !clipboard->text().isEmpty() ? TRUE : FALSE;
    }
    case WM_DESTROY:
        OfferClipboard();
        return DefWindowProc(hwnd_, msg, wParam, lParam);
    default:
        return std::nullopt;
    }
}

void RichEditControl::OfferClipboard() {
    if (clipboardOwner != this) {
        return;
    }
    clipboardOwner = nullptr;
    QClipboard* clipboard = Clipboard();
    if (!clipboard || clipboard->text().toStdU16String() != clipboardText) {
        return; // someone else's data by now
    }
    ENSAVECLIPBOARD save{};
    save.cObjectCount = 0;
    save.cch = LONG(clipboardText.size());
    if (NotifyParent(save.nmhdr, EN_SAVECLIPBOARD) != 0) {
        clipboard->clear(); // the parent does not want the data kept
    }
}

RichEditControl::~RichEditControl() {
    if (clipboardOwner == this) {
        clipboardOwner = nullptr;
    }
}
