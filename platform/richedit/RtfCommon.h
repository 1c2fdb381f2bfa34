#pragma once
// What the RTF writer and reader agree on: code pages of font character sets, the
// character state that "\plain" means, and a byte sink that hands out chunks.

#include "platform/richedit/Formats.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

// Code page of a font character set; the document's code page for the default set and for
// sets without a fixed code page. The symbol set gives CP_SYMBOL.
UINT CodePageOfCharset(BYTE charset, UINT documentCodePage);

// Whether a code page encodes some characters in two bytes.
bool IsDoubleByteCodePage(UINT codePage);

// The RTF family word for a font: its own family if it has one, else a guess from the
// name, so that readers without the font substitute a similar one (a terminal font
// becomes a fixed-pitch font).
std::string_view RtfFontFamily(std::u16string_view face, BYTE pitchAndFamily);
BYTE PitchAndFamilyFromRtf(std::string_view familyWord, int pitch);

// The state that "\plain" restores: the default font, 12 points, automatic colours.
CharFormat RtfPlainFormat(const CharFormat& defaultFont, LANGID defaultLanguage);

// Collects output bytes and hands them to flush in chunks; flush returns false to stop.
class ChunkSink {
public:
    using Flush = std::function<bool(const char* data, std::size_t size)>;
    ChunkSink(Flush flush, std::size_t chunk) : flush_(std::move(flush)), chunk_(chunk) {
        buffer_.reserve(chunk + 256);
    }

    void Put(char c) {
        buffer_.push_back(c);
        MaybeFlush();
    }
    void Put(std::string_view s) {
        buffer_.append(s);
        MaybeFlush();
    }
    void PutNumber(long long value) { Put(std::to_string(value)); }
    // Room for n more bytes written straight into the buffer.
    char* Reserve(std::size_t n) {
        const std::size_t at = buffer_.size();
        buffer_.resize(at + n);
        return buffer_.data() + at;
    }
    void Commit() { MaybeFlush(); }

    bool Failed() const { return failed_; }
    std::uint64_t Written() const { return written_; }
    bool Finish() {
        if (!failed_ && !buffer_.empty()) {
            FlushAll();
        }
        return !failed_;
    }

private:
    void MaybeFlush() {
        if (buffer_.size() >= chunk_) {
            FlushAll();
        }
    }
    void FlushAll() {
        if (!failed_ && !flush_(buffer_.data(), buffer_.size())) {
            failed_ = true;
        }
        if (!failed_) {
            written_ += buffer_.size();
        }
        buffer_.clear();
    }

    Flush flush_;
    std::size_t chunk_;
    std::string buffer_;
    bool failed_ = false;
    std::uint64_t written_ = 0;
};
