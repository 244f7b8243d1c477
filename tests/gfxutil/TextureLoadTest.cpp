// Image loading: PNG files of every kind into A8R8G8B8 textures with their
// mip chains, and clean refusal of damaged, foreign and oversized files.
#include <d3dx9.h>
#include <tarnvale_d3dx.h>

#include "TextureOnlyDevice.h"
#include "support/PngMaker.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Type = PngMaker::ColourType;
using Rgba = std::array<int, 4>;

// A texel of a fake level, read back as (r, g, b, a).
Rgba texelAt(const PaddedTexture::LevelData& level, UINT x, UINT y)
{
    const unsigned char* t = level.texel(x, y);
    return {t[2], t[1], t[0], t[3]};
}

class TextureLoadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(scratch.path().empty()); }

    std::string write(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        std::string path = folder + "/" + name;
        EXPECT_TRUE(PngMaker::writeBytes(path, bytes));
        return path;
    }

    // Loads from memory; the texture (owned by the caller) or null.
    PaddedTexture* loadBytes(const std::vector<unsigned char>& bytes, HRESULT* result = nullptr)
    {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);  // must be overwritten
        HRESULT hr = D3DXCreateTextureFromFileInMemory(&device, bytes.data(), static_cast<UINT>(bytes.size()), &texture);
        if (result) *result = hr;
        EXPECT_EQ(SUCCEEDED(hr), texture != nullptr);
        return static_cast<PaddedTexture*>(texture);
    }

    // Expects loading `path` to fail cleanly: a failing code, a null
    // texture, no texture alive, and one stderr line naming the file and
    // containing `reason`.
    void expectRefused(const std::string& path, const std::string& reason)
    {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
        ::testing::internal::CaptureStderr();
        HRESULT hr = D3DXCreateTextureFromFileA(&device, path.c_str(), &texture);
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(FAILED(hr)) << path;
        EXPECT_EQ(texture, nullptr) << path;
        EXPECT_EQ(device.liveTextures, 0) << path;
        EXPECT_EQ(err.rfind(path + ": ", 0), 0u) << err;
        EXPECT_NE(err.find(reason), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
    }

    TextureOnlyDevice device;
    testsupport::TempFolder scratch{"gfxutil"};
    const std::string folder = scratch.path().string();
};

// ---- Decoding -------------------------------------------------------------

