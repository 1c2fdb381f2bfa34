#pragma once
// Unsigned integers as little-endian bytes, whatever the machine's own order: the layout of what
// we store in files and send between programs.

#include <cstddef>
#include <type_traits>

template <class T> void PutLittleEndian(unsigned char* out, T v) {
    static_assert(std::is_unsigned_v<T>);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

template <class T> T GetLittleEndian(const unsigned char* in) {
    static_assert(std::is_unsigned_v<T>);
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        v = static_cast<T>(v | static_cast<T>(in[i]) << (8 * i));
    }
    return v;
}
