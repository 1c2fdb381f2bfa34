// Object messages: the control's IRichEditOle and its callback, the callback's say in
// context menus, and drops of text and RTF onto the view.

#include "platform/richedit/RichEditControl.h"

#include <QDropEvent>
#include <QMimeData>

namespace {

const char* const RtfMimeTypes[] = {"text/rtf", "application/rtf"};

DWORD KeyStateOf(const QDropEvent* event) {
    DWORD state = 0;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const Qt::MouseButtons buttons = event->buttons();
    state |= modifiers & Qt::ControlModifier ? MK_CONTROL : 0;
    state |= modifiers & Qt::ShiftModifier ? MK_SHIFT : 0;
    state |= modifiers & Qt::AltModifier ? MK_ALT : 0;
    state |= buttons & Qt::LeftButton ? MK_LBUTTON : 0;
    state |= buttons & Qt::RightButton ? MK_RBUTTON : 0;
    state |= buttons & Qt::MiddleButton ? MK_MBUTTON : 0;
    return state;
}

// The effect a drop would have before the callback has its say: a copy with Ctrl held or
// when the source only offers copies, else a move.
DWORD ProposedEffect(const QDropEvent* event) {
    const Qt::DropActions offered = event->possibleActions();
    if ((event->modifiers() & Qt::ControlModifier) || !(offered & Qt::MoveAction)) {
        return offered & Qt::CopyAction ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    }
    return DROPEFFECT_MOVE;
}

} // namespace

std::optional<LRESULT> RichEditControl::ObjectMessage(UINT msg, WPARAM, LPARAM lParam) {
    switch (msg) {
    case EM_GETOLEINTERFACE:
        return GetOleInterface(lParam);
    case EM_SETOLECALLBACK:
        return SetOleCallback(lParam);
    case WM_CONTEXTMENU:
        ObjectContextMenu();
        return std::nullopt; // then the default handling: the parent's menu, if any
    default:
        return std::nullopt;
    }
}

LRESULT RichEditControl::GetOleInterface(LPARAM lParam) {
    auto** out = reinterpret_cast<IRichEditOle**>(lParam);
    if (!out) {
        return 0;
    }
    *out = ole_.Get();
    if (*out) {
        (*out)->AddRef();
    }
    return *out ? 1 : 0;
}

LRESULT RichEditControl::SetOleCallback(LPARAM lParam) {
    callback_ =
        ComPtr<IRichEditOleCallback>::Share(reinterpret_cast<IRichEditOleCallback*>(lParam));
    return 1;
}

void RichEditControl::ObjectContextMenu() {
    if (!callback_) {
        return;
    }
    const Selection s = doc_.TextSelection();
    CHARRANGE range{LONG(s.min), LONG(s.max)};
    const ObjectEntry* selected = objectTable_.Find(SelectedObject());
    HMENU menu = 0;
    callback_->GetContextMenu(SelectionType(), selected ? selected->object.Get() : nullptr, &range,
                              &menu);
    // A menu handed back would be shown and then destroyed by the control. This window
    // layer has no menus of its own (HMENU is only a number here), so there is nothing to
    // show and nothing to free; the menu's owner keeps it.
}

bool RichEditControl::ClipboardFromCallback(const Selection& range, DWORD reco) {
    if (!callback_) {
        return false;
    }
    CHARRANGE chrg{LONG(range.min), LONG(range.max)};
    ComPtr<IDataObject> data;
    if (FAILED(callback_->GetClipboardData(&chrg, reco, data.Put())) || !data) {
        return false;
    }
    clipboardData_ = data;
    return true;
}

bool RichEditControl::DropEvent(QDropEvent* event, bool drop) {
    const QMimeData* mime = event->mimeData();
    const bool rtf = mime && (mime->hasFormat(RtfMimeTypes[0]) || mime->hasFormat(RtfMimeTypes[1]));
    if (ReadOnly() || !mime || !(rtf || mime->hasText())) {
        return false;
    }
    const ObjectScope scope(*this);
    DWORD effect = ProposedEffect(event);
    if (callback_) {
        callback_->GetDragDropEffect(FALSE, KeyStateOf(event), &effect);
    }
    if (effect == DROPEFFECT_NONE) {
        return false;
    }
    event->setDropAction(effect & DROPEFFECT_COPY   ? Qt::CopyAction
                         : effect & DROPEFFECT_MOVE ? Qt::MoveAction
                                                    : Qt::LinkAction);
    if (!drop) {
        return true;
    }
    const QPointF at = event->position();
    const Pos pos = PositionFromPoint(int(at.x()), int(at.y()));
    SetSelection(pos, pos);
    if (!ProtectedChangeAllowed(pos, pos, WM_PASTE, 0, 0)) {
        return false;
    }
    if (rtf && InsertRtf(mime->data(mime->hasFormat(RtfMimeTypes[0]) ? RtfMimeTypes[0]
                                                                     : RtfMimeTypes[1]))) {
        return true;
    }
    if (!mime->hasText()) {
        return false; // unreadable RTF and nothing else to take
    }
    return ReplaceSelection(mime->text().toStdU16String(), true, WM_PASTE, 0, 0);
}
