// One fuzz case of image loading: the input is a whole image file, loaded
// through D3DXCreateTextureFromFileInMemory onto a recording device whose
// textures are plain memory. Shared by the fuzzer and the regression tests,
// so a crashing input replays through exactly the same code.
#pragma once

#include <d3dx9.h>

#include "support/RecordingDevice.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Returns an empty string when the loader behaved, otherwise what it did
// wrong. Crashes, leaks and undefined behaviour are the sanitizers' to catch.
inline std::string runPngTextureCase(const uint8_t* data, size_t size)
{
    testing_support::RecordingDevice device;
    // A sentinel the call must overwrite (with null when it fails).
    IDirect3DTexture9* const unset = reinterpret_cast<IDirect3DTexture9*>(uintptr_t{1});
    IDirect3DTexture9* texture = unset;
    // libFuzzer may hand an empty input at a null pointer; keep the pointer
    // valid so the call exercises the zero-size path, not the null one.
    static const uint8_t none = 0;
    HRESULT hr = D3DXCreateTextureFromFileInMemory(&device, size ? data : &none, static_cast<UINT>(size), &texture);

    if (texture == unset) return "the texture pointer was not set";
    if (FAILED(hr)) {
        if (texture) return "failed load left a texture pointer";
        if (hr != D3DXERR_INVALIDDATA && hr != E_OUTOFMEMORY) return "unexpected failure code " + std::to_string(hr);
        if (device.liveObjects() != 0) return "failed load left device objects alive";
        return {};
    }
    if (!texture) return "successful load returned no texture";

    // The texture has the size the header declares (the loader takes only
    // files whose first chunk is IHDR, so it is at offset 16) and a full mip
    // chain, every level unlocked again.
    auto* fake = static_cast<testing_support::FakeTexture*>(texture);
    const uint32_t width = (uint32_t{data[16]} << 24) | (uint32_t{data[17]} << 16) | (uint32_t{data[18]} << 8) | data[19];
    const uint32_t height = (uint32_t{data[20]} << 24) | (uint32_t{data[21]} << 16) | (uint32_t{data[22]} << 8) | data[23];
    std::string problem;
    uint32_t fullChain = 1;
    for (uint32_t w = width, h = height; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) ++fullChain;
    if (fake->levels.empty() || fake->levels[0].width != width || fake->levels[0].height != height)
        problem = "texture size differs from the image header";
    else if (fake->levels.size() != fullChain)
        problem = "mip chain is not complete";
    for (const auto& level : fake->levels)
        if (level.locked || level.unlockCount != 1) problem = "a mip level was not filled exactly once";
    if (fake->format != D3DFMT_A8R8G8B8 || fake->pool != D3DPOOL_MANAGED) problem = "wrong texture format or pool";

    if (texture->Release() != 0) problem = "texture has extra references";
    if (problem.empty() && device.liveObjects() != 0) problem = "device objects left alive";
    return problem;
}

}  // namespace fuzzing
