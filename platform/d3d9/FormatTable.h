// How each supported Direct3D texture format is stored in OpenGL.
#pragma once

#include <d3d9.h>
#include "GlApi.h"

#include <cstddef>
#include <cstdint>

struct GlFormat {
    D3DFORMAT format;
    GLenum internalFormat;  // for glTextureStorage2D
    GLenum pixelFormat;     // for glTextureSubImage2D, matching the D3D memory layout
    GLenum pixelType;
    UINT bytesPerPixel;
    GLint swizzle[4];       // GL_TEXTURE_SWIZZLE_RGBA
};

class FormatTable {
public:
    // The GL storage of a texture format, or null when the format is not
    // supported for textures.
    static const GlFormat* texture(D3DFORMAT format);
    // Formats a back buffer or a lockable offscreen surface can have.
    static bool isRenderTargetColor(D3DFORMAT format);
    static bool isDepthStencil(D3DFORMAT format);

    // Where a context takes neither Direct3D's BGRA layouts nor swizzled
    // views (GL ES, WebGL), every texture is RGBA8: `count` pixels of
    // `format` as GL's R, G, B, A bytes, with what the swizzle would have
    // given (alpha 1 for X formats, L in red, green and blue).
    static void toRgba8(const GlFormat& format, const uint8_t* pixels, uint8_t* rgba, size_t count);
    // The other way, for levels read back: what toRgba8 made of them gives
    // back the original pixels.
    static void fromRgba8(const GlFormat& format, const uint8_t* rgba, uint8_t* pixels, size_t count);
};
