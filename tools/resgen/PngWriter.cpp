#include "PngWriter.h"

#include <png.h>

#include <cstdio>

bool writePngRgba(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba)
{
    if (rgba.size() != static_cast<size_t>(width) * height * 4) {
        std::fprintf(stderr, "%s: image data does not match %ux%u\n", path.c_str(), width, height);
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        return false;
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_stdio(&image, file, 0, rgba.data(), 0, nullptr) != 0;
    if (!ok) std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
    std::fclose(file);
    return ok;
}
