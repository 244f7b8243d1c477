// How each supported Direct3D texture format is stored in OpenGL.
#pragma once

#include <d3d9.h>
#include <epoxy/gl.h>

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
};
