#pragma once
// Internal to the controls: the glue between a window record and the Qt widget that shows it.

#include "platform/window/Window.h"

#include <QString>
#include <string>

namespace widgetbridge {

// Window texts are 8-bit text in the system's ANSI code page, as the platform's ANSI calls.
QString ToQString(const std::string& ansi);
std::string FromQString(const QString& text);
std::u16string ToWide(const std::string& ansi);
std::string FromWide(const std::u16string& text);

// Tells the parent window of hwnd about a change, as a command notification (WM_COMMAND
// with the child's identifier and the code, lParam the child), from an entry out of Qt.
void NotifyParent(HWND hwnd, WORD code);

} // namespace widgetbridge
