// A short digest of rendered output: 64-bit FNV-1a over the samples, each
// taken as its two bytes low then high, so every byte order gives the same
// value for the same samples.
#pragma once

#include <cstddef>
#include <cstdint>

namespace testsupport {

struct Digest {
    uint64_t value = 14695981039346656037ull;

    void add(uint8_t byte) { value = (value ^ byte) * 1099511628211ull; }
    void add(const int16_t *samples, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const uint16_t bits = static_cast<uint16_t>(samples[i]);
            add(static_cast<uint8_t>(bits & 0xFF));
            add(static_cast<uint8_t>(bits >> 8));
        }
    }
};

} // namespace testsupport
