#include "TextureLoader.h"

#include "Prefetch.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The source texels that one destination texel of a halved dimension
// covers, with their weights out of `total`.
struct Taps {
    uint32_t first;
    uint32_t weight[3];
    uint32_t count;
    uint32_t total;
};

// Halving n texels: even n pairs them; n = 1 keeps the one; odd n = 2k + 1
// gives k texels each covering (2k + 1) / k source texels, with weights
// (k - i, k, i + 1) on source texels 2i, 2i + 1, 2i + 2.
Taps tapsFor(uint32_t n, uint32_t i)
{
    if (n == 1) return {0, {1, 0, 0}, 1, 1};
    if (n % 2 == 0) return {2 * i, {1, 1, 0}, 2, 2};
    uint32_t k = n / 2;
    return {2 * i, {k - i, k, i + 1}, 3, n};
}

HRESULT failWith(const std::string& name, const std::string& reason, HRESULT hr)
{
    std::fprintf(stderr, "%s: %s\n", name.c_str(), reason.c_str());
    return hr;
}

// Copies a tightly packed level into the locked level, row by row at the
// device's pitch.
HRESULT fillLevel(IDirect3DTexture9* texture, UINT level, const unsigned char* pixels, uint32_t width, uint32_t height)
{
    D3DSURFACE_DESC desc;
    if (FAILED(texture->GetLevelDesc(level, &desc)) || desc.Width != width || desc.Height != height)
        return E_FAIL;
    D3DLOCKED_RECT locked;
    HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr)) return hr;
    size_t rowBytes = static_cast<size_t>(width) * 4;
    if (!locked.pBits || locked.Pitch < 0 || static_cast<size_t>(locked.Pitch) < rowBytes) {
        texture->UnlockRect(level);
        return E_FAIL;
    }
    unsigned char* target = static_cast<unsigned char*>(locked.pBits);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(target + static_cast<size_t>(y) * locked.Pitch, pixels + y * rowBytes, rowBytes);
    return texture->UnlockRect(level);
}

// Decodes PNG file contents, timed as `step`: the result the loader reports.
HRESULT decodeContents(const unsigned char* data, size_t size, PngImage& image, std::string& reason,
                       tvd3d9::StartupStep step)
{
    const tvd3d9::StartupTimer timer(step);
    switch (image.decode(data, size, reason)) {
    case PngImage::Status::Ok:
        return D3D_OK;
    case PngImage::Status::OutOfMemory:
        return E_OUTOFMEMORY;
    default:
        return D3DXERR_INVALIDDATA;
    }
}

}  // namespace

void TextureLoader::downsample(const unsigned char* source, uint32_t width, uint32_t height, unsigned char* destination)
{
    uint32_t newWidth = width > 1 ? width / 2 : 1;
    uint32_t newHeight = height > 1 ? height / 2 : 1;
    size_t sourceStride = static_cast<size_t>(width) * 4;
    if (width % 2 == 0 && height % 2 == 0) {
        // The common case (power-of-two sizes): plain 2 x 2 averages.
        for (uint32_t y = 0; y < newHeight; ++y) {
            const unsigned char* top = source + 2 * y * sourceStride;
            const unsigned char* bottom = top + sourceStride;
            unsigned char* out = destination + static_cast<size_t>(y) * newWidth * 4;
            for (uint32_t i = 0; i < newWidth * 4; ++i) {
                uint32_t c = i % 4, x = (i / 4) * 8 + c;
                out[i] = static_cast<unsigned char>((top[x] + top[x + 4] + bottom[x] + bottom[x + 4] + 2) / 4);
            }
        }
        return;
    }
    for (uint32_t y = 0; y < newHeight; ++y) {
        Taps ty = tapsFor(height, y);
        for (uint32_t x = 0; x < newWidth; ++x) {
            Taps tx = tapsFor(width, x);
            uint64_t sum[4] = {0, 0, 0, 0};
            for (uint32_t j = 0; j < ty.count; ++j) {
                const unsigned char* row = source + (ty.first + j) * sourceStride;
                for (uint32_t i = 0; i < tx.count; ++i) {
                    uint64_t weight = static_cast<uint64_t>(ty.weight[j]) * tx.weight[i];
                    const unsigned char* texel = row + (tx.first + i) * 4;
                    for (int c = 0; c < 4; ++c) sum[c] += weight * texel[c];
                }
            }
            uint64_t total = static_cast<uint64_t>(ty.total) * tx.total;
            unsigned char* out = destination + (static_cast<size_t>(y) * newWidth + x) * 4;
            for (int c = 0; c < 4; ++c) out[c] = static_cast<unsigned char>((sum[c] + total / 2) / total);
        }
    }
}

