// 8-bit <-> UTF-16 conversion on ICU converters, with the platform's argument rules and its
// lenient behaviour: a character the code page lacks becomes the default character, and a
// malformed byte sequence becomes one default character instead of stopping the conversion.

#include "platform/locale/LocaleData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unordered_map>

namespace {

constexpr UINT kCodePageMac = 10000;
constexpr char16_t kReplacementChar = 0xFFFD;

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

std::string IcuConverterName(UINT codePage, int attempt) {
    switch (codePage) {
    case kCodePageMac:
        return attempt == 0 ? "macintosh" : "";
    case 20127:
        return attempt == 0 ? "US-ASCII" : "";
    case CP_UTF8:
        return attempt == 0 ? "UTF-8" : "";
    case CP_UTF7:
        return attempt == 0 ? "UTF-7" : "";
    case 54936:
        return attempt == 0 ? "GB18030" : "";
    // UTF-16 and UTF-32 are not 8-bit code pages; the platform refuses them here.
    case 1200:
    case 1201:
    case 12000:
    case 12001:
        return "";
    default:
        break;
    }
    if (codePage >= 28591 && codePage <= 28605)
        return attempt == 0 ? "ISO-8859-" + std::to_string(codePage - 28590) : "";
    // The "windows-" spelling first: "cp949" and friends name IBM tables that differ.
    switch (attempt) {
    case 0:
        return "windows-" + std::to_string(codePage);
    case 1:
        return "ibm-" + std::to_string(codePage);
    default:
        return "";
    }
}

struct Converter {
    ConverterPtr converter;
    // ICU's IBM-derived tables (932, the OEM code pages) trade 0x1A, 0x1C and 0x7F among
    // U+001A, U+001C and U+007F; the platform maps those bytes to themselves.
    bool swapsControls = false;
};

bool SwapsControls(UConverter* converter) {
    const char byte = 0x1A;
    const char* source = &byte;
    UChar unit = 0;
    UChar* target = &unit;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, target + 1, &source, source + 1, nullptr, true, &status);
    ucnv_reset(converter);
    return U_SUCCESS(status) && target == &unit + 1 && unit == 0x1C;
}

// The platform's control code for what an IBM-derived table decoded, and the reverse.
char16_t ControlFromIbm(char16_t c) {
    return c == 0x1C ? 0x1A : c == 0x7F ? 0x1C : c == 0x1A ? 0x7F : c;
}
char16_t ControlToIbm(char16_t c) {
    return c == 0x1A ? 0x1C : c == 0x1C ? 0x7F : c == 0x7F ? 0x1A : c;
}

// One converter per code page and thread: converters keep state, and conversions happen on
// whatever thread calls (the UI thread in practice, lookups possibly elsewhere).
const Converter& ConverterFor(UINT codePage) {
    thread_local std::unordered_map<UINT, Converter> cache;
    auto it = cache.find(codePage);
    if (it == cache.end()) {
        ConverterPtr converter;
        for (int attempt = 0; !converter; ++attempt) {
            const std::string name = IcuConverterName(codePage, attempt);
            if (name.empty())
                break;
            UErrorCode status = U_ZERO_ERROR;
            UConverter* c = ucnv_open(name.c_str(), &status);
            if (U_SUCCESS(status))
                converter.reset(c);
            else if (c)
                ucnv_close(c);
        }
        const bool swaps = converter && SwapsControls(converter.get());
        it = cache.emplace(codePage, Converter{std::move(converter), swaps}).first;
    }
    return it->second;
}

UINT ActualCodePage(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
        return GetACP();
    case CP_OEMCP:
        return GetOEMCP();
    case CP_THREAD_ACP: {
        const auto user = ResolveLocale(GetUserDefaultLCID());
        return user ? TextCodePage(*user) : GetACP();
    }
    case CP_MACCP:
        return kCodePageMac;
    default:
        return codePage;
    }
}

bool IsUnicodeCodePage(UINT codePage) {
    return codePage == CP_UTF8 || codePage == CP_UTF7;
}

struct DecodeState {
    char16_t defaultChar;
    bool strict;
    bool invalid = false;
};

