#pragma once
// The language type shared by the rich text control and the wide string list, and what a
// language implies for text: its ANSI code page and its font character set.

#include "platform/locale/Locale.h"

// A 16-bit language identifier (1043 is Dutch as used in the Netherlands).
using TLanguage = WORD;

// The ANSI code page of a language, as the locale information reports it (decimal digits);
// the system's ANSI code page when that is not a number. A language without an ANSI code
// page reports 0, which the conversions take as the system's code page.
WORD CodePageOfLanguage(TLanguage Language);

// The font character set that matches the language's ANSI code page; false when the
// platform knows none (the caller keeps its character set then).
bool CharsetOfLanguage(TLanguage Language, BYTE& Charset);
