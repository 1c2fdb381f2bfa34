// Font character set <-> code page (TranslateCharsetInfo). Only character sets with a fixed
// code page are listed; the default, OEM and Macintosh sets are not, as on the platform.

#include "platform/locale/Locale.h"

#include <array>
#include <cstring>

namespace {

struct CharsetEntry {
    BYTE charset;
    UINT codePage;
    DWORD fontSignature; // the bit in fsCsb[0]
};

constexpr std::array kCharsets = {
    CharsetEntry{ANSI_CHARSET, 1252, 0x00000001},
    CharsetEntry{EASTEUROPE_CHARSET, 1250, 0x00000002},
    CharsetEntry{RUSSIAN_CHARSET, 1251, 0x00000004},
    CharsetEntry{GREEK_CHARSET, 1253, 0x00000008},
    CharsetEntry{TURKISH_CHARSET, 1254, 0x00000010},
    CharsetEntry{HEBREW_CHARSET, 1255, 0x00000020},
    CharsetEntry{ARABIC_CHARSET, 1256, 0x00000040},
    CharsetEntry{BALTIC_CHARSET, 1257, 0x00000080},
    CharsetEntry{VIETNAMESE_CHARSET, 1258, 0x00000100},
    CharsetEntry{THAI_CHARSET, 874, 0x00010000},
    CharsetEntry{SHIFTJIS_CHARSET, 932, 0x00020000},
    CharsetEntry{GB2312_CHARSET, 936, 0x00040000},
    CharsetEntry{HANGUL_CHARSET, 949, 0x00080000},
    CharsetEntry{CHINESEBIG5_CHARSET, 950, 0x00100000},
    CharsetEntry{JOHAB_CHARSET, 1361, 0x00200000},
    CharsetEntry{SYMBOL_CHARSET, CP_SYMBOL, 0x80000000},
};

const CharsetEntry* Find(std::uintptr_t source, DWORD flags) {
    if (flags == TCI_SRCFONTSIG) {
        // The key is the address of the signature's code-page bits; the lowest bit set wins.
        DWORD bits = 0;
        std::memcpy(&bits, reinterpret_cast<const void*>(source), sizeof bits);
        for (const CharsetEntry& e : kCharsets) {
            if (bits & e.fontSignature)
                return &e;
        }
        return nullptr;
    }
    for (const CharsetEntry& e : kCharsets) {
        if ((flags == TCI_SRCCHARSET && source == e.charset) ||
            (flags == TCI_SRCCODEPAGE && source == e.codePage))
            return &e;
    }
    return nullptr;
}

} // namespace

BOOL TranslateCharsetInfo(std::uintptr_t source, CHARSETINFO* info, DWORD flags) {
    if (!info || (flags == TCI_SRCFONTSIG && source == 0))
        return FALSE;
    if (flags != TCI_SRCCHARSET && flags != TCI_SRCCODEPAGE && flags != TCI_SRCFONTSIG)
        return FALSE;
    const CharsetEntry* e = Find(source, flags);
    if (!e)
        return FALSE;
    *info = CHARSETINFO{};
    info->ciCharset = e->charset;
    info->ciACP = e->codePage;
    info->fs.fsCsb[0] = e->fontSignature;
    return TRUE;
}