void TextureLoader::decodeFile(const std::string& path, DecodedImage& out, tvd3d9::StartupStep step)
{
    FileData file;
    // A PNG of the largest accepted size compresses to far less than this.
    constexpr size_t maxFileBytes = 256u << 20;
    const FileData::Status status = file.read(path, maxFileBytes, out.reason);
    if (status != FileData::Status::Ok) {
        out.result = FileData::failureResult(status);
        return;
    }
    out.read = true;
    out.stamp = file.stamp();
    out.result = decodeContents(file.data(), file.size(), out.image, out.reason, step);
}

HRESULT TextureLoader::loadFromMemory(IDirect3DDevice9* device, const unsigned char* data, size_t size,
                                      const std::string& name, IDirect3DTexture9** ppTexture)
{
    *ppTexture = nullptr;
    PngImage image;
    std::string reason;
    const HRESULT decoded = decodeContents(data, size, image, reason, tvd3d9::StartupStep::ImageDecoding);
    if (FAILED(decoded)) return failWith(name, reason, decoded);
    return create(device, image, name, ppTexture);
}

HRESULT TextureLoader::create(IDirect3DDevice9* device, const PngImage& image, const std::string& name,
                              IDirect3DTexture9** ppTexture)
{
    *ppTexture = nullptr;
    const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::TextureUpload);
    uint32_t width = image.width();
    uint32_t height = image.height();
    IDirect3DTexture9* texture = nullptr;
    // Levels 0: the device makes the full chain down to 1 x 1.
    HRESULT hr = device->CreateTexture(width, height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    if (FAILED(hr) || !texture) return failWith(name, "the device cannot create the texture", FAILED(hr) ? hr : E_FAIL);

    // Level 0 straight from the decoded image; each further level from the
    // one before, through two scratch buffers that take turns.
    DWORD levels = texture->GetLevelCount();
    if (levels < 1) {
        texture->Release();
        return failWith(name, "the device created a texture without levels", E_FAIL);
    }
    size_t scratchBytes = static_cast<size_t>(width > 1 ? width / 2 : 1) * (height > 1 ? height / 2 : 1) * 4;
    std::unique_ptr<unsigned char[]> scratch[2];
    if (levels > 1) {
        scratch[0].reset(new (std::nothrow) unsigned char[scratchBytes]);
        scratch[1].reset(new (std::nothrow) unsigned char[scratchBytes]);
        if (!scratch[0] || !scratch[1]) {
            texture->Release();
            return failWith(name, "out of memory for the mip levels", E_OUTOFMEMORY);
        }
    }
    const unsigned char* level = image.pixels();
    for (DWORD i = 0; i < levels; ++i) {
        if (i > 0) {
            unsigned char* next = scratch[i % 2].get();
            downsample(level, width, height, next);
            level = next;
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
        }
        hr = fillLevel(texture, i, level, width, height);
        if (FAILED(hr)) {
            texture->Release();
            return failWith(name, "cannot fill mip level " + std::to_string(i) + " of the texture", hr);
        }
    }
    *ppTexture = texture;
    return D3D_OK;
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, LPDIRECT3DTEXTURE9* ppTexture)
{
    if (ppTexture) *ppTexture = nullptr;
    if (!pDevice || !pSrcFile || !ppTexture) {
        std::fprintf(stderr, "%s: cannot load a texture (null device, path or result pointer)\n",
                     pSrcFile ? pSrcFile : "(null)");
        return D3DERR_INVALIDCALL;
    }
    const std::string path = FileData::normalisePath(pSrcFile);
    // The image decoded ahead of time, if it was (tvd3dx::Prefetch);
    // otherwise read and decoded now, with the same outcome.
    DecodedImage decoded;
    if (!takePrefetchedImage(path, decoded))
        TextureLoader::decodeFile(path, decoded, tvd3d9::StartupStep::ImageDecoding);
    if (FAILED(decoded.result)) return failWith(path, decoded.reason, decoded.result);
    return TextureLoader::create(pDevice, decoded.image, path, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                 LPDIRECT3DTEXTURE9* ppTexture)
{
    const std::string name = "image in memory";
    if (ppTexture) *ppTexture = nullptr;
    if (!pDevice || !pSrcData || !ppTexture) return failWith(name, "null device, data or result pointer", D3DERR_INVALIDCALL);
    return TextureLoader::loadFromMemory(pDevice, static_cast<const unsigned char*>(pSrcData), SrcDataSize, name,
                                         ppTexture);
}
