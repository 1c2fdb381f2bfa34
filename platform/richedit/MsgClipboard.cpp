// Clipboard messages (plain text through the system clipboard) and the question, when the
// control goes away, whether the clipboard should keep what it copied there.

#include "platform/richedit/RichEditControl.h"
#include "platform/richedit/RichEditWidget.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <algorithm>
#include <cstring>

namespace {

// The control whose copy the clipboard holds, and that text.
RichEditControl* clipboardOwner = nullptr;
std::u16string clipboardText;

// The clipboard's names for RTF; we write both and read whichever is there.
const char* const RtfMimeTypes[] = {"text/rtf", "application/rtf"};

DWORD AppendBytes(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(buffer),
                                                   std::size_t(cb));
    *pcb = cb;
    return 0;
}

struct Source {
    QByteArray data;
    qsizetype pos = 0;
};

DWORD ReadBytes(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* source = reinterpret_cast<Source*>(cookie);
    const auto n = std::min<qsizetype>(cb, source->data.size() - source->pos);
    std::memcpy(buffer, source->data.constData() + source->pos, std::size_t(n));
    source->pos += n;
    *pcb = LONG(n);
    return 0;
}

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
        if (ClipboardFromCallback(s, msg == WM_CUT ? RECO_CUT : RECO_COPY)) {
            // The container's data stand for the selection. The system clipboard cannot
            // carry a data object of ours, so it is emptied rather than left with older data.
            clipboard->clear();
            clipboardOwner = nullptr;
            if (msg == WM_CUT) {
                ReplaceSelection({}, true, msg, wParam, lParam);
            }
            return 0;
        }
        clipboardData_.Reset();
        clipboardText = doc_.Text(s.min, s.max - s.min);
        // Plain text for everyone, RTF so that a paste keeps the formats.
        std::string rtf;
        EDITSTREAM out{reinterpret_cast<DWORD_PTR>(&rtf), 0, AppendBytes};
        StreamOut(doc_, SF_RTF | SFF_SELECTION, out, streaming_);
        auto* mime = new QMimeData;
        mime->setText(QString::fromStdU16String(clipboardText));
        for (const char* type : RtfMimeTypes) {
            mime->setData(type, QByteArray::fromStdString(rtf));
        }
        clipboard->setMimeData(mime);
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
        const QMimeData* mime = clipboard->mimeData();
        for (const char* type : RtfMimeTypes) {
            if (mime && mime->hasFormat(type)) {
                const Selection s = doc_.TextSelection();
                if (!ProtectedChangeAllowed(s.min, s.max, msg, wParam, lParam)) {
                    return 0;
                }
                if (InsertRtf(mime->data(type))) {
                    return 0;
                }
                break; // unreadable RTF: fall back to the plain text
            }
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

bool RichEditControl::InsertRtf(const QByteArray& rtf) {
    Source source{rtf};
    EDITSTREAM in{reinterpret_cast<DWORD_PTR>(&source), 0, ReadBytes};
    const Before before = Snapshot();
    const WPARAM flags = SF_RTF | SFF_SELECTION;
    if (!StreamIn(doc_, flags, in, StreamInContext(flags)).changed) {
        return false;
    }
    anchor_ = doc_.GetSelection().min;
    ScrollToShow(anchor_);
    After(before, true);
    return true;
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
    save.cObjectCount =
        LONG(std::count(clipboardText.begin(), clipboardText.end(), RichEditDocument::ObjectChar));
    save.cch = LONG(clipboardText.size());
    if (NotifyParent(save.nmhdr, EN_SAVECLIPBOARD) != 0) {
        clipboard->clear(); // the parent does not want the data kept
    }
}

RichEditControl::~RichEditControl() {
    ReleaseObjects();
    if (clipboardOwner == this) {
        clipboardOwner = nullptr;
    }
    if (widget_) {
        widget_->Detach();
    }
    doc_.Lines().SetBreaker(nullptr); // the layout goes first
}
