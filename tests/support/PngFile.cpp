#include "PngFile.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace testsupport {

namespace {

// Decodes from `image`, which has begun to read its source (or failed to).
RgbaImage finishRead(png_image& image, bool begun, const std::string& source)
{
    RgbaImage result;
    if (!begun) {
        result.error = source + ": " + image.message;
        return result;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        result.error = source + ": " + image.message;
        png_image_free(&image);
        return result;
    }
    result.width = image.width;
    result.height = image.height;
    result.pixels = std::move(pixels);
    return result;
}

}  // namespace

RgbaImage readPng(const std::filesystem::path& path)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    return finishRead(image, png_image_begin_read_from_file(&image, path.c_str()) != 0, path.string());
}

RgbaImage readPng(const std::vector<uint8_t>& contents)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    return finishRead(image, png_image_begin_read_from_memory(&image, contents.data(), contents.size()) != 0,
                      "PNG data");
}

uint64_t ImageDifference::beyond(int tolerance) const
{
    uint64_t count = 0;
    for (int d = std::max(tolerance + 1, 0); d < 256; ++d) count += histogram[static_cast<size_t>(d)];
    return count;
}

ImageDifference compareImages(const RgbaImage& a, const RgbaImage& b)
{
    ImageDifference difference;
    difference.sameSize = a.width == b.width && a.height == b.height && !a.empty() && !b.empty();
    if (!difference.sameSize) return difference;
    for (size_t i = 0; i < a.pixels.size(); i += 4) {
        int largest = 0;
        for (size_t c = 0; c < 3; ++c) largest = std::max(largest, std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c])));
        ++difference.histogram[static_cast<size_t>(largest)];
        if (largest > 0) ++difference.differingPixels;
        difference.largest = std::max(difference.largest, largest);
    }
    return difference;
}

}  // namespace testsupport
