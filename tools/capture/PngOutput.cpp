#include "PngOutput.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool writePngRgb(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb,
                 std::string& error)
{
    if (width == 0 || height == 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        error = "no image to write";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    if (!ok)
        error = image.message;
    png_image_free(&image);
    if (std::fclose(file) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}
