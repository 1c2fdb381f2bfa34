// Fuzz target for the RTF reader. Any input must end in a result or an error, never a
// crash, a hang or runaway memory; and what the reader accepts, written back and read
// again, must give the same text and formats.
//
// Run: fuzz_rtf_reader -dict=fuzz/rtf.dict -max_total_time=60 fuzz/corpus/rtf

#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Objects stand in as a placeholder with the id 7 when their class is named and their data
// have an even length; anything else reads as the group's result. Written back, each
// placeholder is one such object again, so the round trip must keep it.
std::int32_t Embed(const RtfObjectData& object) {
    return !object.className.empty() && object.data.size() % 2 == 0 ? 7 : 0;
}

RtfReadOptions ReadOptions() {
    RtfReadOptions options;
    options.embedObject = Embed;
    return options;
}

std::string Write(const RichEditDocument& doc) {
    std::string out;
    ChunkSink sink(
        [&out](const char* data, std::size_t size) {
            out.append(data, size);
            return true;
        },
        4096);
    RtfWriteOptions options;
    options.objectRtf = [](std::int32_t) {
        return std::string("{\\object{\\*\\objclass K}{\\*\\objdata 0a0b}{\\result r}}");
    };
    WriteRtf(doc, 0, doc.Length(), options, sink);
    return out;
}

void Load(RichEditDocument& doc, const RtfReadResult& result) {
    doc.Clear();
    doc.Replace(0, 0, result.fragment, false);
    doc.SetFinalMarkFormats(result.finalCharFormat, result.finalParaFormat);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    RichEditDocument doc;
    const RtfReadResult first = ReadRtf(input, doc, ReadOptions());
    if (first.error != 0) {
        return 0;
    }
    // Output stays within a small multiple of the input.
    if (first.fragment.text.size() > size) {
        std::abort();
    }
    Load(doc, first);
    doc.Check();
    const std::string written = Write(doc);

    RichEditDocument again;
    const RtfReadResult second = ReadRtf(written, again, ReadOptions());
    if (second.error != 0) {
        std::abort(); // our own output must always be readable
    }
    Load(again, second);
    if (again.Text(0, again.Length()) != doc.Text(0, doc.Length())) {
        if (std::getenv("KELVOR_FUZZ_DEBUG")) {
            const std::u16string a = doc.Text(0, doc.Length());
            const std::u16string b = again.Text(0, again.Length());
            std::fprintf(stderr, "written:\n%s\n", written.c_str());
            for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
                std::fprintf(stderr, "%zu: %04x %04x\n", i, i < a.size() ? a[i] : 0,
                             i < b.size() ? b[i] : 0);
            }
        }
        std::abort(); // the text survives the round trip
    }
    const std::string rewritten = Write(again);
    if (rewritten != written) {
        if (std::getenv("KELVOR_FUZZ_DEBUG")) {
            std::fprintf(stderr, "first:\n%s\nsecond:\n%s\n", written.c_str(), rewritten.c_str());
        }
        std::abort(); // formats survive the round trip
    }
    return 0;
}
