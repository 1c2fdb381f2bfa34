#include "platform/richedit/UrlDetect.h"

#include <array>

namespace {

constexpr std::array<std::u16string_view, 12> kPrefixes = {
    u"http:", u"https:",  u"ftp:",    u"file:",     u"mailto:", u"news:",
    u"nntp:", u"telnet:", u"gopher:", u"prospero:", u"wais:",   u"www."};

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x000B || c == 0x00A0 ||
           c == 0x3000;
}

// Punctuation that belongs to a URL only when more of the URL follows it.
bool IsNeutral(char16_t c) {
    return std::u16string_view(u"!\"'(),-.:;<>?[]{}").find(c) != std::u16string_view::npos;
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

bool StartsWith(std::u16string_view text, std::size_t at, std::u16string_view prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[at + i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsAsciiAlnum(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// The length of an e-mail address (local@domain.tld) that starts at, or 0.
std::size_t EmailLength(std::u16string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() &&
           (IsAsciiAlnum(text[i]) ||
            std::u16string_view(u"._%+-").find(text[i]) != std::u16string_view::npos)) {
        ++i;
    }
    if (i == at || i >= text.size() || text[i] != u'@') {
        return 0;
    }
    const std::size_t domain = ++i;
    while (i < text.size() && (IsAsciiAlnum(text[i]) || text[i] == u'.' || text[i] == u'-')) {
        ++i;
    }
    // A trailing dot ends the sentence, not the address.
    while (i > domain && text[i - 1] == u'.') {
        --i;
    }
    const std::size_t lastDot = text.substr(domain, i - domain).rfind(u'.');
    if (lastDot == std::u16string_view::npos || lastDot == 0) {
        return 0;
    }
    return i - at;
}

} // namespace

std::vector<std::pair<std::int64_t, std::int64_t>> FindUrls(std::u16string_view text) {
    std::vector<std::pair<std::int64_t, std::int64_t>> urls;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool boundary = i == 0 || IsSpace(text[i - 1]) || IsNeutral(text[i - 1]);
        std::size_t prefix = 0;
        if (boundary) {
            for (std::u16string_view p : kPrefixes) {
                if (StartsWith(text, i, p)) {
                    prefix = p.size();
                    break;
                }
            }
        }
        if (prefix == 0) {
            const std::size_t email = boundary ? EmailLength(text, i) : 0;
            if (email > 0) {
                urls.emplace_back(std::int64_t(i), std::int64_t(i + email));
                i += email;
            } else {
                ++i;
            }
            continue;
        }
        std::size_t end = i + prefix;
        while (end < text.size() && !IsSpace(text[end])) {
            ++end;
        }
        std::size_t trimmed = end;
        while (trimmed > i + prefix && IsNeutral(text[trimmed - 1])) {
            --trimmed;
        }
        if (trimmed > i + prefix) {
            urls.emplace_back(std::int64_t(i), std::int64_t(trimmed));
        }
        i = end;
    }
    return urls;
}
