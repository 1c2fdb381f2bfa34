// Address text and byte order.

#include "platform/winsock/Winsock.h"

#include <bit>
#include <cctype>
#include <cstdint>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One part: decimal, octal after a leading 0, hex after 0x. False on no digits or overflow.
bool ParsePart(const char*& p, std::uint64_t& value) {
    int base = 10;
    if (*p == '0') {
        base = 8;
        ++p;
        if (*p == 'x' || *p == 'X') {
            base = 16;
            ++p;
            if (!std::isxdigit(static_cast<unsigned char>(*p)))
                return false;
        } else {
            value = 0; // "0" alone, or an octal number that follows
        }
    } else if (!std::isdigit(static_cast<unsigned char>(*p))) {
        return false;
    }
    value = 0;
    for (;; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            break;
        if (digit >= base)
            return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    return true;
}

} // namespace

DWORD inet_addr(const char* cp) {
    if (!cp) {
        WSASetLastError(WSAEFAULT);
        return INADDR_NONE;
    }
    // The platform takes a lone blank for the address 0.
    if (cp[0] == ' ' && cp[1] == '\0')
        return 0;
    std::uint64_t parts[4] = {};
    int count = 0;
    const char* p = cp;
    for (;;) {
        if (count == 4)
            return INADDR_NONE;
        if (!ParsePart(p, parts[count]))
            return INADDR_NONE;
        ++count;
        if (*p == '.') {
            ++p;
            continue;
        }
        if (*p == '\0' || IsBlank(*p))
            break; // anything after a blank is ignored
        return INADDR_NONE;
    }
    std::uint64_t host = 0;
    switch (count) {
    case 1:
        host = parts[0];
        break;
    case 2:
        if (parts[0] > 0xFF || parts[1] > 0xFFFFFF)
            return INADDR_NONE;
        host = parts[0] << 24 | parts[1];
        break;
    case 3:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF)
            return INADDR_NONE;
        host = parts[0] << 24 | parts[1] << 16 | parts[2];
        break;
    default:
        for (int i = 0; i < 4; ++i)
            if (parts[i] > 0xFF)
                return INADDR_NONE;
        host = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
        break;
    }
    return htonl(static_cast<DWORD>(host));
}

u_short htons(u_short v) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<u_short>((v >> 8) | (v << 8));
    else
        return v;
}

u_short ntohs(u_short v) {
    return htons(v);
}

DWORD htonl(DWORD v) {
    if constexpr (std::endian::native == std::endian::little)
        return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    else
        return v;
}

DWORD ntohl(DWORD v) {
    return htonl(v);
}
