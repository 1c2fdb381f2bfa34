#include "platform/richedit/Streaming.h"

#include "platform/locale/Locale.h"
#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"

#include <algorithm>

namespace {

WPARAM Kind(WPARAM flags) {
    return flags & 0x7;
}

UINT TextCodePage(WPARAM flags) {
    return (flags & SF_USECODEPAGE) ? UINT(HIWORD(flags)) : GetACP();
}

// Hands bytes to the callback; a short take is offered again, a refusal stops.
ChunkSink::Flush CallbackFlush(EDITSTREAM& stream, LRESULT& accepted) {
    return [&stream, &accepted](const char* data, std::size_t size) {
        while (size > 0) {
            const LONG offer = LONG(std::min<std::size_t>(size, std::size_t(StreamChunkSize) * 4));
            LONG taken = 0;
            const DWORD r = stream.pfnCallback(
                stream.dwCookie, reinterpret_cast<BYTE*>(const_cast<char*>(data)), offer, &taken);
            if (r != 0) {
                stream.dwError = r;
                return false;
            }
            taken = std::clamp<LONG>(taken, 0, offer);
            if (taken == 0) {
                stream.dwError = RICHEDIT_ERROR_SHORTWRITE;
                return false;
            }
            accepted += taken;
            data += taken;
            size -= std::size_t(taken);
        }
        return true;
    };
}

void WriteText(const RichEditDocument& doc, std::int64_t start, std::int64_t end, WPARAM flags,
               const StreamContext& context, ChunkSink& sink) {
    const bool unicode = (flags & SF_UNICODE) != 0;
    const bool textized = Kind(flags) == SF_TEXTIZED;
    const UINT codePage = TextCodePage(flags);
    std::u16string block;
    if (start == 0 && start < end && doc.Text(0, 1)[0] == 0xFEFF) {
        // Stream-in takes a leading mark as the stream's and drops it: a mark ahead of the
        // text's own U+FEFF keeps that character.
        if (unicode) {
            sink.Put(std::string_view("\xFF\xFE", 2));
        } else if (codePage == CP_UTF8) {
            sink.Put("\xEF\xBB\xBF");
        }
    }
    const auto emit = [&](bool last) {
        // Never split a surrogate pair between two conversions.
        char16_t carry = 0;
        if (!last && !block.empty() && block.back() >= 0xD800 && block.back() <= 0xDBFF) {
            carry = block.back();
            block.pop_back();
        }
        if (unicode) {
            char* out = sink.Reserve(block.size() * 2);
            for (char16_t c : block) {
                *out++ = char(c & 0xFF);
                *out++ = char(c >> 8);
            }
            sink.Commit();
        } else if (std::all_of(block.begin(), block.end(), [](char16_t c) { return c < 0x80; })) {
            char* out = sink.Reserve(block.size());
            for (char16_t c : block) {
                *out++ = char(c);
            }
            sink.Commit();
        } else {
            sink.Put(WideToAnsi(block, codePage));
        }
        block.clear();
        if (carry != 0) {
            block.push_back(carry);
        }
    };
    doc.ForEachSegment(start, end - start, [&](const char16_t* chars, std::int64_t n) {
        for (std::int64_t i = 0; i < n && !sink.Failed(); ++i) {
            const char16_t c = chars[i];
            if (c == u'\r') {
                block += u"\r\n";
            } else if (c == RichEditDocument::ObjectChar && doc.ObjectAt(start + i) != 0) {
                const std::int32_t id = doc.ObjectAt(start + i);
                block += textized && context.objectText ? context.objectText(id) : u" ";
            } else {
                block.push_back(c);
            }
            if (block.size() >= std::size_t(StreamChunkSize)) {
                emit(false);
            }
        }
        start += n;
    });
    emit(true);
}

} // namespace