TEST_F(TextureLoadTest, RgbaImageFillsEveryLevelWithBoxFilteredTexels)
{
    // 4 x 2 -> levels 4x2, 2x1, 1x1.
    PngMaker png(4, 2, Type::Rgba);
    png.setPixel(0, 0, {255, 0, 0, 255}).setPixel(1, 0, {0, 255, 0, 255});
    png.setPixel(0, 1, {0, 0, 255, 255}).setPixel(1, 1, {255, 255, 255, 255});
    png.setPixel(2, 0, {40, 80, 120, 0}).setPixel(3, 0, {40, 80, 120, 0});
    png.setPixel(2, 1, {40, 80, 120, 200}).setPixel(3, 1, {40, 80, 120, 200});
    PaddedTexture* texture = loadBytes(png.encode());
    ASSERT_NE(texture, nullptr);

    ASSERT_EQ(device.createTextureCalls.size(), 1u);
    const TextureOnlyDevice::CreateTextureCall& call = device.createTextureCalls[0];
    EXPECT_EQ(call.width, 4u);
    EXPECT_EQ(call.height, 2u);
    EXPECT_EQ(call.levels, 0u);
    EXPECT_EQ(call.usage, 0u);
    EXPECT_EQ(call.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(call.pool, D3DPOOL_MANAGED);
    EXPECT_TRUE(call.sharedHandleNull);

    const auto& levels = texture->levels();
    ASSERT_EQ(levels.size(), 3u);
    // Level 0 in B, G, R, A memory order (texelAt turns it back to RGBA).
    EXPECT_EQ(levels[0].texel(0, 0)[2], 255);  // red byte third
    EXPECT_EQ(levels[0].texel(0, 0)[0], 0);
    EXPECT_EQ(texelAt(levels[0], 1, 0), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(texelAt(levels[0], 0, 1), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(texelAt(levels[0], 3, 1), (Rgba{40, 80, 120, 200}));
    // Level 1: the average of each 2 x 2 block.
    EXPECT_EQ(texelAt(levels[1], 0, 0), (Rgba{128, 128, 128, 255}));  // (510/4 = 127.5, rounded)
    EXPECT_EQ(texelAt(levels[1], 1, 0), (Rgba{40, 80, 120, 100}));
    // Level 2: the average of level 1.
    EXPECT_EQ(texelAt(levels[2], 0, 0), (Rgba{84, 104, 124, 178}));
    // The row padding beyond each level's texels is untouched.
    EXPECT_EQ(levels[0].bytes[4 * 4], 0xCD);
    for (const auto& level : levels) {
        EXPECT_EQ(level.locks, 1);
        EXPECT_EQ(level.unlocks, 1);
    }
    texture->Release();
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(TextureLoadTest, OddSizesAverageEveryTexelIntoTheNextLevel)
{
    // 3 x 3: the single texel of level 1 covers all nine, equally.
    PngMaker square(3, 3, Type::Gray);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 3; ++x) square.setPixel(x, y, {static_cast<uint16_t>(y * 3 + x == 8 ? 180 : 0)});
    PaddedTexture* texture = loadBytes(square.encode());
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->levels().size(), 2u);
    EXPECT_EQ(texelAt(texture->levels()[1], 0, 0), (Rgba{20, 20, 20, 255}));  // 180 / 9
    texture->Release();

    // 5 x 1 -> 2 x 1 -> 1 x 1: the middle texel is shared half and half.
    PngMaker row(5, 1, Type::Gray);
    const uint16_t values[] = {10, 20, 250, 40, 50};
    for (uint32_t x = 0; x < 5; ++x) row.setPixel(x, 0, {values[x]});
    texture = loadBytes(row.encode());
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->levels().size(), 3u);
    EXPECT_EQ(texelAt(texture->levels()[1], 0, 0)[0], 62);  // (2*10 + 2*20 + 250) / 5
    EXPECT_EQ(texelAt(texture->levels()[1], 1, 0)[0], 86);  // (250 + 2*40 + 2*50) / 5
    EXPECT_EQ(texelAt(texture->levels()[2], 0, 0)[0], 74);
    texture->Release();
}

// One picture, 5 x 3 (odd, so interlacing leaves passes partly empty), in
// every colour type and depth: the decoded RGBA must match.
struct Format {
    const char* name;
    Type type;
    int depth;
    bool interlaced;
};

class EveryFormatTest : public TextureLoadTest, public ::testing::WithParamInterface<Format> {};

TEST_P(EveryFormatTest, DecodesToTheSameRgba)
{
    const Format f = GetParam();
    const uint32_t w = 5, h = 3;
    PngMaker png(w, h, f.type, f.depth);
    png.setInterlaced(f.interlaced);
    const int levels8 = f.depth >= 8 ? 256 : 1 << f.depth;
    // Expected 8-bit values; the file holds them at its own depth.
    std::vector<Rgba> expected;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            int step = (x + y * w) % levels8;            // a value of the file's depth
            int v8 = f.depth >= 8 ? (step * 37) % 256 : step * 255 / (levels8 - 1);
            uint16_t v = static_cast<uint16_t>(f.depth == 16 ? v8 * 257 : f.depth == 8 ? v8 : step);
            uint16_t a16 = static_cast<uint16_t>(f.depth == 16 ? (255 - v8) * 257 : 255 - v8);
            switch (f.type) {
            case Type::Gray: png.setPixel(x, y, {v}); expected.push_back({v8, v8, v8, 255}); break;
            case Type::GrayAlpha: png.setPixel(x, y, {v, a16}); expected.push_back({v8, v8, v8, 255 - v8}); break;
            case Type::Rgb:
                png.setPixel(x, y, {v, 0, static_cast<uint16_t>(f.depth == 16 ? 65535 : 255)});
                expected.push_back({v8, 0, 255, 255});
                break;
            case Type::Rgba:
                png.setPixel(x, y, {0, v, a16, v});
                expected.push_back({0, v8, 255 - v8, v8});
                break;
            case Type::Palette: {
                png.setPixel(x, y, {static_cast<uint16_t>(step)});
                expected.push_back({v8, 255 - v8, 7, 255});
                break;
            }
            }
        }
    }
    if (f.type == Type::Palette) {
        std::vector<std::array<uint8_t, 3>> palette;
        for (int i = 0; i < levels8; ++i) {
            int v8 = f.depth >= 8 ? (i * 37) % 256 : i * 255 / (levels8 - 1);
            palette.push_back({static_cast<uint8_t>(v8), static_cast<uint8_t>(255 - v8), 7});
        }
        png.setPalette(palette);
    }
    std::vector<unsigned char> bytes = png.encode();
    ASSERT_FALSE(bytes.empty());
    PaddedTexture* texture = loadBytes(bytes);
    ASSERT_NE(texture, nullptr);
    const auto& level0 = texture->levels()[0];
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) EXPECT_EQ(texelAt(level0, x, y), expected[y * w + x]) << f.name << " at " << x << "," << y;
    texture->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Png, EveryFormatTest,
    ::testing::Values(Format{"gray1", Type::Gray, 1, false}, Format{"gray2", Type::Gray, 2, false},
                      Format{"gray4", Type::Gray, 4, true}, Format{"gray8", Type::Gray, 8, false},
                      Format{"gray16", Type::Gray, 16, true}, Format{"grayAlpha8", Type::GrayAlpha, 8, false},
                      Format{"grayAlpha16", Type::GrayAlpha, 16, false}, Format{"rgb8", Type::Rgb, 8, true},
                      Format{"rgb16", Type::Rgb, 16, false}, Format{"rgba8", Type::Rgba, 8, false},
                      Format{"rgba16", Type::Rgba, 16, true}, Format{"palette1", Type::Palette, 1, false},
                      Format{"palette2", Type::Palette, 2, true}, Format{"palette4", Type::Palette, 4, false},
                      Format{"palette8", Type::Palette, 8, true}),
    [](const ::testing::TestParamInfo<Format>& p) { return std::string(p.param.name); });

