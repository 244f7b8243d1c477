#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes an 8-bit RGBA image (rows top to bottom, 4 bytes a pixel) as PNG.
// Returns false and prints the reason when the file cannot be written.
bool writePngRgba(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba);
