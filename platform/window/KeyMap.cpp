// Qt keys as the platform's virtual keys, and the characters a key press types, as the
// platform's message translation gives them (US layout for the punctuation keys).
#include "platform/window/InputBridge.h"

#include <QKeyEvent>

namespace windowing {

namespace {

// Shifted digits report the symbol on X11 and in Qt; the platform reports the digit key.
int DigitKeyOfSymbol(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Exclam:
        return '1';
    case Qt::Key_At:
        return '2';
    case Qt::Key_NumberSign:
        return '3';
    case Qt::Key_Dollar:
        return '4';
    case Qt::Key_Percent:
        return '5';
    case Qt::Key_AsciiCircum:
        return '6';
    case Qt::Key_Ampersand:
        return '7';
    case Qt::Key_Asterisk:
        return '8';
    case Qt::Key_ParenLeft:
        return '9';
    case Qt::Key_ParenRight:
        return '0';
    default:
        return 0;
    }
}

int KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return VK_NUMPAD0 + (qtKey - Qt::Key_0);
    switch (qtKey) {
    case Qt::Key_Asterisk:
        return VK_MULTIPLY;
    case Qt::Key_Plus:
        return VK_ADD;
    case Qt::Key_Minus:
        return VK_SUBTRACT;
    case Qt::Key_Period:
    case Qt::Key_Comma:
        return VK_DECIMAL;
    case Qt::Key_Slash:
        return VK_DIVIDE;
    default:
        return 0;
    }
}

int PunctuationKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return VK_OEM_1;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return VK_OEM_PLUS;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return VK_OEM_COMMA;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return VK_OEM_MINUS;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return VK_OEM_PERIOD;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return VK_OEM_2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return VK_OEM_7;
    default:
        return 0;
    }
}

// Keys that never type a character, whatever text Qt attaches (X11 gives Delete "\x7f").
bool TypesNothing(int vk) {
    return (vk >= VK_PRIOR && vk <= VK_HELP) || (vk >= VK_F1 && vk <= VK_F1 + 23) ||
           vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_PAUSE ||
           vk == VK_CAPITAL || vk == VK_LWIN || vk == VK_LWIN + 1 || vk == VK_APPS ||
           vk == VK_NUMLOCK || vk == VK_SCROLL || vk == VK_CLEAR;
}

} // namespace

int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (modifiers & Qt::KeypadModifier) {
        if (const int vk = KeypadKey(qtKey))
            return vk;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return VK_F1 + (qtKey - Qt::Key_F1);
    if (const int digit = DigitKeyOfSymbol(qtKey))
        return digit;
    if (const int vk = PunctuationKey(qtKey))
        return vk;
    switch (qtKey) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Clear:
        return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return VK_MENU;
    case Qt::Key_Pause:
        return VK_PAUSE;
    case Qt::Key_CapsLock:
        return VK_CAPITAL;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Print:
        return VK_SNAPSHOT;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Help:
        return VK_HELP;
    case Qt::Key_Meta:
        return VK_LWIN;
    case Qt::Key_Menu:
        return VK_APPS;
    case Qt::Key_NumLock:
        return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
        return VK_SCROLL;
    default:
        return 0;
    }
}

bool IsExtendedKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (qtKey) {
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        // The same keys on the number pad (Num Lock off) are not extended.
        return !keypad;
    case Qt::Key_Enter:
    case Qt::Key_NumLock:
    case Qt::Key_Print:
    case Qt::Key_Menu:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Slash:
        return keypad;
    default:
        return false;
    }
}

std::u16string TypedUnits(const QKeyEvent& event, int virtualKey) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    switch (virtualKey) {
    case VK_BACK:
        return ctrl ? u"\x7f" : u"\b";
    case VK_TAB:
        return ctrl ? u"" : u"\t";
    case VK_RETURN:
        return ctrl ? u"\n" : u"\r";
    case VK_ESCAPE:
        return u"\x1b";
    default:
        break;
    }
    if (TypesNothing(virtualKey))
        return {};
    // Control with a letter types the control character; Ctrl+Alt is AltGr and types text.
    if (ctrl && !alt) {
        if (virtualKey >= 'A' && virtualKey <= 'Z')
            return std::u16string(1, static_cast<char16_t>(virtualKey - 'A' + 1));
        switch (virtualKey) {
        case VK_OEM_4:
            return u"\x1b";
        case VK_OEM_5:
            return u"\x1c";
        case VK_OEM_6:
            return u"\x1d";
        case VK_SPACE:
            return u" ";
        default:
            return {};
        }
    }
    std::u16string units;
    const QString text = event.text();
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= 0x20 && unit != 0x7f)
            units.push_back(unit);
    }
    return units;
}

} // namespace windowing
