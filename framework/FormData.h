#pragma once
// Internal to the form-data reader and writer: texts in the JSON are Unicode; the framework's
// strings are 8-bit text in the system's ANSI code page.

#include "platform/locale/Locale.h"

#include <QString>
#include <string>

namespace formdata {

inline std::string FromJsonString(const QString& text) {
    return WideToAnsi(std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                     static_cast<size_t>(text.size())),
                      CP_ACP);
}

inline QString ToJsonString(const std::string& text) {
    const std::u16string wide = AnsiToWide(text, CP_ACP);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

} // namespace formdata
