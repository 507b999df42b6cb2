#pragma once

#include <cstddef>
#include <cstdint>

namespace archive {

// The integer of sizeof(T) bytes at `p`, least significant byte first, as
// the archives store every number.
template <typename T> T LittleEndianAt(const std::uint8_t* p)
{
    std::uint64_t raw = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        raw |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    }
    return static_cast<T>(raw);
}

} // namespace archive
