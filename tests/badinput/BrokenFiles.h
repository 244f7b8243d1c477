// Damaged and unusual files for the bad-input runs: byte-level damage to a
// PNG, files of the wrong kind, and lossless re-encodings of an image in
// other PNG colour types, bit depths and interlacing.
#pragma once

#include "support/PngFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

using testsupport::RgbaImage;

namespace broken {

// A JPEG file's opening (SOI, JFIF APP0 header, EOI).
Bytes jpegBytes();
// The first bytes of `png`.
Bytes truncated(const Bytes& png, size_t keep);
// The zlib stream of the first IDAT names an unknown compression method; the
// chunk's CRC is recomputed, so only the decompressor can notice.
Bytes badImageData(const Bytes& png);
// A few bytes in the middle of the file inverted, CRCs left as they were.
Bytes flippedBytes(const Bytes& png);

// The palette of grey levels that `greyLevels` reduces an image to.
constexpr int greyLevelCount = 16;
// The image reduced to what every PNG colour type can hold exactly:
// 16 grey levels (multiples of 17), with alpha either 0 (those pixels
// become all zero) or 255; an opaque pixel is never level 0. Written in any
// of the encodings below, it decodes to the same RGBA.
RgbaImage greyLevels(const RgbaImage& image);

enum class Encoding {
    Rgba8,
    Gray8Interlaced,    // tRNS marks level 0 transparent
    Gray16,             // tRNS
    Gray4Interlaced,    // tRNS
    GrayAlpha16,
    Palette8,           // tRNS for entry 0
    Palette4Interlaced, // tRNS
    Rgb16,              // tRNS
    Rgba16Interlaced,
};
const char* encodingName(Encoding encoding);
// `image` must come from greyLevels().
Bytes encode(const RgbaImage& image, Encoding encoding);

}  // namespace broken
