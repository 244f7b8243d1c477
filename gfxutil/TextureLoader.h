// Loads image files into Direct3D 9 textures, as D3DXCreateTextureFromFile
// does with its defaults: a managed A8R8G8B8 texture of the image's own size
// with a full mip chain, each level box-filtered from the one above.
#pragma once

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <string>

class TextureLoader {
public:
    // Decodes the PNG file contents and creates the texture through
    // `device`. `name` names the source in the one-line message written to
    // stderr on failure. *ppTexture is set only on success.
    static HRESULT load(IDirect3DDevice9* device, const unsigned char* data, size_t size, const std::string& name,
                        IDirect3DTexture9** ppTexture);

    // Box-filters a tightly packed BGRA image of width x height into the
    // next mip level, max(1, width/2) x max(1, height/2). Each destination
    // texel is the area-weighted average of the source texels it covers, so
    // an odd row or column is shared between its neighbours rather than
    // dropped.
    static void downsample(const unsigned char* source, uint32_t width, uint32_t height, unsigned char* destination);
};
