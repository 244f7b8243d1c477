// tarnvale-framecompare: does a frame rendered by one OpenGL implementation
// show the same picture as a reference frame rendered by another?
//
//   tarnvale-framecompare REFERENCE.png CANDIDATE.png [--ignore X0,Y0:X1,Y1]...
//                         [--probe X,Y]... [--diff OUT.png] [--crops X,Y,W,H OUT.png]
//
// Two conforming rasterisers need not give identical pixels. Which pixels a
// triangle covers depends on vertex positions computed in floating point,
// so pixels whose centres lie on an edge may go either way; and texture
// filtering (level of detail, filter weights) and shading arithmetic are
// only as precise as the hardware makes them. Everything else must agree:
// the same objects, in the same places, in the same colours. The rules
// (difference = the largest of the red, green and blue differences):
//
//  * Away from edges, every pixel within 16 levels, but for 0.02 % of the
//    frame. Edges are where the reference changes sharply (by more than 48
//    levels to a neighbour: silhouettes, the digits and stripes on the
//    balls, text) and the pixels next to them: there a shift of a fraction
//    of a pixel changes the pixel wholesale.
//  * At edges, at most 2 % of the edge pixels beyond 16 levels. A whole
//    picture moved by one pixel puts most edge pixels beyond it.
//  * Every 32 x 32 block of the frame within 6 levels in its mean colour:
//    a missing, moved or differently turned object shifts the mean of the
//    blocks it covers by far more; coverage and rounding differences do not.
//  * At each --probe point (the centre of an object that must be there),
//    the mean colour of the disc of radius 8 around it within 8 levels.
//
// --ignore leaves out a rectangle [X0, X1) x [Y0, Y1) that may honestly
// differ (the overlay line naming the device). --diff writes a picture of
// the differences: grey where a pixel differs within tolerance, yellow at
// edges beyond it, red elsewhere beyond it. --crops writes the same
// rectangle of the reference, the candidate and that picture side by side,
// each enlarged twice, for a close look.
//
// Prints one JSON line with the figures (among them the mean and the 99th
// percentile of the differences of the pixels that differ); exits 0 when
// the candidate passes, 1 when it does not, 2 when the arguments or images
// are unusable.
#include "../JsonString.h"
#include "../capture/PngOutput.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int pixelTolerance = 16;
constexpr int edgeContrast = 48;
constexpr double interiorAllowance = 0.0002;  // of all compared pixels
constexpr double edgeAllowance = 0.02;        // of the edge pixels
constexpr int blockSize = 32;
constexpr double blockTolerance = 6.0;
constexpr int probeRadius = 8;
constexpr double probeTolerance = 8.0;

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

bool readPng(const char* path, Image& image, std::string& error)
{
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path)) {
        error = std::string(path) + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        error = std::string(path) + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    image.width = png.width;
    image.height = png.height;
    return true;
}

int difference(const uint8_t* a, const uint8_t* b)
{
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

bool parseInt(std::string_view text, int& value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parsePoint(std::string_view text, int& x, int& y)
{
    const size_t comma = text.find(',');
    return comma != std::string_view::npos && parseInt(text.substr(0, comma), x) && parseInt(text.substr(comma + 1), y);
}

struct Rect {
    int x0, y0, x1, y1;
};

struct Options {
    const char* reference = nullptr;
    const char* candidate = nullptr;
    const char* diff = nullptr;
    const char* crops = nullptr;
    int crop[4] = {};  // x, y, width, height
    std::vector<Rect> ignored;
    std::vector<std::pair<int, int>> probes;
};

bool parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--ignore" && hasValue) {
            const std::string_view value = argv[++i];
            const size_t colon = value.find(':');
            Rect r{};
            if (colon == std::string_view::npos || !parsePoint(value.substr(0, colon), r.x0, r.y0) ||
                !parsePoint(value.substr(colon + 1), r.x1, r.y1))
                return false;
            options.ignored.push_back(r);
        } else if (arg == "--probe" && hasValue) {
            int x = 0, y = 0;
            if (!parsePoint(argv[++i], x, y)) return false;
            options.probes.emplace_back(x, y);
        } else if (arg == "--diff" && hasValue) {
            options.diff = argv[++i];
        } else if (arg == "--crops" && i + 2 < argc) {
            int* r = options.crop;
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &r[0], &r[1], &r[2], &r[3]) != 4 || r[0] < 0 || r[1] < 0 ||
                r[2] <= 0 || r[3] <= 0)
                return false;
            options.crops = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && options.reference == nullptr) {
            options.reference = argv[i];
        } else if (!arg.empty() && arg[0] != '-' && options.candidate == nullptr) {
            options.candidate = argv[i];
        } else {
            return false;
        }
    }
    return options.candidate != nullptr;
}

