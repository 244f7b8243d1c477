#include "PngMaker.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

void appendBytes(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

void put32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

uint32_t get32(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

void appendChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    put32(out, static_cast<uint32_t>(crc));
}

// Everything libpng needs, in one plain record, so that the function that
// may be left by longjmp holds nothing with a destructor.
struct WriteJob {
    uint32_t width, height;
    int colourType, depth, interlace;
    png_bytepp rows;
    const png_color* palette;
    int paletteSize;
    const png_byte* trnsAlpha;
    int trnsCount;
    const png_color_16* trnsColour;
    uint32_t gamma;
    std::vector<unsigned char>* out;
};

bool writeWithLibpng(const WriteJob& job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, job.out, appendBytes, flushNothing);
    png_set_IHDR(png, info, job.width, job.height, job.depth, job.colourType, job.interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (job.paletteSize) png_set_PLTE(png, info, job.palette, job.paletteSize);
    if (job.trnsCount || job.trnsColour)
        png_set_tRNS(png, info, job.trnsAlpha, job.trnsCount, job.trnsColour);
    if (job.gamma) png_set_gAMA_fixed(png, info, job.gamma);
    png_write_info(png, info);
    if (job.depth < 8) png_set_packing(png);
    png_write_image(png, job.rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

PngMaker::PngMaker(uint32_t width, uint32_t height, ColourType type, int bitDepth)
    : imageWidth(width), imageHeight(height), colourType(type), depth(bitDepth)
{
    samples.assign(static_cast<size_t>(width) * height * channels(), 0);
}

int PngMaker::channels() const
{
    switch (colourType) {
    case ColourType::Gray: return 1;
    case ColourType::GrayAlpha: return 2;
    case ColourType::Rgb: return 3;
    case ColourType::Rgba: return 4;
    case ColourType::Palette: return 1;
    }
    return 1;
}

PngMaker& PngMaker::setInterlaced(bool interlaced)
{
    interlace = interlaced;
    return *this;
}

PngMaker& PngMaker::setPixel(uint32_t x, uint32_t y, std::initializer_list<uint16_t> values)
{
    size_t at = (static_cast<size_t>(y) * imageWidth + x) * channels();
    int i = 0;
    for (uint16_t v : values)
        if (i < channels()) samples[at + i++] = v;
    return *this;
}

PngMaker& PngMaker::setPalette(const std::vector<std::array<uint8_t, 3>>& entries)
{
    palette = entries;
    return *this;
}

PngMaker& PngMaker::setTransparency(const std::vector<uint16_t>& values)
{
    transparency = values;
    hasTransparency = true;
    return *this;
}

PngMaker& PngMaker::setGamma(uint32_t gammaTimes100000)
{
    gamma = gammaTimes100000;
    return *this;
}

std::vector<unsigned char> PngMaker::encode() const
{
    // Rows in file order: one byte per sample below 8 bits (libpng packs
    // them), big-endian pairs at 16 bits.
    const int perSample = depth == 16 ? 2 : 1;
    const size_t rowBytes = static_cast<size_t>(imageWidth) * channels() * perSample;
    std::vector<unsigned char> pixels(rowBytes * imageHeight);
    for (size_t i = 0; i < samples.size(); ++i) {
        if (perSample == 2) {
            pixels[2 * i] = static_cast<unsigned char>(samples[i] >> 8);
            pixels[2 * i + 1] = static_cast<unsigned char>(samples[i]);
        } else {
            pixels[i] = static_cast<unsigned char>(samples[i]);
        }
    }
    std::vector<png_bytep> rows(imageHeight);
    for (uint32_t y = 0; y < imageHeight; ++y) rows[y] = pixels.data() + y * rowBytes;

    std::vector<png_color> plte;
    for (const auto& e : palette) plte.push_back(png_color{e[0], e[1], e[2]});
    std::vector<png_byte> alpha;
    png_color_16 colour = {};
    bool colourKey = false;
    if (hasTransparency) {
        if (colourType == ColourType::Palette) {
            for (uint16_t a : transparency) alpha.push_back(static_cast<png_byte>(a));
        } else if (colourType == ColourType::Gray && !transparency.empty()) {
            colour.gray = transparency[0];
            colourKey = true;
        } else if (colourType == ColourType::Rgb && transparency.size() >= 3) {
            colour.red = transparency[0];
            colour.green = transparency[1];
            colour.blue = transparency[2];
            colourKey = true;
        }
    }

    static const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE};
    std::vector<unsigned char> out;
    WriteJob job{imageWidth,
                 imageHeight,
                 types[static_cast<int>(colourType)],
                 depth,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 rows.data(),
                 plte.empty() ? nullptr : plte.data(),
                 static_cast<int>(plte.size()),
                 alpha.empty() ? nullptr : alpha.data(),
                 static_cast<int>(alpha.size()),
                 colourKey ? &colour : nullptr,
                 gamma,
                 &out};
    if (!writeWithLibpng(job)) out.clear();
    return out;
}

bool PngMaker::writeFile(const std::string& path) const
{
    std::vector<unsigned char> bytes = encode();
    return !bytes.empty() && writeBytes(path, bytes);
}

bool PngMaker::writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<unsigned char> PngMaker::truncated(const std::vector<unsigned char>& png, size_t keep)
{
    return std::vector<unsigned char>(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(std::min(keep, png.size())));
}

size_t PngMaker::chunkOffset(const std::vector<unsigned char>& png, const char* chunkType)
{
    size_t at = 8;  // after the signature
    while (at + 12 <= png.size()) {
        uint32_t length = get32(&png[at]);
        if (std::memcmp(&png[at + 4], chunkType, 4) == 0) return at;
        if (length > png.size() - at - 12) break;
        at += 12 + length;
    }
    return 0;
}

std::vector<unsigned char> PngMaker::withBadCrc(const std::vector<unsigned char>& png, const char* chunkType)
{
    std::vector<unsigned char> damaged = png;
    size_t at = chunkOffset(png, chunkType);
    if (at) damaged[at + 8 + get32(&png[at])] ^= 0x5A;  // first byte of its CRC
    return damaged;
}

std::vector<unsigned char> PngMaker::declaringSize(uint32_t width, uint32_t height)
{
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> out(signature, signature + 8);
    std::vector<unsigned char> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {8, PNG_COLOR_TYPE_RGB_ALPHA, 0, 0, 0});
    appendChunk(out, "IHDR", header);
    // A few rows' worth of zero data, nowhere near the declared size.
    std::vector<unsigned char> raw(4096, 0);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    appendChunk(out, "IDAT", packed);
    appendChunk(out, "IEND", {});
    return out;
}
