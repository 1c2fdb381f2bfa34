// Fuzz target for the numbers and addresses an operator types: the framework's text to
// integer conversions, inet_addr, and a port number on its way into a socket address.
//
// Integers are checked against their grammar (blanks, a sign, decimal digits or "$", "x",
// "0x" hexadecimal that fills 32 bits) read with the C library; addresses against the C
// library's inet_aton, which reads the same dotted forms (decimal, octal, hexadecimal parts;
// one to four of them).
//
// Run: fuzz_conversions -dict=fuzz/conversions.dict -max_total_time=60 fuzz/corpus/conversions

#include "framework/Exceptions.h"
#include "framework/SysUtils.h"
#include "platform/winsock/Winsock.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

// inet_aton of the C library (in a file of its own: its header and ours name the same calls).
bool ReferenceInetAton(const char* text, std::uint32_t& address);

namespace {

// What the text means by the grammar, or nothing.
std::optional<int> Expected(const std::string& s) {
    std::size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos) {
        return std::nullopt;
    }
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i++] == '-';
    }
    int base = 10;
    if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
        base = 16;
        i += 2;
    } else if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        i += 1;
    }
    const std::string digits = s.substr(i);
    const char* allowed = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos && digits.size() - first > 12) {
        return std::nullopt; // beyond any 32-bit value
    }
    const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, base);
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFull) {
            return std::nullopt;
        }
        const auto bits = std::uint32_t(magnitude);
        return std::int32_t(negative ? 0u - bits : bits);
    }
    if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) {
        return std::nullopt;
    }
    return int(negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude));
}

void CheckInteger(const std::string& text) {
    const std::optional<int> expected = Expected(text);
    int value = 12345;
    const bool ok = TryStrToInt(text, value);
    if (ok != expected.has_value() || (ok && value != *expected)) {
        std::abort();
    }
    if (StrToIntDef(text, -7) != (ok ? value : -7)) {
        std::abort();
    }
    try {
        if (StrToInt(text) != value || !ok) {
            std::abort();
        }
    } catch (const EConvertError&) {
        if (ok) {
            std::abort();
        }
    }
    if (ok) {
        // The port a socket address gets from it: the low 16 bits in network order.
        const auto port = static_cast<u_short>(value & 0xFFFF);
        const u_short network = htons(port);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&network);
        if (ntohs(network) != port || bytes[0] != (port >> 8) || bytes[1] != (port & 0xFF)) {
            std::abort();
        }
    }
}

void CheckAddress(const std::string& text) {
    const DWORD address = inet_addr(text.c_str()); // stops at the first NUL, as C text does
    const std::string c = text.c_str();
    const bool blank = c.find_first_of(" \t\n\r\v\f") != std::string::npos;
    if (!blank) {
        std::uint32_t reference = 0;
        const bool valid = ReferenceInetAton(c.c_str(), reference);
        if (valid ? address != reference : address != INADDR_NONE) {
            std::abort();
        }
    }
    if (address != INADDR_NONE) {
        const DWORD host = ntohl(address);
        const std::string dotted =
            std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 0xFF) + "." +
            std::to_string((host >> 8) & 0xFF) + "." + std::to_string(host & 0xFF);
        if (inet_addr(dotted.c_str()) != address) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckInteger(text);
    CheckAddress(text);
    return 0;
}
