#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes an 8-bit RGB image (rows top to bottom, 3 bytes a pixel) as PNG.
// The image goes into a new file beside `path` that then takes its name, so
// that the file at `path` is either what it was or the whole new image:
// never a part of one, whatever stops the write (a full disk, an error, the
// process ending). What a failed write leaves is removed. An existing `path`
// that is not a plain file (a device, a FIFO) is written in place. Returns
// false with the reason in error when the image cannot be written.
bool writePngRgb(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb,
                 std::string& error);

// Whether writePngRgb could write to `path`, tried with an empty file of its
// own in the same folder; false with the reason in error when not.
bool pngPathWritable(const std::string& path, std::string& error);

// The file writePngRgb is writing now, for a signal handler that ends the
// process to remove: empty when none. Safe to call in a signal handler.
const char* pngFileInProgress();