TEST_F(TextureLoadTest, TransparencyChunksBecomeAlpha)
{
    // Palette: entries past the tRNS list stay opaque.
    PngMaker palette(3, 1, Type::Palette, 8);
    palette.setPalette({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}}).setTransparency({0, 128});
    palette.setPixel(0, 0, {0}).setPixel(1, 0, {1}).setPixel(2, 0, {2});
    PaddedTexture* texture = loadBytes(palette.encode());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texelAt(texture->levels()[0], 0, 0), (Rgba{10, 20, 30, 0}));
    EXPECT_EQ(texelAt(texture->levels()[0], 1, 0), (Rgba{40, 50, 60, 128}));
    EXPECT_EQ(texelAt(texture->levels()[0], 2, 0), (Rgba{70, 80, 90, 255}));
    texture->Release();

    // Gray and RGB colour keys: exactly the key colour turns transparent.
    PngMaker gray(2, 1, Type::Gray, 16);
    gray.setTransparency({0x1234}).setPixel(0, 0, {0x1234}).setPixel(1, 0, {0x1235});
    texture = loadBytes(gray.encode());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texelAt(texture->levels()[0], 0, 0)[3], 0);
    EXPECT_EQ(texelAt(texture->levels()[0], 1, 0)[3], 255);
    texture->Release();

    PngMaker rgb(2, 1, Type::Rgb, 8);
    rgb.setTransparency({1, 2, 3}).setPixel(0, 0, {1, 2, 3}).setPixel(1, 0, {1, 2, 4});
    texture = loadBytes(rgb.encode());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texelAt(texture->levels()[0], 0, 0), (Rgba{1, 2, 3, 0}));
    EXPECT_EQ(texelAt(texture->levels()[0], 1, 0), (Rgba{1, 2, 4, 255}));
    texture->Release();
}

