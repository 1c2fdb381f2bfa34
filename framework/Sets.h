#pragma once
// A set of enumeration values, as the framework's properties use them (font styles,
// anchors, component state). Values must be below 32.

#include <cstdint>
#include <initializer_list>

template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values)
            bits |= Bit(v);
    }
    static constexpr TSet FromBits(std::uint32_t raw) {
        TSet s;
        s.bits = raw;
        return s;
    }

    constexpr bool Contains(E v) const { return bits & Bit(v); }
    constexpr TSet& Include(E v) {
        bits |= Bit(v);
        return *this;
    }
    constexpr TSet& Exclude(E v) {
        bits &= ~Bit(v);
        return *this;
    }
    constexpr bool Empty() const { return bits == 0; }
    constexpr std::uint32_t Bits() const { return bits; }

    constexpr TSet operator+(TSet o) const { return FromBits(bits | o.bits); }
    constexpr TSet operator-(TSet o) const { return FromBits(bits & ~o.bits); }
    constexpr TSet operator*(TSet o) const { return FromBits(bits & o.bits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr std::uint32_t Bit(E v) { return std::uint32_t(1) << static_cast<unsigned>(v); }
    std::uint32_t bits = 0;
};
