// Fuzz target for the wide string list's two outside formats: a stream (LoadFromStream, with
// or without a byte order mark) and the form-data value "WideStrings" (hexadecimal groups).
// The first input byte picks the format; the rest is the stream or the value.
//
// Whatever is read keeps every character that is not a line break, and saving and reading
// again gives the same lines.
//
// Run: fuzz_wide_strings -dict=fuzz/wide_strings.dict -max_total_time=60 fuzz/corpus/wide_strings

#include "framework/Streams.h"
#include "richedit/WStrList.h"
#include "tests/richedit/MemoryWideStrings.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::size_t TextUnits(const TMemoryWideStrings& list) {
    std::size_t n = 0;
    for (const std::u16string& line : list.Lines()) {
        if (line.find_first_of(u"\r\n") != std::u16string::npos) {
            std::abort(); // a line never holds a break
        }
        n += line.size();
    }
    return n;
}

bool IsBreak(unsigned unit) {
    return unit == '\r' || unit == '\n';
}

void FromStream(const std::uint8_t* data, std::size_t size) {
    TMemoryStream stream;
    stream.WriteBuffer(data, std::int64_t(size));
    stream.SetPosition(0);
    TMemoryWideStrings list;
    list.LoadFromStream(stream);

    // Units after a mark of either order; a last odd byte is no unit.
    const bool marked =
        size >= 2 && ((data[0] == 0xFE && data[1] == 0xFF) || (data[0] == 0xFF && data[1] == 0xFE));
    const bool swapped = marked && data[0] == 0xFF;
    std::size_t expected = 0;
    for (std::size_t i = marked ? 2 : 0; i + 1 < size; i += 2) {
        const unsigned unit = swapped ? (unsigned(data[i]) << 8 | data[i + 1])
                                      : (unsigned(data[i + 1]) << 8 | data[i]);
        expected += IsBreak(unit) ? 0 : 1;
    }
    if (TextUnits(list) != expected) {
        std::abort();
    }

    TMemoryStream saved;
    list.SaveToStream(saved);
    saved.SetPosition(0);
    TMemoryWideStrings again;
    again.LoadFromStream(saved);
    if (again.Lines() != list.Lines()) {
        std::abort();
    }
}

void FromValue(const std::uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    TMemoryWideStrings list;
    list.ReadWideStringsValue(value);

    std::size_t expected = 0;
    for (std::size_t i = 0; i + 4 <= value.size(); i += 4) {
        const std::string group = value.substr(i, 4);
        char* end = nullptr;
        const unsigned long unit = std::strtoul(group.c_str(), &end, 16);
        const bool hex = group.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        expected += hex && end == group.c_str() + 4 && IsBreak(unsigned(unit)) ? 0 : 1;
    }
    if (TextUnits(list) != expected) {
        std::abort();
    }

    TMemoryWideStrings again;
    again.ReadWideStringsValue(list.WideStringsValue());
    if (again.Lines() != list.Lines()) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    if (data[0] & 1) {
        FromValue(data + 1, size - 1);
    } else {
        FromStream(data + 1, size - 1);
    }
    return 0;
}
