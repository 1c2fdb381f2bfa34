#pragma once
// String conversions and comparisons, file names, and the current time and date as text.

#include <string>

// Text to a 32-bit integer as the framework's Val reads it: leading blanks, an optional sign,
// decimal digits or hexadecimal after "$", "x", "X", "0x" or "0X" (hexadecimal may fill all
// 32 bits, so "$FFFFFFFF" is -1). Anything else, an empty text or a value out of range raises
// EConvertError "'%s' is not a valid integer value".
int StrToInt(const std::string& S);
int StrToIntDef(const std::string& S, int Default);
bool TryStrToInt(const std::string& S, int& Value);
std::string IntToStr(long long Value);
std::string IntToHex(unsigned long long Value, int Digits);

// ASCII-only case-insensitive comparison (names, identifiers).
int CompareText(const std::string& A, const std::string& B);
bool SameText(const std::string& A, const std::string& B);
// Case-insensitive comparison in the user's locale, of text in the system's ANSI code page.
int AnsiCompareText(const std::string& A, const std::string& B);
std::string UpperCase(std::string S); // ASCII letters only
std::string LowerCase(std::string S);
std::string Trim(const std::string& S);

// The absolute form of a file name, without resolving links.
std::string ExpandFileName(const std::string& FileName);

// The current time in the user's long time format, and the current date in the user's short
// date format.
std::string CurrentTimeText();
std::string CurrentDateText();