TEST_F(TextureLoadTest, SamplesAreTakenAsStoredWhateverTheGammaChunkSays)
{
    PngMaker png(1, 1, Type::Rgb, 16);
    png.setGamma(100000).setPixel(0, 0, {0x8000, 0x4000, 0xFFFF});  // linear data, 16-bit
    PaddedTexture* texture = loadBytes(png.encode());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texelAt(texture->levels()[0], 0, 0), (Rgba{128, 64, 255, 255}));
    texture->Release();
}

// ---- Sizes ----------------------------------------------------------------

TEST_F(TextureLoadTest, DimensionsUpToTheCapLoadAndBeyondAreRefusedBeforeAllocating)
{
    PaddedTexture* tall = loadBytes(PngMaker(4, 16384, Type::Gray).encode());
    ASSERT_NE(tall, nullptr);
    ASSERT_EQ(tall->levels().size(), 15u);  // 4x16384 ... 1x2, 1x1
    EXPECT_EQ(tall->levels().back().width, 1u);
    EXPECT_EQ(tall->levels().back().height, 1u);
    tall->Release();
    device.createTextureCalls.clear();

    expectRefused(write("tall.png", PngMaker(4, 16385, Type::Gray).encode()), "too large");
    expectRefused(write("huge.png", PngMaker::declaringSize(100000, 100000)), "too large");
    expectRefused(write("wide.png", PngMaker::declaringSize(0x7FFFFFFF, 1)), "");
    EXPECT_TRUE(device.createTextureCalls.empty());
}

// ---- Files that must be refused ------------------------------------------

TEST_F(TextureLoadTest, DamagedAndForeignFilesAreRefusedCleanly)
{
    PngMaker picture(16, 16, Type::Rgb);
    for (uint32_t i = 0; i < 16; ++i) picture.setPixel(i, i, {static_cast<uint16_t>(i * 13), 7, 99});
    const std::vector<unsigned char> good = picture.encode();
    const size_t idat = PngMaker::chunkOffset(good, "IDAT");
    ASSERT_GT(idat, 0u);

    expectRefused(write("cut-in-data.png", PngMaker::truncated(good, idat + 8 + 10)), "truncated");
    expectRefused(write("cut-in-header.png", PngMaker::truncated(good, 20)), "truncated");
    expectRefused(write("bad-ihdr-crc.png", PngMaker::withBadCrc(good, "IHDR")), "CRC");
    expectRefused(write("bad-idat-crc.png", PngMaker::withBadCrc(good, "IDAT")), "CRC");
    expectRefused(TARNVALE_SOURCE_DIR "/fuzz/corpus/png/refused-chunk-before-ihdr.png", "not IHDR");
    expectRefused(write("text.png", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}), "not a PNG file");
    expectRefused(write("photo.png", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1}), "JPEG");
    expectRefused(write("empty.png", {}), "not a PNG file");
    expectRefused(folder + "/missing.png", "cannot open");
    expectRefused(folder, "not a regular file");
    EXPECT_TRUE(device.createTextureCalls.empty());
}

