// Loads image files into Direct3D 9 textures, as D3DXCreateTextureFromFile
// does with its defaults: a managed A8R8G8B8 texture of the image's own size
// with a full mip chain, each level box-filtered from the one above.
#pragma once

#include "FileData.h"
#include "PngImage.h"

#include <d3dx9.h>
#include <tarnvale_d3d9.h>

#include <cstddef>
#include <cstdint>
#include <string>

// An image file read and decoded, or why it could not be.
struct DecodedImage {
    HRESULT result = E_FAIL;  // D3D_OK: `image` holds the pixels
    std::string reason;       // on failure: what is reported after the file's name
    PngImage image;
    bool read = false;        // the file was read; `stamp` says which version
    FileData::Stamp stamp;
};

class TextureLoader {
public:
    // Reads the image file at `path` (a path with '/' separators) and
    // decodes it, adding the time taken to `step` of the start-up profile.
    static void decodeFile(const std::string& path, DecodedImage& out, tvd3d9::StartupStep step);

    // Decodes the PNG file contents and creates the texture through
    // `device`. `name` names the source in the one-line message written to
    // stderr on failure. *ppTexture is set only on success.
    static HRESULT loadFromMemory(IDirect3DDevice9* device, const unsigned char* data, size_t size,
                                  const std::string& name, IDirect3DTexture9** ppTexture);

    // Creates the texture for a decoded image (the failure message names
    // the image `name`). *ppTexture is set only on success.
    static HRESULT create(IDirect3DDevice9* device, const PngImage& image, const std::string& name,
                          IDirect3DTexture9** ppTexture);

    // Box-filters a tightly packed BGRA image of width x height into the
    // next mip level, max(1, width/2) x max(1, height/2). Each destination
    // texel is the area-weighted average of the source texels it covers, so
    // an odd row or column is shared between its neighbours rather than
    // dropped.
    static void downsample(const unsigned char* source, uint32_t width, uint32_t height, unsigned char* destination);
};