struct Comparison {
    std::vector<uint8_t> counted;  // 1 where the pixel takes part
    std::vector<uint8_t> edge;     // 1 at or next to a sharp change of the reference
    std::vector<int> diff;         // per pixel
    uint64_t compared = 0, differing = 0, edgePixels = 0, edgeBeyond = 0, interiorBeyond = 0;
    int largest = 0;
    double worstBlock = 0.0;
    double worstProbe = 0.0;
    std::vector<std::string> failures;  // the first few, then a count of the rest
    uint64_t failureCount = 0;

    void fail(const std::string& text)
    {
        if (++failureCount <= 8) failures.push_back(text);
    }
};

void compare(const Image& ref, const Image& cand, const Options& options, Comparison& c)
{
    const int w = static_cast<int>(ref.width), h = static_cast<int>(ref.height);
    const size_t n = size_t(w) * h;
    c.counted.assign(n, 1);
    for (const Rect& r : options.ignored)
        for (int y = std::max(r.y0, 0); y < std::min(r.y1, h); ++y)
            for (int x = std::max(r.x0, 0); x < std::min(r.x1, w); ++x) c.counted[size_t(y) * w + x] = 0;

    // Sharp changes of the reference, then widened by a pixel.
    std::vector<uint8_t> sharp(n, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int dy = -1; dy <= 1 && !sharp[size_t(y) * w + x]; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    if (difference(ref.at(x, y), ref.at(nx, ny)) > edgeContrast) {
                        sharp[size_t(y) * w + x] = 1;
                        break;
                    }
                }
    c.edge.assign(n, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < w && ny < h && sharp[size_t(ny) * w + nx]) c.edge[size_t(y) * w + x] = 1;
                }

    c.diff.assign(n, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (!c.counted[i]) continue;
            const int d = difference(ref.at(x, y), cand.at(x, y));
            c.diff[i] = d;
            ++c.compared;
            c.differing += d > 0;
            c.largest = std::max(c.largest, d);
            if (c.edge[i]) {
                ++c.edgePixels;
                c.edgeBeyond += d > pixelTolerance;
            } else {
                c.interiorBeyond += d > pixelTolerance;
            }
        }
    const uint64_t interiorLimit = static_cast<uint64_t>(interiorAllowance * static_cast<double>(c.compared));
    const uint64_t edgeLimit = static_cast<uint64_t>(edgeAllowance * static_cast<double>(c.edgePixels));
    if (c.interiorBeyond > interiorLimit)
        c.fail(std::to_string(c.interiorBeyond) + " pixels away from edges differ by more than " +
                             std::to_string(pixelTolerance) + " levels (at most " + std::to_string(interiorLimit) + ")");
    if (c.edgeBeyond > edgeLimit)
        c.fail(std::to_string(c.edgeBeyond) + " edge pixels differ by more than " +
                             std::to_string(pixelTolerance) + " levels (at most " + std::to_string(edgeLimit) + ")");

    // Mean colour of the counted pixels of a region, per channel, in both images.
    auto meanDifference = [&](int x0, int y0, int x1, int y1, auto inside) {
        double sums[2][3] = {};
        uint64_t count = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, w); ++x) {
                if (!c.counted[size_t(y) * w + x] || !inside(x, y)) continue;
                ++count;
                for (int k = 0; k < 3; ++k) {
                    sums[0][k] += ref.at(x, y)[k];
                    sums[1][k] += cand.at(x, y)[k];
                }
            }
        double worst = 0.0;
        for (int k = 0; k < 3 && count > 0; ++k) worst = std::max(worst, std::abs(sums[0][k] - sums[1][k]) / count);
        return worst;
    };
    for (const auto& [px, py] : options.probes) {
        const double d = meanDifference(px - probeRadius, py - probeRadius, px + probeRadius + 1, py + probeRadius + 1,
                                        [&](int x, int y) {
                                            return (x - px) * (x - px) + (y - py) * (y - py) <= probeRadius * probeRadius;
                                        });
        c.worstProbe = std::max(c.worstProbe, d);
        if (d > probeTolerance) {
            char text[128];
            std::snprintf(text, sizeof text, "the disc around %d,%d differs by %.1f levels in its mean colour", px, py, d);
            c.fail(text);
        }
    }
    for (int y = 0; y < h; y += blockSize)
        for (int x = 0; x < w; x += blockSize) {
            const double d = meanDifference(x, y, x + blockSize, y + blockSize, [](int, int) { return true; });
            if (d > c.worstBlock) c.worstBlock = d;
            if (d > blockTolerance) {
                char text[128];
                std::snprintf(text, sizeof text, "the block at %d,%d differs by %.1f levels in its mean colour", x, y, d);
                c.fail(text);
            }
        }
}

Image diffPicture(const Comparison& c, uint32_t width, uint32_t height)
{
    Image picture{width, height, std::vector<uint8_t>(size_t(width) * height * 3, 0)};
    std::vector<uint8_t>& rgb = picture.rgb;
    for (size_t i = 0; i < c.diff.size(); ++i) {
        uint8_t* p = &rgb[i * 3];
        const int d = c.diff[i];
        if (d > pixelTolerance) {
            p[0] = 255;
            p[1] = c.edge[i] ? 255 : 0;
        } else if (d > 0) {
            p[0] = p[1] = p[2] = static_cast<uint8_t>(64 + d * 8);
        }
    }
    return picture;
}

