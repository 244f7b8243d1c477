#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes an 8-bit RGB image (rows top to bottom, 3 bytes a pixel) as PNG.
// Returns false with the reason in error when the file cannot be written.
bool writePngRgb(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb,
                 std::string& error);
