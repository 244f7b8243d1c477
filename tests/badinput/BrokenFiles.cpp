#include "BrokenFiles.h"

#include "support/PngMaker.h"

#include <zlib.h>

namespace {

uint32_t get32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void put32(unsigned char* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

}  // namespace

namespace broken {

Bytes jpegBytes()
{
    return {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00,
            0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xD9};
}

Bytes truncated(const Bytes& png, size_t keep)
{
    return Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(std::min(keep, png.size())));
}

Bytes badImageData(const Bytes& png)
{
    Bytes out = png;
    const size_t at = PngMaker::chunkOffset(out, "IDAT");
    if (at == 0 || at + 12 > out.size()) return out;
    const uint32_t length = get32(&out[at]);
    if (length < 2 || at + 12 + length > out.size()) return out;
    out[at + 8] = 0x0F;  // CMF: compression method 15, which zlib does not know
    const uLong crc = crc32(0L, &out[at + 4], 4 + length);
    put32(&out[at + 8 + length], static_cast<uint32_t>(crc));
    return out;
}

Bytes flippedBytes(const Bytes& png)
{
    Bytes out = png;
    for (size_t i = out.size() / 2; i < out.size() / 2 + 8 && i < out.size(); ++i) out[i] = static_cast<unsigned char>(~out[i]);
    return out;
}

RgbaImage greyLevels(const RgbaImage& image)
{
    RgbaImage out = image;
    for (size_t i = 0; i + 3 < out.pixels.size(); i += 4) {
        uint8_t* p = &out.pixels[i];
        if (p[3] < 128) {
            p[0] = p[1] = p[2] = p[3] = 0;
            continue;
        }
        const int luma = (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000;
        int level = (luma * (greyLevelCount - 1) + 127) / 255;
        if (level == 0) level = 1;
        p[0] = p[1] = p[2] = static_cast<uint8_t>(level * 17);
        p[3] = 255;
    }
    return out;
}

const char* encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Rgba8: return "8-bit RGBA";
    case Encoding::Gray8Interlaced: return "8-bit grey, interlaced, tRNS";
    case Encoding::Gray16: return "16-bit grey, tRNS";
    case Encoding::Gray4Interlaced: return "4-bit grey, interlaced, tRNS";
    case Encoding::GrayAlpha16: return "16-bit grey + alpha";
    case Encoding::Palette8: return "8-bit palette, tRNS";
    case Encoding::Palette4Interlaced: return "4-bit palette, interlaced, tRNS";
    case Encoding::Rgb16: return "16-bit RGB, tRNS";
    case Encoding::Rgba16Interlaced: return "16-bit RGBA, interlaced";
    }
    return "?";
}

Bytes encode(const RgbaImage& image, Encoding encoding)
{
    typedef PngMaker::ColourType Type;
    Type type = Type::Rgba;
    int depth = 8;
    bool interlaced = false;
    switch (encoding) {
    case Encoding::Rgba8: break;
    case Encoding::Gray8Interlaced: type = Type::Gray; interlaced = true; break;
    case Encoding::Gray16: type = Type::Gray; depth = 16; break;
    case Encoding::Gray4Interlaced: type = Type::Gray; depth = 4; interlaced = true; break;
    case Encoding::GrayAlpha16: type = Type::GrayAlpha; depth = 16; break;
    case Encoding::Palette8: type = Type::Palette; break;
    case Encoding::Palette4Interlaced: type = Type::Palette; depth = 4; interlaced = true; break;
    case Encoding::Rgb16: type = Type::Rgb; depth = 16; break;
    case Encoding::Rgba16Interlaced: depth = 16; interlaced = true; break;
    }

    PngMaker png(image.width, image.height, type, depth);
    png.setInterlaced(interlaced);
    // Grey level 0 .. 15 of a pixel (its value / 17) as a sample of the
    // chosen depth: 8 bits v, 16 bits v * 257, 4 bits the level itself.
    auto sample = [depth](uint8_t value) -> uint16_t {
        if (depth == 16) return static_cast<uint16_t>(value * 257);
        if (depth == 4) return static_cast<uint16_t>(value / 17);
        return value;
    };
    if (type == Type::Palette) {
        std::vector<std::array<uint8_t, 3>> entries;
        for (int level = 0; level < greyLevelCount; ++level) {
            const uint8_t v = static_cast<uint8_t>(level * 17);
            entries.push_back({v, v, v});
        }
        png.setPalette(entries);
        png.setTransparency({0});  // entry 0 (level 0) transparent, the rest opaque
    } else if (type == Type::Gray) {
        png.setTransparency({0});
    } else if (type == Type::Rgb) {
        png.setTransparency({0, 0, 0});
    }
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            switch (type) {
            case Type::Gray: png.setPixel(x, y, {sample(p[0])}); break;
            case Type::GrayAlpha: png.setPixel(x, y, {sample(p[0]), sample(p[3])}); break;
            case Type::Palette: png.setPixel(x, y, {static_cast<uint16_t>(p[0] / 17)}); break;
            case Type::Rgb: png.setPixel(x, y, {sample(p[0]), sample(p[1]), sample(p[2])}); break;
            case Type::Rgba: png.setPixel(x, y, {sample(p[0]), sample(p[1]), sample(p[2]), sample(p[3])}); break;
            }
        }
    }
    return png.encode();
}

}  // namespace broken