// Images decoded ahead (tvd3dx::Prefetch) load as the files would: the
// same texture, the same refusal and message. A file replaced after it was
// read ahead is read again; images nobody asks for go with the prefetch.
TEST_F(TextureLoadTest, ImagesDecodedAheadLoadAsTheFilesWould)
{
    const std::string good = write("good.png", PngMaker(4, 2, Type::Rgba).encode());
    const std::string bad = write("bad.png", PngMaker::withBadCrc(PngMaker(4, 4, Type::Rgb).encode(), "IDAT"));
    const std::string replaced = write("replaced.png", PngMaker(2, 2, Type::Rgba).encode());
    auto load = [&](const std::string& path, HRESULT& hr, std::string& err) {
        IDirect3DTexture9* texture = nullptr;
        ::testing::internal::CaptureStderr();
        hr = D3DXCreateTextureFromFileA(&device, path.c_str(), &texture);
        err = ::testing::internal::GetCapturedStderr();
        if (texture) texture->Release();
    };
    HRESULT ownHr = D3D_OK;
    std::string ownErr;
    load(bad, ownHr, ownErr);
    ASSERT_TRUE(FAILED(ownHr));

    {
        const tvd3dx::Prefetch prefetch({good, bad, replaced, write("never-asked.png", PngMaker(8, 8, Type::Rgba).encode())},
                                        {});
        // Most likely read ahead by now; either way the texture must be the new file's.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string newer = write("newer.png", PngMaker(6, 6, Type::Rgba).encode());
        ASSERT_EQ(std::rename(newer.c_str(), replaced.c_str()), 0);

        HRESULT hr = E_FAIL;
        std::string err;
        device.createTextureCalls.clear();
        load(good, hr, err);
        EXPECT_EQ(hr, D3D_OK) << err;
        load(bad, hr, err);
        EXPECT_EQ(hr, ownHr);
        EXPECT_EQ(err, ownErr);
        load(replaced, hr, err);
        EXPECT_EQ(hr, D3D_OK) << err;
        ASSERT_EQ(device.createTextureCalls.size(), 2u);
        EXPECT_EQ(device.createTextureCalls[0].width, 4u);
        EXPECT_EQ(device.createTextureCalls[1].width, 6u);
    }
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(TextureLoadTest, BackslashesInThePathAreFolderSeparators)
{
    std::string path = write("ball.png", PngMaker(2, 2, Type::Rgba).encode());
    std::string windowsPath = path;
    windowsPath.replace(windowsPath.rfind('/'), 1, "\\");
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, windowsPath.c_str(), &texture), D3D_OK);
    ASSERT_NE(texture, nullptr);
    texture->Release();
}

TEST_F(TextureLoadTest, DeviceFailuresReleaseWhatWasMade)
{
    const std::vector<unsigned char> png = PngMaker(8, 8, Type::Rgba).encode();
    HRESULT hr = D3D_OK;

    device.createTextureResult = E_OUTOFMEMORY;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadBytes(png, &hr), nullptr);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(hr, E_OUTOFMEMORY);

    device.createTextureResult = D3D_OK;
    device.failLockOfLevel = 2;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadBytes(png, &hr), nullptr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(err.find("level 2"), std::string::npos) << err;
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(TextureLoadTest, NullArgumentsAreRejected)
{
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
    std::vector<unsigned char> png = PngMaker(1, 1, Type::Gray).encode();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "res/cueball.png", &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, "res/cueball.png", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(&device, nullptr, 10, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(&device, png.data(), static_cast<UINT>(png.size()), nullptr),
              D3DERR_INVALIDCALL);
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(device.createTextureCalls.empty());
}

// The program's own images, by the names the program uses.
TEST_F(TextureLoadTest, ProgramImagesLoad)
{
    std::vector<std::string> names = {"res\\cueball.png", "res\\smallfonts128x128.png"};
    for (int i = 1; i <= 15; ++i) names.push_back("res\\" + std::to_string(i) + "-ball.png");
    for (const std::string& name : names) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileA(&device, name.c_str(), &texture), D3D_OK) << name;
        if (texture) texture->Release();
    }
    EXPECT_EQ(device.liveTextures, 0);
}

}  // namespace
