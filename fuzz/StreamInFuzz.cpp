// Fuzz target for plain-text stream-in (EM_STREAMIN with SF_TEXT, in several code pages, and
// with SF_TEXT | SF_UNICODE). The first input byte picks the format and how many bytes the
// callback hands over per call; the rest is the stream.
//
// A stream-in either fails with an error and leaves the document as it was, or it keeps every
// character: streamed out again, the text gives the input back with each line break (CR LF,
// a lone CR or a lone LF) written as CR LF, or, where a code page has no exact round trip,
// reads back the same.
//
// Run: fuzz_stream_in -dict=fuzz/stream_in.dict -max_total_time=60 fuzz/corpus/stream_in

#include "platform/locale/Locale.h"
#include "platform/richedit/Streaming.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

enum class Format { Ansi1252, ShiftJis, Utf8, Johab, Utf16 };

WPARAM FlagsOf(Format format) {
    switch (format) {
    case Format::Ansi1252:
        return SF_TEXT | SF_USECODEPAGE | (WPARAM(1252) << 16);
    case Format::ShiftJis:
        return SF_TEXT | SF_USECODEPAGE | (WPARAM(932) << 16);
    case Format::Utf8:
        return SF_TEXT | SF_USECODEPAGE | (WPARAM(CP_UTF8) << 16);
    case Format::Johab:
        return SF_TEXT | SF_USECODEPAGE | (WPARAM(1361) << 16); // no converter here
    case Format::Utf16:
        return SF_TEXT | SF_UNICODE;
    }
    return SF_TEXT;
}

struct Source {
    std::string_view data;
    std::size_t at = 0;
    LONG step = 1; // bytes per call at most
};

DWORD Read(DWORD_PTR cookie, BYTE* buffer, LONG size, LONG* got) {
    auto* source = reinterpret_cast<Source*>(cookie);
    const std::size_t n =
        std::min({std::size_t(size), std::size_t(source->step), source->data.size() - source->at});
    std::copy_n(source->data.data() + source->at, n, buffer);
    source->at += n;
    *got = LONG(n);
    return 0;
}

DWORD Write(DWORD_PTR cookie, BYTE* buffer, LONG size, LONG* taken) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(buffer),
                                                   std::size_t(size));
    *taken = size;
    return 0;
}

bool In(RichEditDocument& doc, std::string_view data, WPARAM flags, LONG step, DWORD& error) {
    Source source{data, 0, step};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, Read};
    const StreamInOutcome outcome = StreamIn(doc, flags, stream);
    error = stream.dwError;
    return outcome.changed;
}

std::string Out(const RichEditDocument& doc, WPARAM flags) {
    std::string out;
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&out), 0, Write};
    StreamOut(doc, flags, stream, {});
    if (stream.dwError != 0) {
        std::abort();
    }
    return out;
}

// Every line break as CR LF, in units of width bytes (1 or 2, little-endian).
std::string NormalisedBreaks(std::string_view data, std::size_t width) {
    const auto unit = [&](std::size_t i) {
        return width == 1 ? unsigned(static_cast<unsigned char>(data[i]))
                          : unsigned(static_cast<unsigned char>(data[i])) |
                                unsigned(static_cast<unsigned char>(data[i + 1])) << 8;
    };
    const std::string_view crlf =
        width == 1 ? std::string_view("\r\n", 2) : std::string_view("\r\0\n\0", 4);
    std::string out;
    for (std::size_t i = 0; i + width <= data.size(); i += width) {
        const unsigned c = unit(i);
        if (c == '\r') {
            out += crlf;
            if (i + 2 * width <= data.size() && unit(i + width) == '\n') {
                i += width;
            }
        } else if (c == '\n') {
            out += crlf;
        } else {
            out.append(data.substr(i, width));
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const auto format = Format(data[0] % 5);
    const LONG step = LONG(1 + (data[0] >> 3) * 997); // 1 byte up to whole chunks
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const WPARAM flags = FlagsOf(format);

    RichEditDocument doc;
    doc.SetText(u"before");
    DWORD error = 0;
    const bool changed = In(doc, input, flags, step, error);
    doc.Check();
    if (!changed) {
        // A failure says so and leaves the document as it was.
        if (error == 0 && !input.empty()) {
            std::abort();
        }
        if (doc.Text(0, doc.Length()) != u"before") {
            std::abort();
        }
    }
    // A UTF-8 mark makes any 8-bit stream UTF-8.
    const bool utf8Mark = format != Format::Utf16 && input.substr(0, 3) == "\xEF\xBB\xBF";
    const Format read = utf8Mark ? Format::Utf8 : format;
    const bool highBytes =
        std::any_of(input.begin(), input.end(), [](char c) { return (c & 0x80) != 0; });
    if (read == Format::Johab) {
        // ASCII reads in any code page; anything else needs the converter there is none of.
        if (changed == highBytes) {
            std::abort();
        }
        return 0;
    }
    if (!changed) {
        std::abort(); // text in a known encoding always reads
    }
    const std::u16string text = doc.Text(0, doc.Length());
    if (text.find(u'\n') != std::u16string::npos) {
        std::abort(); // paragraph ends are a single CR
    }
    const std::string out = Out(doc, FlagsOf(read));
    switch (read) {
    case Format::Ansi1252:
        // Every byte of 1252 has a character and back.
        if (out != NormalisedBreaks(input, 1)) {
            std::abort();
        }
        break;
    case Format::Utf16: {
        // A text that starts with U+FEFF is written after a mark of its own.
        const bool marked = input.size() >= 2 && input[0] == '\xFF' && input[1] == '\xFE';
        const std::string expected = NormalisedBreaks(input.substr(marked ? 2 : 0), 2);
        const bool ownMark = !text.empty() && text[0] == 0xFEFF;
        if (out != (ownMark ? std::string("\xFF\xFE", 2) + expected : expected)) {
            std::abort();
        }
        RichEditDocument again;
        if (!In(again, out, flags, StreamChunkSize, error) ||
            again.Text(0, again.Length()) != text) {
            std::abort();
        }
        break;
    }
    case Format::ShiftJis:
    case Format::Utf8: {
        // Malformed bytes read as a default character, so compare what reads back; and no
        // unit takes more than three bytes (a BMP character or a malformed UTF-8 piece, after
        // an optional UTF-8 mark), so nothing went missing.
        if (text.size() * 3 + 3 < input.size()) {
            std::abort();
        }
        RichEditDocument again;
        if (!In(again, out, FlagsOf(read), StreamChunkSize, error) ||
            again.Text(0, again.Length()) != text) {
            std::abort();
        }
        break;
    }
    case Format::Johab:
        break;
    }
    return 0;
}
