// The C library's reading of an IPv4 address text, as the reference for inet_addr.

#include <arpa/inet.h>
#include <cstdint>

bool ReferenceInetAton(const char* text, std::uint32_t& address) {
    in_addr parsed{};
    if (inet_aton(text, &parsed) == 0) {
        return false;
    }
    address = parsed.s_addr;
    return true;
}
