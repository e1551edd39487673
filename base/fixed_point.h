// Integer helpers for the engine's arithmetic: 32-bit sums and products that
// wrap, left shifts of signed values, and stores that keep the low 16 bits,
// all without undefined behaviour. Right shifts of signed values are
// arithmetic with the compilers we build with (C++20 makes it the rule).
#pragma once

#include <cstdint>

namespace dbm {

constexpr int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr int32_t wrapSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

constexpr int32_t wrapMul(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

constexpr int32_t shiftLeft(int32_t value, unsigned bits)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value) << bits);
}

constexpr int16_t low16(int32_t value)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu));
}

static_assert((-5 >> 1) == -3, "right shifts of negative values must be arithmetic");

} // namespace dbm
