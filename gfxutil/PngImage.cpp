#include "PngImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

// libpng reports errors by longjmp. The two functions that run libpng calls
// (readHeader, readPixels) therefore hold no object with a destructor, and
// everything they touch lives in this plain record.
namespace {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    char error[160] = {};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int passes = 1;
    size_t rowBytes = 0;
};

void onError(png_structp png, png_const_charp message)
{
    PngReader* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    std::strncpy(reader->error, message ? message : "decoding error", sizeof reader->error - 1);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp)
{
    // Warnings (a damaged ancillary chunk, an odd colour profile) do not stop
    // the image from loading, and are not worth a message.
}

void onRead(png_structp png, png_bytep out, size_t count)
{
    PngReader* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position) png_error(png, "file is truncated");
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

// Reads the chunks before the image data and sets up the conversion to
// 8-bit BGRA. Returns false with reader.error set on failure.
bool readHeader(PngReader& reader)
{
    if (setjmp(png_jmpbuf(reader.png))) return false;
    png_set_read_fn(reader.png, &reader, onRead);
    png_read_info(reader.png, reader.info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(reader.png, reader.info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    reader.width = width;
    reader.height = height;
    if (width > PngImage::maxDimension || height > PngImage::maxDimension) return true;  // refused by the caller

    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(reader.png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(reader.png);
    bool transparency = png_get_valid(reader.png, reader.info, PNG_INFO_tRNS) != 0;
    if (transparency) png_set_tRNS_to_alpha(reader.png);
    if (depth == 16) png_set_scale_16(reader.png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(reader.png);
    if (!(colour & PNG_COLOR_MASK_ALPHA) && !transparency) png_set_filler(reader.png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(reader.png);
    reader.passes = png_set_interlace_handling(reader.png);
    png_read_update_info(reader.png, reader.info);
    reader.rowBytes = png_get_rowbytes(reader.png, reader.info);
    return true;
}

// Decodes every pass of every row into `pixels` (rows of `stride` bytes).
bool readPixels(PngReader& reader, unsigned char* pixels, size_t stride)
{
    if (setjmp(png_jmpbuf(reader.png))) return false;
    for (int pass = 0; pass < reader.passes; ++pass)
        for (png_uint_32 y = 0; y < reader.height; ++y) png_read_row(reader.png, pixels + y * stride, nullptr);
    return true;
}

// libpng allocates a buffer of the length a chunk header declares before it
// reads the chunk (a tEXt chunk of "2 GiB" costs a 2 GiB allocation), so a
// few hundred bytes could make it ask for gigabytes. No chunk can be longer
// than what is left of the file: such a file is truncated, and is refused
// before libpng sees it. A header cut short is left for libpng to report.
bool chunksFitInFile(const unsigned char* data, size_t size)
{
    size_t at = 8;  // after the signature
    while (size - at >= 8) {
        const uint32_t length = (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) |
                                (uint32_t{data[at + 2]} << 8) | data[at + 3];
        if (size_t{length} + 12 > size - at) return false;  // length, type, data and CRC
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += size_t{length} + 12;
    }
    return true;
}

}  // namespace

PngImage::Status PngImage::decode(const unsigned char* data, size_t size, std::string& reason)
{
    bgra.reset();
    imageWidth = imageHeight = 0;

    static const unsigned char jpegSignature[] = {0xFF, 0xD8, 0xFF};
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        if (size >= 3 && std::memcmp(data, jpegSignature, 3) == 0)
            reason = "not a PNG file (it holds JPEG data; only PNG images can be loaded)";
        else
            reason = "not a PNG file";
        return Status::InvalidData;
    }
    if (!chunksFitInFile(data, size)) {
        reason = "file is truncated";
        return Status::InvalidData;
    }
    // The header chunk comes first in every PNG file. libpng refuses the
    // chunks it knows when they come before it but skips unknown ones, and
    // would then read the header wherever it turns up.
    if (size >= 16 && std::memcmp(data + 12, "IHDR", 4) != 0) {
        reason = "the first chunk is not IHDR";
        return Status::InvalidData;
    }

    PngReader reader;
    reader.data = data;
    reader.size = size;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    if (reader.png) reader.info = png_create_info_struct(reader.png);
    if (!reader.png || !reader.info) {
        png_destroy_read_struct(&reader.png, nullptr, nullptr);
        reason = "out of memory";
        return Status::OutOfMemory;
    }

    Status status = Status::Ok;
    std::unique_ptr<unsigned char[]> pixels;
    if (!readHeader(reader)) {
        reason = reader.error;
        status = Status::InvalidData;
    } else if (reader.width > maxDimension || reader.height > maxDimension) {
        reason = "image is too large (" + std::to_string(reader.width) + " x " + std::to_string(reader.height) +
                 "; at most " + std::to_string(maxDimension) + " x " + std::to_string(maxDimension) + ")";
        status = Status::TooLarge;
    } else if (reader.rowBytes != static_cast<size_t>(reader.width) * 4) {
        reason = "unsupported pixel layout";
        status = Status::InvalidData;
    } else {
        // Both dimensions are at most 2^14, so this product cannot overflow.
        size_t stride = static_cast<size_t>(reader.width) * 4;
        pixels.reset(new (std::nothrow) unsigned char[stride * reader.height]);
        if (!pixels) {
            reason = "out of memory for a " + std::to_string(reader.width) + " x " + std::to_string(reader.height) +
                     " image";
            status = Status::OutOfMemory;
        } else if (!readPixels(reader, pixels.get(), stride)) {
            reason = reader.error;
            status = Status::InvalidData;
        }
    }
    png_destroy_read_struct(&reader.png, &reader.info, nullptr);
    if (status != Status::Ok) return status;

    bgra = std::move(pixels);
    imageWidth = reader.width;
    imageHeight = reader.height;
    return Status::Ok;
}
