#pragma once
// The control's own URL recognition (EM_AUTOURLDETECT): which stretches of a paragraph
// are URLs, so that they carry the link effect.

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// [start, end) offsets of the URLs in text (one paragraph without its CR). A URL starts
// with a scheme ("http:", "mailto:", ...) or "www." at the start of the text, after white
// space or after punctuation, and runs to the next white space; punctuation at its end
// that only precedes white space is not part of it.
std::vector<std::pair<std::int64_t, std::int64_t>> FindUrls(std::u16string_view text);
