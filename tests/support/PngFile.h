// Reads a PNG file into 8-bit RGBA pixels, rows from the top, for tests that
// look at what the program or the capture tool wrote; and compares two
// images pixel by pixel.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct RgbaImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // r, g, b, a per pixel
    std::string error;            // why it could not be read; empty when it was

    bool empty() const { return pixels.empty(); }
    const uint8_t* at(uint32_t x, uint32_t y) const { return &pixels[(size_t{y} * width + x) * 4]; }
};

RgbaImage readPng(const std::filesystem::path& path);
// The same from a file's contents in memory.
RgbaImage readPng(const std::vector<uint8_t>& contents);

// How two images of the same size differ (colour channels only).
struct ImageDifference {
    bool sameSize = false;
    uint64_t differingPixels = 0;   // pixels with any colour channel apart
    int largest = 0;                // the largest channel difference
    // Pixels whose largest colour-channel difference exceeds `tolerance`.
    uint64_t beyond(int tolerance) const;
    std::vector<uint32_t> histogram = std::vector<uint32_t>(256);  // pixels by their largest channel difference
};

ImageDifference compareImages(const RgbaImage& a, const RgbaImage& b);

}  // namespace testsupport