// The rectangle of each image side by side, with a black gap, each pixel
// drawn as 2 x 2.
Image sideBySide(const std::vector<const Image*>& images, const int (&r)[4])
{
    const uint32_t gap = 8, w = static_cast<uint32_t>(r[2]), h = static_cast<uint32_t>(r[3]);
    Image out{static_cast<uint32_t>(images.size()) * (2 * w + gap) - gap, 2 * h, {}};
    out.rgb.assign(size_t(out.width) * out.height * 3, 0);
    for (size_t i = 0; i < images.size(); ++i) {
        const uint32_t left = static_cast<uint32_t>(i) * (2 * w + gap);
        for (uint32_t y = 0; y < out.height; ++y)
            for (uint32_t x = 0; x < 2 * w; ++x)
                std::copy_n(images[i]->at(r[0] + static_cast<int>(x / 2), r[1] + static_cast<int>(y / 2)), 3,
                            &out.rgb[(size_t(y) * out.width + left + x) * 3]);
    }
    return out;
}

// Mean and 99th percentile (nearest rank) of the differences of the pixels
// that differ.
void differingFigures(const Comparison& c, double& mean, int& p99)
{
    std::vector<int> differing;
    for (size_t i = 0; i < c.diff.size(); ++i)
        if (c.counted[i] && c.diff[i] > 0) differing.push_back(c.diff[i]);
    mean = 0.0;
    p99 = 0;
    if (differing.empty()) return;
    std::sort(differing.begin(), differing.end());
    for (int d : differing) mean += d;
    mean /= static_cast<double>(differing.size());
    p99 = differing[std::max<size_t>(1, (differing.size() * 99 + 99) / 100) - 1];
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseArguments(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: tarnvale-framecompare REFERENCE.png CANDIDATE.png [--ignore X0,Y0:X1,Y1]... "
                     "[--probe X,Y]... [--diff OUT.png] [--crops X,Y,W,H OUT.png]\n");
        return 2;
    }
    Image ref, cand;
    std::string error;
    if (!readPng(options.reference, ref, error) || !readPng(options.candidate, cand, error)) {
        std::fprintf(stderr, "tarnvale-framecompare: %s\n", error.c_str());
        return 2;
    }
    Comparison c;
    double meanDiffering = 0.0;
    int p99Differing = 0;
    if (ref.width != cand.width || ref.height != cand.height) {
        c.fail("the sizes differ: " + std::to_string(ref.width) + "x" + std::to_string(ref.height) +
                             " and " + std::to_string(cand.width) + "x" + std::to_string(cand.height));
    } else {
        compare(ref, cand, options, c);
        differingFigures(c, meanDiffering, p99Differing);
        const Image picture = diffPicture(c, ref.width, ref.height);
        const int* r = options.crop;
        if (options.crops != nullptr &&
            (int64_t{r[0]} + r[2] > int64_t{ref.width} || int64_t{r[1]} + r[3] > int64_t{ref.height})) {
            std::fprintf(stderr, "tarnvale-framecompare: the crop rectangle does not lie within the frames\n");
            return 2;
        }
        const std::pair<const char*, Image> outputs[] = {
            {options.diff, picture},
            {options.crops, options.crops ? sideBySide({&ref, &cand, &picture}, options.crop) : Image{}}};
        for (const auto& [path, image] : outputs) {
            if (path != nullptr && !writePngRgb(path, image.width, image.height, image.rgb, error)) {
                std::fprintf(stderr, "tarnvale-framecompare: %s: %s\n", path, error.c_str());
                return 2;
            }
        }
    }
    if (c.failureCount > c.failures.size())
        c.failures.push_back("and " + std::to_string(c.failureCount - c.failures.size()) + " more");
    std::string failures;
    for (const std::string& f : c.failures) failures += (failures.empty() ? "" : ",") + jsonString(f);
    std::printf("{\"pass\":%s,\"compared\":%llu,\"differing\":%llu,\"mean_differing\":%.2f,\"p99_differing\":%d,"
                "\"largest\":%d,\"edge_pixels\":%llu,"
                "\"edge_beyond\":%llu,\"interior_beyond\":%llu,\"worst_block\":%.2f,\"worst_probe\":%.2f,"
                "\"failures\":[%s]}\n",
                c.failures.empty() ? "true" : "false", static_cast<unsigned long long>(c.compared),
                static_cast<unsigned long long>(c.differing), meanDiffering, p99Differing, c.largest,
                static_cast<unsigned long long>(c.edgePixels),
                static_cast<unsigned long long>(c.edgeBeyond), static_cast<unsigned long long>(c.interiorBeyond),
                c.worstBlock, c.worstProbe, failures.c_str());
    return c.failures.empty() ? 0 : 1;
}