LRESULT StreamOut(const RichEditDocument& doc, WPARAM flags, EDITSTREAM& stream,
                  const StreamContext& context) {
    stream.dwError = 0;
    if (!stream.pfnCallback) {
        return 0;
    }
    std::int64_t start = 0;
    std::int64_t end = doc.Length();
    bool finalMark = true;
    if (flags & SFF_SELECTION) {
        const Selection s = doc.GetSelection();
        start = std::min(s.min, doc.Length());
        end = std::min(s.max, doc.Length());
        finalMark = s.max > doc.Length();
    }
    LRESULT accepted = 0;
    ChunkSink sink(CallbackFlush(stream, accepted), std::size_t(StreamChunkSize));
    const WPARAM kind = Kind(flags);
    if (kind == SF_RTF || kind == SF_RTFNOOBJS) {
        RtfWriteOptions options;
        options.codePage = GetACP();
        options.plainRtf = (flags & SFF_PLAINRTF) != 0;
        options.finalMark = finalMark;
        if (kind == SF_RTF) {
            options.objectText = context.objectText;
            options.objectRtf = context.objectRtf;
        }
        WriteRtf(doc, start, end, options, sink);
    } else {
        WriteText(doc, start, end, flags, context, sink);
        sink.Finish();
    }
    return accepted;
}

StreamInOutcome StreamIn(RichEditDocument& doc, WPARAM flags, EDITSTREAM& stream,
                         const StreamContext& context) {
    StreamInOutcome outcome;
    stream.dwError = 0;
    if (!stream.pfnCallback) {
        return outcome;
    }
    std::string data;
    std::string chunk(std::size_t(StreamChunkSize), '\0');
    for (;;) {
        LONG got = 0;
        const DWORD r = stream.pfnCallback(stream.dwCookie, reinterpret_cast<BYTE*>(chunk.data()),
                                           StreamChunkSize, &got);
        if (r != 0) {
            stream.dwError = r;
            return outcome;
        }
        if (got <= 0) {
            break;
        }
        data.append(chunk.data(), std::size_t(std::min(got, StreamChunkSize)));
    }
    const bool selection = (flags & SFF_SELECTION) != 0;
    const WPARAM kind = Kind(flags);
    TextFragment fragment;
    RtfReadResult rtf;
    if (kind == SF_RTF || kind == SF_RTFNOOBJS) {
        RtfReadOptions options;
        options.codePage = GetACP();
        options.wholeDocument = !selection;
        options.plainRtf = (flags & SFF_PLAINRTF) != 0;
        if (kind == SF_RTF) {
            options.embedObject = context.embedObject;
        }
        rtf = ReadRtf(data, doc, options);
        if (rtf.error != 0) {
            stream.dwError = rtf.error;
            return outcome;
        }
        fragment = std::move(rtf.fragment);
        outcome.result = LRESULT(fragment.text.size());
    } else {
        std::u16string text;
        if (flags & SF_UNICODE) {
            std::size_t at = data.size() >= 2 && data[0] == '\xFF' && data[1] == '\xFE' ? 2 : 0;
            text.reserve((data.size() - at) / 2);
            for (; at + 1 < data.size(); at += 2) {
                text.push_back(char16_t(static_cast<unsigned char>(data[at]) |
                                        static_cast<unsigned char>(data[at + 1]) << 8));
            }
        } else if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            text = AnsiToWide(data.substr(3), CP_UTF8);
        } else if (!AnsiToWideChecked(data, TextCodePage(flags), text)) {
            stream.dwError = RICHEDIT_ERROR_NOTRANSLATION;
            return outcome;
        }
        fragment.text = FoldLineBreaks(text);
        outcome.result = LRESULT(data.size());
    }
    if (selection) {
        const Selection s = doc.TextSelection();
        const auto n = std::int64_t(fragment.text.size());
        doc.Replace(s.min, s.max - s.min, fragment, true);
        doc.SetSelection(s.min + n, s.min + n);
    } else {
        doc.Clear();
        doc.Replace(0, 0, fragment, false);
        if (kind == SF_RTF || kind == SF_RTFNOOBJS) {
            doc.SetFinalMarkFormats(rtf.finalCharFormat, rtf.finalParaFormat);
        }
        doc.SetSelection(0, 0);
        doc.SetTextLimit(std::max(doc.TextLimit(), doc.Length()));
    }
    doc.SetModified(true);
    outcome.changed = true;
    return outcome;
}
