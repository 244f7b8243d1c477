// A PNG image decoded with libpng into 8-bit B,G,R,A pixels (the memory
// order of D3DFMT_A8R8G8B8), whatever its colour type, bit depth, palette,
// transparency chunk or interlacing. Sample values are taken as stored:
// no gamma or colour-profile conversion; 16-bit samples are scaled to 8 bits
// with rounding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class PngImage {
public:
    // Larger images (in either dimension) are refused before any pixel
    // memory is allocated.
    static constexpr uint32_t maxDimension = 16384;

    enum class Status { Ok, InvalidData, TooLarge, OutOfMemory };

    // Decodes the file contents in data[0 .. size). On failure the image is
    // empty and `reason` is a short description ("not a PNG file",
    // "file is truncated", "the first chunk is not IHDR", "IDAT: CRC
    // error", ...).
    Status decode(const unsigned char* data, size_t size, std::string& reason);

    uint32_t width() const { return imageWidth; }
    uint32_t height() const { return imageHeight; }
    // width * 4 bytes per row, rows top to bottom.
    const unsigned char* pixels() const { return bgra.get(); }

private:
    std::unique_ptr<unsigned char[]> bgra;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
};
