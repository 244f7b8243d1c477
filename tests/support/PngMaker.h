// Writes PNG files for tests: every colour type, bit depth and interlace
// mode, palettes with and without transparency, and deliberately damaged
// files (truncated, bad CRC, absurd declared size).
//
//   PngMaker png(4, 2, PngMaker::ColourType::Rgba, 8);
//   png.setPixel(0, 0, {255, 0, 0, 255});
//   std::vector<unsigned char> bytes = png.encode();
//
// Samples are given as stored in the file: 0 .. 2^bitDepth - 1, in the
// colour type's channel order (gray; gray, alpha; r, g, b; r, g, b, a; or a
// palette index). Pixels not set are all-zero samples.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class PngMaker {
public:
    enum class ColourType { Gray, GrayAlpha, Rgb, Rgba, Palette };

    // Valid depths: Gray 1, 2, 4, 8, 16; Palette 1, 2, 4, 8; the others 8, 16.
    PngMaker(uint32_t width, uint32_t height, ColourType type, int bitDepth = 8);

    PngMaker& setInterlaced(bool interlaced = true);
    PngMaker& setPixel(uint32_t x, uint32_t y, std::initializer_list<uint16_t> samples);
    // Palette entries (r, g, b), for ColourType::Palette.
    PngMaker& setPalette(const std::vector<std::array<uint8_t, 3>>& entries);
    // A tRNS chunk: for a palette, the alpha of the first entries; for Gray
    // the one transparent gray value (first sample); for Rgb the one
    // transparent colour (three samples).
    PngMaker& setTransparency(const std::vector<uint16_t>& values);
    // A gAMA chunk (gamma x 100000), to check that decoders leave samples alone.
    PngMaker& setGamma(uint32_t gammaTimes100000);

    uint32_t width() const { return imageWidth; }
    uint32_t height() const { return imageHeight; }

    // The encoded file (empty if libpng refused the settings).
    std::vector<unsigned char> encode() const;
    // Encodes and writes to `path`; returns false on any failure.
    bool writeFile(const std::string& path) const;

    // ---- Damaged files --------------------------------------------------
    // The first `keep` bytes of `png`.
    static std::vector<unsigned char> truncated(const std::vector<unsigned char>& png, size_t keep);
    // `png` with the CRC of the first chunk of the given type ("IHDR",
    // "IDAT", ...) altered; unchanged if there is no such chunk.
    static std::vector<unsigned char> withBadCrc(const std::vector<unsigned char>& png, const char* chunkType);
    // A well-formed file (correct CRCs) whose header declares width x height
    // 8-bit RGBA pixels, followed by one small IDAT chunk: a decoder must
    // refuse it from the header, before allocating the image.
    static std::vector<unsigned char> declaringSize(uint32_t width, uint32_t height);
    // Byte offset of the first chunk of the given type (its length field),
    // or 0 when there is none.
    static size_t chunkOffset(const std::vector<unsigned char>& png, const char* chunkType);
    // Writes any bytes to `path`.
    static bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

private:
    int channels() const;

    uint32_t imageWidth;
    uint32_t imageHeight;
    ColourType colourType;
    int depth;
    bool interlace = false;
    std::vector<uint16_t> samples;  // imageWidth * imageHeight * channels()
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<uint16_t> transparency;
    bool hasTransparency = false;
    uint32_t gamma = 0;
};
