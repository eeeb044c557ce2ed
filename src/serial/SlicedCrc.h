#pragma once
// Tables for a reflected CRC of any width, sliced: row 0 is the usual byte table, row k advances
// the register over a byte followed by k zero bytes, so N bytes take N independent look-ups
// instead of a chain of 8 N shifts.
#include <array>
#include <cstddef>

template <typename T, std::size_t N>
constexpr std::array<std::array<T, 256>, N> MakeSlicedCrcTables(T reflectedPolynomial)
{
    std::array<std::array<T, 256>, N> t{};
    for (unsigned b = 0; b < 256; ++b) {
        T v = static_cast<T>(b);
        for (int i = 0; i < 8; ++i)
            v = (v & 1u) ? static_cast<T>((v >> 1) ^ reflectedPolynomial) : static_cast<T>(v >> 1);
        t[0][b] = v;
    }
    for (std::size_t k = 1; k < N; ++k)
        for (unsigned b = 0; b < 256; ++b)
            t[k][b] = static_cast<T>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFFu]);
    return t;
}
