// Task memory: what interfaces hand out for the receiver to free.

#include "platform/ole/Ole.h"

#include <cstdlib>
#include <cstring>

void* CoTaskMemAlloc(std::size_t size) {
    // A zero-byte request still gives a pointer the receiver can free.
    return std::malloc(size == 0 ? 1 : size);
}

void CoTaskMemFree(void* memory) {
    std::free(memory);
}

LPOLESTR CoTaskStrDup(LPCOLESTR text) {
    if (!text) {
        return nullptr;
    }
    std::size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((n + 1) * sizeof(OLECHAR)));
    if (copy) {
        std::memcpy(copy, text, (n + 1) * sizeof(OLECHAR));
    }
    return copy;
}
