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
            ++i;
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
