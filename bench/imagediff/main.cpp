// tarnvale-imagediff: how far two frames of the same size differ.
//
//   tarnvale-imagediff BEFORE.png AFTER.png [--diff OUT.png] [--crops X,Y,W,H OUT.png]
//
// A pixel's difference is the largest of its three colour differences (0 to
// 255). Prints one JSON line: the pixels compared, how many differ, the mean
// difference over those and over all pixels, the 99th percentile over those
// that differ, and the largest. --diff writes the differences as a grey
// image, eight times as bright (clipped at white); --crops writes the same
// rectangle of BEFORE, AFTER and the difference image side by side, each
// enlarged twice, for a close look.
#include "tools/capture/PngOutput.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
};

bool readPng(const char* path, Image& out, std::string& error)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        error = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    out.width = image.width;
    out.height = image.height;
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

bool parseRectangle(const char* text, uint32_t (&r)[4])
{
    return std::sscanf(text, "%u,%u,%u,%u", &r[0], &r[1], &r[2], &r[3]) == 4 && r[2] > 0 && r[3] > 0;
}

// The rectangle of each image side by side, with a black gap, each pixel
// drawn as 2 x 2.
Image sideBySide(const std::vector<const Image*>& images, const uint32_t (&r)[4])
{
    const uint32_t gap = 8;
    Image out;
    out.width = static_cast<uint32_t>(images.size()) * (2 * r[2] + gap) - gap;
    out.height = 2 * r[3];
    out.rgb.assign(size_t{out.width} * out.height * 3, 0);
    for (size_t i = 0; i < images.size(); ++i) {
        const Image& in = *images[i];
        const uint32_t left = static_cast<uint32_t>(i) * (2 * r[2] + gap);
        for (uint32_t y = 0; y < out.height; ++y)
            for (uint32_t x = 0; x < 2 * r[2]; ++x) {
                const size_t from = (size_t{r[1] + y / 2} * in.width + r[0] + x / 2) * 3;
                const size_t to = (size_t{y} * out.width + left + x) * 3;
                std::copy_n(&in.rgb[from], 3, &out.rgb[to]);
            }
    }
    return out;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "tarnvale-imagediff: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* diffPath = nullptr;
    const char* cropsPath = nullptr;
    uint32_t crop[4] = {};
    std::vector<const char*> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--diff" && i + 1 < argc) {
            diffPath = argv[++i];
        } else if (arg == "--crops" && i + 2 < argc && parseRectangle(argv[i + 1], crop)) {
            cropsPath = argv[i + 2];
            i += 2;
        } else if (arg.rfind("--", 0) != 0) {
            inputs.push_back(argv[i]);
        } else {
            inputs.clear();
            break;
        }
    }
    if (inputs.size() != 2) {
        std::fprintf(stderr, "usage: tarnvale-imagediff BEFORE.png AFTER.png [--diff OUT.png] [--crops X,Y,W,H OUT.png]\n");
        return 2;
    }
    Image before, after;
    std::string error;
    if (!readPng(inputs[0], before, error)) return fail(std::string(inputs[0]) + ": " + error);
    if (!readPng(inputs[1], after, error)) return fail(std::string(inputs[1]) + ": " + error);
    if (before.width != after.width || before.height != after.height) return fail("the two images differ in size");
    if (cropsPath && (crop[0] + crop[2] > before.width || crop[1] + crop[3] > before.height))
        return fail("the crop rectangle does not lie within the images");

    const size_t pixels = size_t{before.width} * before.height;
    Image difference{before.width, before.height, std::vector<uint8_t>(pixels * 3)};
    std::vector<int> changed;
    double sum = 0.0;
    for (size_t p = 0; p < pixels; ++p) {
        int d = 0;
        for (size_t c = 0; c < 3; ++c) d = std::max(d, std::abs(before.rgb[p * 3 + c] - after.rgb[p * 3 + c]));
        std::fill_n(&difference.rgb[p * 3], 3, static_cast<uint8_t>(std::min(255, d * 8)));
        if (d > 0) changed.push_back(d);
        sum += d;
    }
    std::sort(changed.begin(), changed.end());
    // Nearest rank.
    const int p99 = changed.empty() ? 0 : changed[std::max<size_t>(1, (changed.size() * 99 + 99) / 100) - 1];
    std::printf("{\"pixels\":%zu,\"changed\":%zu,\"mean_changed\":%.2f,\"mean_all\":%.3f,\"p99_changed\":%d,\"max\":%d}\n",
                pixels, changed.size(), changed.empty() ? 0.0 : sum / static_cast<double>(changed.size()),
                sum / static_cast<double>(pixels), p99, changed.empty() ? 0 : changed.back());

    if (diffPath && !writePngRgb(diffPath, difference.width, difference.height, difference.rgb, error))
        return fail(std::string(diffPath) + ": " + error);
    if (cropsPath) {
        const Image crops = sideBySide({&before, &after, &difference}, crop);
        if (!writePngRgb(cropsPath, crops.width, crops.height, crops.rgb, error))
            return fail(std::string(cropsPath) + ": " + error);
    }
    return 0;
}
