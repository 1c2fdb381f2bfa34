// Language identifiers: our table of languages with their code pages, the mapping from the
// process locale to the default identifiers, and the resolution of the special identifiers.

#include "platform/locale/LocaleData.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <unicode/uloc.h>
#include <unordered_map>

namespace {

// Picture formats are listed where the platform's differ from what ICU would suggest or
// where callers are known to depend on them; the others are derived from ICU.
constexpr std::array kLocales = {
    LocaleRecord{0x0409, "en-US", 1252, 437, "ENU", "h:mm:ss tt", "M/d/yyyy", "dddd, MMMM d, yyyy"},
    LocaleRecord{0x0809, "en-GB", 1252, 850, "ENG", "HH:mm:ss", "dd/MM/yyyy", "dd MMMM yyyy"},
    LocaleRecord{0x0C09, "en-AU", 1252, 850, "ENA", nullptr, nullptr, nullptr},
    LocaleRecord{0x1009, "en-CA", 1252, 850, "ENC", nullptr, nullptr, nullptr},
    LocaleRecord{0x1409, "en-NZ", 1252, 850, "ENZ", nullptr, nullptr, nullptr},
    LocaleRecord{0x1809, "en-IE", 1252, 850, "ENI", nullptr, nullptr, nullptr},
    LocaleRecord{0x0413, "nl-NL", 1252, 850, "NLD", "H:mm:ss", "d-M-yyyy", "dddd d MMMM yyyy"},
    LocaleRecord{0x0813, "nl-BE", 1252, 850, "NLB", "H:mm:ss", "d/MM/yyyy", "dddd d MMMM yyyy"},
    LocaleRecord{0x0407, "de-DE", 1252, 850, "DEU", "HH:mm:ss", "dd.MM.yyyy", "dddd, d. MMMM yyyy"},
    LocaleRecord{0x0C07, "de-AT", 1252, 850, "DEA", nullptr, nullptr, nullptr},
    LocaleRecord{0x0807, "de-CH", 1252, 850, "DES", nullptr, nullptr, nullptr},
    LocaleRecord{0x040C, "fr-FR", 1252, 850, "FRA", "HH:mm:ss", "dd/MM/yyyy", "dddd d MMMM yyyy"},
    LocaleRecord{0x080C, "fr-BE", 1252, 850, "FRB", nullptr, nullptr, nullptr},
    LocaleRecord{0x0C0C, "fr-CA", 1252, 850, "FRC", nullptr, nullptr, nullptr},
    LocaleRecord{0x100C, "fr-CH", 1252, 850, "FRS", nullptr, nullptr, nullptr},
    LocaleRecord{0x0410, "it-IT", 1252, 850, "ITA", "HH:mm:ss", "dd/MM/yyyy", "dddd d MMMM yyyy"},
    LocaleRecord{0x0810, "it-CH", 1252, 850, "ITS", nullptr, nullptr, nullptr},
    LocaleRecord{0x0C0A, "es-ES", 1252, 850, "ESN", "H:mm:ss", "dd/MM/yyyy",
                 "dddd, d' de 'MMMM' de 'yyyy"},
    LocaleRecord{0x040A, "es-ES-u-co-trad", 1252, 850, "ESP", "H:mm:ss", "dd/MM/yyyy",
                 "dddd, d' de 'MMMM' de 'yyyy"},
    LocaleRecord{0x080A, "es-MX", 1252, 850, "ESM", nullptr, nullptr, nullptr},
    LocaleRecord{0x0406, "da-DK", 1252, 850, "DAN", nullptr, nullptr, nullptr},
    LocaleRecord{0x040B, "fi-FI", 1252, 850, "FIN", nullptr, nullptr, nullptr},
    LocaleRecord{0x0414, "nb-NO", 1252, 850, "NOR", nullptr, nullptr, nullptr},
    LocaleRecord{0x041D, "sv-SE", 1252, 850, "SVE", nullptr, nullptr, nullptr},
    LocaleRecord{0x040F, "is-IS", 1252, 850, "ISL", nullptr, nullptr, nullptr},
    LocaleRecord{0x0416, "pt-BR", 1252, 850, "PTB", nullptr, nullptr, nullptr},
    LocaleRecord{0x0816, "pt-PT", 1252, 850, "PTG", nullptr, nullptr, nullptr},
    LocaleRecord{0x0403, "ca-ES", 1252, 850, "CAT", nullptr, nullptr, nullptr},
    LocaleRecord{0x042D, "eu-ES", 1252, 850, "EUQ", nullptr, nullptr, nullptr},
    LocaleRecord{0x0456, "gl-ES", 1252, 850, "GLC", nullptr, nullptr, nullptr},
    LocaleRecord{0x0421, "id-ID", 1252, 850, "IND", nullptr, nullptr, nullptr},
    LocaleRecord{0x043E, "ms-MY", 1252, 850, "MSL", nullptr, nullptr, nullptr},
    LocaleRecord{0x0436, "af-ZA", 1252, 850, "AFK", nullptr, nullptr, nullptr},
    LocaleRecord{0x0415, "pl-PL", 1250, 852, "PLK", "HH:mm:ss", "yyyy-MM-dd", "d MMMM yyyy"},
    LocaleRecord{0x0405, "cs-CZ", 1250, 852, "CSY", nullptr, nullptr, nullptr},
    LocaleRecord{0x040E, "hu-HU", 1250, 852, "HUN", nullptr, nullptr, nullptr},
    LocaleRecord{0x041A, "hr-HR", 1250, 852, "HRV", nullptr, nullptr, nullptr},
    LocaleRecord{0x041B, "sk-SK", 1250, 852, "SKY", nullptr, nullptr, nullptr},
    LocaleRecord{0x0424, "sl-SI", 1250, 852, "SLV", nullptr, nullptr, nullptr},
    LocaleRecord{0x0418, "ro-RO", 1250, 852, "ROM", nullptr, nullptr, nullptr},
    LocaleRecord{0x041C, "sq-AL", 1250, 852, "SQI", nullptr, nullptr, nullptr},
    LocaleRecord{0x081A, "sr-Latn-RS", 1250, 852, "SRL", nullptr, nullptr, nullptr},
    LocaleRecord{0x0419, "ru-RU", 1251, 866, "RUS", "H:mm:ss", "dd.MM.yyyy", "d MMMM yyyy 'г.'"},
    LocaleRecord{0x0422, "uk-UA", 1251, 866, "UKR", nullptr, nullptr, nullptr},
    LocaleRecord{0x0402, "bg-BG", 1251, 866, "BGR", nullptr, nullptr, nullptr},
    LocaleRecord{0x0423, "be-BY", 1251, 866, "BEL", nullptr, nullptr, nullptr},
    LocaleRecord{0x042F, "mk-MK", 1251, 866, "MKI", nullptr, nullptr, nullptr},
    LocaleRecord{0x0C1A, "sr-Cyrl-RS", 1251, 855, "SRB", nullptr, nullptr, nullptr},
    LocaleRecord{0x043F, "kk-KZ", 1251, 866, "KKZ", nullptr, nullptr, nullptr},
    LocaleRecord{0x0408, "el-GR", 1253, 737, "ELL", nullptr, nullptr, nullptr},
    LocaleRecord{0x041F, "tr-TR", 1254, 857, "TRK", "HH:mm:ss", "dd.MM.yyyy", "dd MMMM yyyy dddd"},
    LocaleRecord{0x042C, "az-Latn-AZ", 1254, 857, "AZE", nullptr, nullptr, nullptr},
    LocaleRecord{0x040D, "he-IL", 1255, 862, "HEB", nullptr, nullptr, nullptr},
    LocaleRecord{0x0401, "ar-SA", 1256, 720, "ARA", nullptr, nullptr, nullptr},
    LocaleRecord{0x0C01, "ar-EG", 1256, 720, "ARE", nullptr, nullptr, nullptr},
    LocaleRecord{0x0429, "fa-IR", 1256, 720, "FAR", nullptr, nullptr, nullptr},
    LocaleRecord{0x0420, "ur-PK", 1256, 720, "URD", nullptr, nullptr, nullptr},
    LocaleRecord{0x0425, "et-EE", 1257, 775, "ETI", nullptr, nullptr, nullptr},
    LocaleRecord{0x0426, "lv-LV", 1257, 775, "LVI", nullptr, nullptr, nullptr},
    LocaleRecord{0x0427, "lt-LT", 1257, 775, "LTH", nullptr, nullptr, nullptr},
    LocaleRecord{0x042A, "vi-VN", 1258, 1258, "VIT", nullptr, nullptr, nullptr},
    LocaleRecord{0x041E, "th-TH", 874, 874, "THA", nullptr, nullptr, nullptr},
    LocaleRecord{0x0411, "ja-JP", 932, 932, "JPN", "H:mm:ss", "yyyy/MM/dd", "yyyy'年'M'月'd'日'"},
    LocaleRecord{0x0804, "zh-CN", 936, 936, "CHS", nullptr, nullptr, nullptr},
    LocaleRecord{0x1004, "zh-SG", 936, 936, "ZHI", nullptr, nullptr, nullptr},
    LocaleRecord{0x0404, "zh-TW", 950, 950, "CHT", nullptr, nullptr, nullptr},
    LocaleRecord{0x0C04, "zh-HK", 950, 950, "ZHH", nullptr, nullptr, nullptr},
    LocaleRecord{0x1404, "zh-MO", 950, 950, "ZHM", nullptr, nullptr, nullptr},
    LocaleRecord{0x0412, "ko-KR", 949, 949, "KOR", nullptr, nullptr, nullptr},
    // Unicode-only: no ANSI code page (0) and the OEM code page reported as 1.
    LocaleRecord{0x0439, "hi-IN", 0, 1, "HIN", nullptr, nullptr, nullptr},
    LocaleRecord{0x007F, "und", 1252, 437, "IVL", "HH:mm:ss", "MM/dd/yyyy", "dddd, dd MMMM yyyy"},
};

constexpr LCID kEnglishUS = 0x0409;
constexpr LANGID kLangUserDefault = 0x0400;
constexpr LANGID kLangSystemDefault = 0x0800;

std::string IcuIdFromTag(const char* tag) {
    char buffer[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_forLanguageTag(tag, buffer, sizeof buffer, nullptr, &status);
    return U_SUCCESS(status) ? std::string(buffer) : std::string();
}

// The first entry of a primary language stands for the language as a whole.
const LocaleRecord* FirstOfLanguage(WORD primary) {
    for (const LocaleRecord& r : kLocales) {
        if (PRIMARYLANGID(r.id) == primary && r.id != LOCALE_INVARIANT)
            return &r;
    }
    return nullptr;
}

const LocaleRecord* FindByTag(std::string_view tag) {
    for (const LocaleRecord& r : kLocales) {
        if (tag == r.name)
            return &r;
    }
    return nullptr;
}

const LocaleRecord* FindByLanguage(std::string_view language) {
    for (const LocaleRecord& r : kLocales) {
        const std::string_view name(r.name);
        if (name.size() > language.size() && name.starts_with(language) &&
            name[language.size()] == '-')
            return &r;
    }
    return nullptr;
}

LCID ComputeProcessLcid() {
    return LcidFromPosixLocale(ProcessLocaleName());
}

LCID ProcessLcid() {
    static const LCID lcid = ComputeProcessLcid();
    return lcid;
}

} // namespace

const LocaleRecord* FindLocaleRecord(LANGID id) {
    for (const LocaleRecord& r : kLocales) {
        if (r.id == id)
            return &r;
    }
    return nullptr;
}

namespace {

std::optional<ResolvedLocale> ResolveUncached(LCID locale) {
    LANGID id = LANGIDFROMLCID(locale);
    if (id == 0 || id == kLangUserDefault)
        locale = GetUserDefaultLCID();
    else if (id == kLangSystemDefault)
        locale = GetSystemDefaultLCID();
    id = LANGIDFROMLCID(locale);

    ResolvedLocale out;
    out.lcid = locale;
    if (const LocaleRecord* r = FindLocaleRecord(id)) {
        out.record = r;
        out.icuName = IcuIdFromTag(r->name);
        out.ansiCodePage = r->ansiCodePage;
        out.oemCodePage = r->oemCodePage;
        return out;
    }
    // Not in our table: a country variant ICU knows (en-ZA) or a neutral language id
    // (0x0013). The code pages follow the language; formats come from ICU.
    const LocaleRecord* language = FirstOfLanguage(PRIMARYLANGID(id));
    if (!language)
        return std::nullopt;
    char buffer[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = uloc_getLocaleForLCID(id, buffer, sizeof buffer, &status);
    if (U_SUCCESS(status) && n > 0)
        out.icuName = buffer;
    else if (SUBLANGID(id) == 0)
        out.icuName = IcuIdFromTag(language->name);
    else
        return std::nullopt;
    out.ansiCodePage = language->ansiCodePage;
    out.oemCodePage = language->oemCodePage;
    return out;
}

} // namespace

// Comparisons resolve their locale on every call; the answers never change.
std::optional<ResolvedLocale> ResolveLocale(LCID locale) {
    thread_local std::unordered_map<LCID, std::optional<ResolvedLocale>> cache;
    if (const auto it = cache.find(locale); it != cache.end())
        return it->second;
    std::optional<ResolvedLocale> resolved = ResolveUncached(locale);
    cache.emplace(locale, resolved);
    return resolved;
}

std::string ProcessLocaleName() {
    for (const char* var : {"LC_ALL", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value)
            return value;
    }
    return {};
}

LCID LcidFromPosixLocale(std::string_view name) {
    // language[_territory][.codeset][@modifier]
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return kEnglishUS;
    const size_t sep = name.find('_');
    std::string language(name.substr(0, sep));
    std::ranges::transform(language, language.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
    // Old codes that glibc still accepts.
    if (language == "no")
        language = "nb";
    else if (language == "iw")
        language = "he";
    else if (language == "in")
        language = "id";
    std::string tag = language;
    if (sep != std::string_view::npos) {
        std::string territory(name.substr(sep + 1));
        std::ranges::transform(territory, territory.begin(),
                               [](unsigned char c) { return char(std::toupper(c)); });
        tag += "-" + territory;
        if (const LocaleRecord* r = FindByTag(tag))
            return r->id;
        const std::string icuId = language + "_" + territory;
        const uint32_t lcid = uloc_getLCID(icuId.c_str());
        if (lcid != 0 && ResolveLocale(lcid))
            return lcid;
    }
    if (const LocaleRecord* r = FindByLanguage(language))
        return r->id;
    return kEnglishUS;
}

UINT TextCodePage(const ResolvedLocale& locale) {
    return locale.ansiCodePage != 0 ? locale.ansiCodePage : GetACP();
}

LCID GetSystemDefaultLCID() {
    return ProcessLcid();
}
LCID GetUserDefaultLCID() {
    return ProcessLcid();
}
LANGID GetSystemDefaultLangID() {
    return LANGIDFROMLCID(GetSystemDefaultLCID());
}
LANGID GetUserDefaultLangID() {
    return LANGIDFROMLCID(GetUserDefaultLCID());
}

// A Unicode-only language cannot be the system locale on the platform; it keeps 1252 there.
UINT GetACP() {
    static const UINT codePage = [] {
        const auto system = ResolveLocale(GetSystemDefaultLCID());
        return system && system->ansiCodePage != 0 ? system->ansiCodePage : 1252u;
    }();
    return codePage;
}

UINT GetOEMCP() {
    static const UINT codePage = [] {
        const auto system = ResolveLocale(GetSystemDefaultLCID());
        return system && system->oemCodePage > 1 ? system->oemCodePage : 437u;
    }();
    return codePage;
}