void U_CALLCONV DecodeCallback(const void* context, UConverterToUnicodeArgs* args, const char*,
                               int32_t, UConverterCallbackReason reason, UErrorCode* error) {
    if (reason > UCNV_IRREGULAR)
        return;
    auto* state = static_cast<DecodeState*>(const_cast<void*>(context));
    if (state->strict) {
        state->invalid = true;
        return; // the error stays set and ends the conversion
    }
    *error = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, reinterpret_cast<const UChar*>(&state->defaultChar), 1, 0, error);
}

struct EncodeState {
    std::string defaultBytes;
    bool strict;
    bool invalid = false;
    bool usedDefault = false;
};

void U_CALLCONV EncodeCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*,
                               int32_t length, UChar32, UConverterCallbackReason reason,
                               UErrorCode* error) {
    if (reason > UCNV_IRREGULAR)
        return;
    auto* state = static_cast<EncodeState*>(const_cast<void*>(context));
    if (state->strict) {
        state->invalid = true;
        return;
    }
    *error = U_ZERO_ERROR;
    state->usedDefault = true;
    // One default character per UTF-16 unit, as the platform does for a surrogate pair.
    for (int32_t i = 0; i < length && U_SUCCESS(*error); ++i)
        ucnv_cbFromUWriteBytes(args, state->defaultBytes.data(),
                               int32_t(state->defaultBytes.size()), 0, error);
}

// Symbol fonts keep their glyphs in the private use area U+F020..U+F0FF.
std::u16string DecodeSymbol(const char* src, size_t n) {
    std::u16string out(n, u'\0');
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(src[i]);
        out[i] = b < 0x20 ? char16_t(b) : char16_t(0xF000 + b);
    }
    return out;
}

std::string EncodeSymbol(const char16_t* src, size_t n, char defaultChar, bool& usedDefault) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = src[i];
        if (c < 0x20)
            out[i] = char(c);
        else if (c >= 0xF020 && c <= 0xF0FF)
            out[i] = char(c - 0xF000);
        else {
            out[i] = defaultChar;
            usedDefault = true;
        }
    }
    return out;
}

// Converts the whole input; false with `error` set when the code page is unknown or, in
// strict mode, the input is malformed.
bool Decode(UINT codePage, bool strict, const char* src, size_t n, std::u16string& out,
            DWORD& error) {
    if (codePage == CP_SYMBOL) {
        out = DecodeSymbol(src, n);
        return true;
    }
    const Converter& entry = ConverterFor(codePage);
    UConverter* converter = entry.converter.get();
    if (!converter) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    DecodeState state{IsUnicodeCodePage(codePage) ? kReplacementChar : u'?', strict};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    ucnv_setToUCallBack(converter, DecodeCallback, &state, nullptr, nullptr, &status);

    out.assign(n + 16, u'\0');
    const char* source = src;
    const char* sourceEnd = src + n;
    size_t written = 0;
    for (;;) {
        UChar* target = reinterpret_cast<UChar*>(out.data()) + written;
        UChar* targetEnd = reinterpret_cast<UChar*>(out.data()) + out.size();
        status = U_ZERO_ERROR;
        ucnv_toUnicode(converter, &target, targetEnd, &source, sourceEnd, nullptr, true, &status);
        written = size_t(target - reinterpret_cast<UChar*>(out.data()));
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        out.resize(out.size() * 2);
    }
    out.resize(written);
    if (U_FAILURE(status)) {
        error = state.invalid ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_PARAMETER;
        return false;
    }
    if (entry.swapsControls) {
        for (char16_t& c : out)
            c = ControlFromIbm(c);
    }
    return true;
}

