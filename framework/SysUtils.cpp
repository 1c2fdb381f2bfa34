#include "framework/SysUtils.h"

#include "framework/Exceptions.h"
#include "platform/locale/Locale.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>

namespace {

bool ParseInt(const std::string& S, int& Value) {
    size_t i = 0;
    while (i < S.size() && S[i] == ' ')
        ++i;
    bool negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-'))
        negative = S[i++] == '-';

    bool hex = false;
    if (i < S.size() && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == S.size())
        return false;

    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < S.size(); ++i) {
        const char c = S[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    // Hexadecimal fills the 32 bits as they are; the sign then negates the result.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    const auto value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    Value = value;
    return true;
}

} // namespace

bool TryStrToInt(const std::string& S, int& Value) {
    return ParseInt(S, Value);
}

int StrToInt(const std::string& S) {
    int value = 0;
    if (!ParseInt(S, value))
        throw EConvertError(Format(SInvalidInteger, S));
    return value;
}

int StrToIntDef(const std::string& S, int Default) {
    int value = 0;
    return ParseInt(S, value) ? value : Default;
}

std::string IntToStr(long long Value) {
    return std::to_string(Value);
}

std::string IntToHex(unsigned long long Value, int Digits) {
    static const char* digits = "0123456789ABCDEF";
    std::string reversed;
    do {
        reversed.push_back(digits[Value & 0xF]);
        Value >>= 4;
    } while (Value);
    while (static_cast<int>(reversed.size()) < Digits)
        reversed.push_back('0');
    return std::string(reversed.rbegin(), reversed.rend());
}

std::string UpperCase(std::string S) {
    for (char& c : S)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return S;
}

std::string LowerCase(std::string S) {
    for (char& c : S)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return S;
}

int CompareText(const std::string& A, const std::string& B) {
    const std::string a = UpperCase(A);
    const std::string b = UpperCase(B);
    return a < b ? -1 : (a == b ? 0 : 1);
}

bool SameText(const std::string& A, const std::string& B) {
    return CompareText(A, B) == 0;
}

int AnsiCompareText(const std::string& A, const std::string& B) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(),
                          static_cast<int>(A.size()), B.data(), static_cast<int>(B.size())) -
           2;
}

std::string Trim(const std::string& S) {
    size_t first = 0;
    size_t last = S.size();
    while (first < last && static_cast<unsigned char>(S[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(S[last - 1]) <= ' ')
        --last;
    return S.substr(first, last - first);
}

std::string ExpandFileName(const std::string& FileName) {
    if (FileName.empty())
        return FileName;
    return QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(FileName)).absoluteFilePath())
        .toLocal8Bit()
        .toStdString();
}

std::string CurrentTimeText() {
    char buffer[128] = {};
    const int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}

std::string CurrentDateText() {
    char buffer[128] = {};
    const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer,
                                 sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}
