// Reads a fuzzer's input as a sequence of small values. Running out of bytes
// is not an error: every read then yields zeros, so any input is a valid
// script and shorter inputs simply do less.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool empty() const { return position >= size; }
    size_t remaining() const { return size - position; }

    uint8_t byte() { return empty() ? 0 : data[position++]; }

    uint16_t u16()
    {
        uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }

    // Four raw bytes as a float: NaNs, infinities and denormals included.
    float f32()
    {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(byte()) << (8 * i);
        return std::bit_cast<float>(bits);
    }

    // Up to `count` bytes, fewer when the input ends first.
    std::string bytes(size_t count)
    {
        if (count > remaining()) count = remaining();
        std::string out(reinterpret_cast<const char*>(data + position), count);
        position += count;
        return out;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

}  // namespace fuzzing
