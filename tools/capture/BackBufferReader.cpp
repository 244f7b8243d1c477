#include "BackBufferReader.h"

#include <cstdio>
#include <cstring>

namespace {

// Converts one row of 32-bit pixels to RGB. In memory a D3DFMT_?8R8G8B8
// pixel is the little-endian word 0xAARRGGBB (bytes B, G, R, A); a
// D3DFMT_?8B8G8R8 pixel is 0xAABBGGRR (bytes R, G, B, A).
void convertRow(const uint8_t* source, uint8_t* target, uint32_t width, bool redFirst)
{
    for (uint32_t x = 0; x < width; ++x, source += 4, target += 3) {
        target[0] = redFirst ? source[0] : source[2];
        target[1] = source[1];
        target[2] = redFirst ? source[2] : source[0];
    }
}

std::string hresultText(const char* call, HRESULT result)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (0x%08X)", call, static_cast<unsigned>(result));
    return text;
}

}  // namespace

bool readBackBuffer(IDirect3DDevice9* device, uint32_t& width, uint32_t& height, std::vector<uint8_t>& rgb,
                    std::string& error)
{
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* copy = nullptr;
    bool ok = false;

    HRESULT result = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    D3DSURFACE_DESC desc = {};
    if (FAILED(result) || backBuffer == nullptr) {
        error = hresultText("GetBackBuffer", result);
    } else if (FAILED(result = backBuffer->GetDesc(&desc))) {
        error = hresultText("IDirect3DSurface9::GetDesc", result);
    } else if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8 &&
               desc.Format != D3DFMT_A8B8G8R8 && desc.Format != D3DFMT_X8B8G8R8) {
        error = "back buffer format " + std::to_string(static_cast<int>(desc.Format)) + " is not a 32-bit RGB format";
    } else if (desc.Width == 0 || desc.Height == 0) {
        error = "back buffer has no pixels";
    } else if (FAILED(result = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                                    D3DPOOL_SYSTEMMEM, &copy, NULL)) ||
               copy == nullptr) {
        error = hresultText("CreateOffscreenPlainSurface", result);
    } else if (FAILED(result = device->GetRenderTargetData(backBuffer, copy))) {
        error = hresultText("GetRenderTargetData", result);
    } else {
        D3DLOCKED_RECT locked = {};
        if (FAILED(result = copy->LockRect(&locked, NULL, D3DLOCK_READONLY)) || locked.pBits == nullptr) {
            error = hresultText("IDirect3DSurface9::LockRect", result);
        } else if (locked.Pitch < 0 || static_cast<uint64_t>(locked.Pitch) < uint64_t(desc.Width) * 4) {
            error = "locked surface pitch is smaller than a row";
            copy->UnlockRect();
        } else {
            const bool redFirst = desc.Format == D3DFMT_A8B8G8R8 || desc.Format == D3DFMT_X8B8G8R8;
            width = desc.Width;
            height = desc.Height;
            rgb.resize(static_cast<size_t>(width) * height * 3);
            const uint8_t* row = static_cast<const uint8_t*>(locked.pBits);
            for (uint32_t y = 0; y < height; ++y, row += locked.Pitch)
                convertRow(row, rgb.data() + static_cast<size_t>(y) * width * 3, width, redFirst);
            copy->UnlockRect();
            ok = true;
        }
    }

    if (copy != nullptr)
        copy->Release();
    if (backBuffer != nullptr)
        backBuffer->Release();
    return ok;
}