bool Encode(UINT codePage, bool strict, const char16_t* src, size_t n, const char* defaultChar,
            std::string& out, bool& usedDefault, DWORD& error) {
    usedDefault = false;
    if (codePage == CP_SYMBOL) {
        out = EncodeSymbol(src, n, defaultChar ? *defaultChar : '?', usedDefault);
        return true;
    }
    const Converter& entry = ConverterFor(codePage);
    UConverter* converter = entry.converter.get();
    if (!converter) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    std::u16string swapped;
    if (entry.swapsControls) {
        swapped.assign(src, n);
        for (char16_t& c : swapped)
            c = ControlToIbm(c);
        src = swapped.data();
    }
    EncodeState state{IsUnicodeCodePage(codePage) ? std::string("\xEF\xBF\xBD")
                      : defaultChar               ? std::string(1, *defaultChar)
                                                  : std::string("?"),
                      strict};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    ucnv_setFromUCallBack(converter, EncodeCallback, &state, nullptr, nullptr, &status);

    out.assign(n * 2 + 16, '\0');
    const UChar* source = reinterpret_cast<const UChar*>(src);
    const UChar* sourceEnd = source + n;
    size_t written = 0;
    for (;;) {
        char* target = out.data() + written;
        status = U_ZERO_ERROR;
        ucnv_fromUnicode(converter, &target, out.data() + out.size(), &source, sourceEnd, nullptr,
                         true, &status);
        written = size_t(target - out.data());
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        out.resize(out.size() * 2);
    }
    out.resize(written);
    usedDefault = state.usedDefault;
    if (U_FAILURE(status)) {
        error = state.invalid ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_PARAMETER;
        return false;
    }
    return true;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// Copies a result into the caller's buffer with the platform's sizing rules: size 0 asks for
// the length, a short buffer is an error.
template <typename Char> int Deliver(const std::basic_string<Char>& result, Char* dst, int dstLen) {
    if (result.size() > size_t(INT32_MAX))
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    const int needed = int(result.size());
    if (dstLen == 0)
        return needed;
    if (needed > dstLen) {
        std::memcpy(dst, result.data(), size_t(dstLen) * sizeof(Char));
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(dst, result.data(), result.size() * sizeof(Char));
    return needed;
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, WCHAR* dst,
                        int dstLen) {
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst))
        return Fail(ERROR_INVALID_PARAMETER);
    codePage = ActualCodePage(codePage);
    const DWORD allowed =
        IsUnicodeCodePage(codePage)
            ? (codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0)
            : MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if (flags & ~allowed)
        return Fail(ERROR_INVALID_FLAGS);
    const size_t n = srcLen == -1 ? std::strlen(src) + 1 : size_t(srcLen);
    std::u16string result;
    DWORD error = 0;
    if (!Decode(codePage, (flags & MB_ERR_INVALID_CHARS) != 0, src, n, result, error))
        return Fail(error);
    return Deliver(result, dst, dstLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, BOOL* usedDefaultChar) {
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst))
        return Fail(ERROR_INVALID_PARAMETER);
    codePage = ActualCodePage(codePage);
    if (IsUnicodeCodePage(codePage)) {
        // The Unicode code pages have no default character to choose or report.
        if (defaultChar || usedDefaultChar)
            return Fail(ERROR_INVALID_PARAMETER);
        if (flags & ~(codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0))
            return Fail(ERROR_INVALID_FLAGS);
    } else if (flags & ~(WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_COMPOSITECHECK |
                         WC_NO_BEST_FIT_CHARS)) {
        return Fail(ERROR_INVALID_FLAGS);
    }
    size_t n = 0;
    if (srcLen == -1) {
        while (src[n] != 0)
            ++n;
        ++n;
    } else {
        n = size_t(srcLen);
    }
    std::string result;
    bool used = false;
    DWORD error = 0;
    if (!Encode(codePage, (flags & WC_ERR_INVALID_CHARS) != 0, src, n, defaultChar, result, used,
                error))
        return Fail(error);
    if (usedDefaultChar)
        *usedDefaultChar = used ? TRUE : FALSE;
    return Deliver(result, dst, dstLen);
}

std::u16string AnsiToWide(const std::string& text, UINT codePage) {
    std::u16string result;
    if (text.empty())
        return result;
    DWORD error = 0;
    if (!Decode(ActualCodePage(codePage), false, text.data(), text.size(), result, error))
        SetLastError(error);
    return result;
}

bool AnsiToWideChecked(const std::string& text, UINT codePage, std::u16string& wide) {
    wide = AnsiToWide(text, codePage);
    if (!wide.empty() || text.empty())
        return true;
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        wide.assign(text.begin(), text.end());
        return true;
    }
    return false;
}

std::string WideToAnsi(const std::u16string& text, UINT codePage) {
    std::string result;
    if (text.empty())
        return result;
    bool used = false;
    DWORD error = 0;
    if (!Encode(ActualCodePage(codePage), false, text.data(), text.size(), nullptr, result, used,
                error))
        SetLastError(error);
    return result;
}
