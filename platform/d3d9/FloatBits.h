// The float whose bits a DWORD state holds (depth bias, point size, LOD
// bias), as std::bit_cast would give it; written out because not every
// standard library the layer is built with has std::bit_cast yet.
#pragma once

#include <cstdint>
#include <cstring>

inline float floatBits(uint32_t bits)
{
    float value;
    static_assert(sizeof value == sizeof bits);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
