// What the device's OpenGL context offers, decided once when the context is
// made. The layer runs on three kinds of context:
//
//   Gl45  OpenGL 4.5 core: direct state access, immutable buffer storage
//         with a persistently mapped constant ring, clip control, texture
//         views of Direct3D's BGRA formats through swizzles, debug output.
//   Gl33  OpenGL 3.3 core up to 4.4 (older GPUs, virtual machines' drivers):
//         objects are edited through bindings, constants are plain uniform
//         arrays, Direct3D's depth range is set in the vertex stage.
//   Es30  OpenGL ES 3.0, and nothing beyond it (WebGL 2's feature set, no
//         extension required): as Gl33, and besides no BGRA data, no
//         texture swizzles, no polygon modes or point sizes, no border
//         clamping or LOD bias; textures are read back through a
//         framebuffer.
//
// The device's code asks these flags where it must; the GL calls that differ
// live in GlObjects (object creation and updates), GlStateTracker (state),
// ShaderTranslator and FixedFunctionShader (the GLSL each context takes).
#pragma once

#include <cstdint>
#include <string>

struct GlCaps {
    enum class Api : uint8_t { Gl45, Gl33, Es30 };

    Api api = Api::Gl45;
    bool es = false;
    // glCreate*/glNamed* and friends, glBindTextureUnit, vertex attribute
    // bindings (4.3), glTextureStorage2D.
    bool directStateAccess = true;
    // Constants in one persistently mapped uniform buffer (4.4), bound in
    // ranges; without it each program's uniform arrays are set.
    bool persistentConstantRing = true;
    // glClipControl: Direct3D's 0..1 clip-space depth without any help from
    // the vertex stage.
    bool clipControl = true;
    // glTexStorage2D (4.2, ARB_texture_storage and ES 3.0); else
    // glTexImage2D level by level.
    bool textureStorage = true;
    // Texture data in Direct3D's BGRA layouts and swizzled views of
    // one-channel formats; without them textures hold RGBA8 converted on
    // upload.
    bool bgraTextures = true;
    // Vertex attributes in D3DCOLOR's byte order (GL_BGRA size).
    bool bgraVertices = true;
    // glReadPixels straight into BGRA words.
    bool bgraReadPixels = true;
    // Desktop-only rasteriser state: glPolygonMode, glPointSize and the
    // offset enables for lines and points.
    bool polygonMode = true;
    // Sampler states GL ES 3.0 lacks: border colours, LOD bias.
    bool borderClamp = true;
    bool lodBias = true;
    // GL_MIRROR_CLAMP_TO_EDGE (4.4).
    bool mirrorClampToEdge = true;
    // GL_MESA_pack_invert: glReadPixels can hand rows over top row first.
    bool packInvert = false;
    // Debug output (4.3, or KHR_debug where the context has it).
    bool debugOutput = false;
    // Waiting on a fence with a timeout (WebGL allows none).
    bool fenceWaits = true;
    // Reading a buffer back without stalling the pipeline (WebGL's
    // getBufferSubData waits for the GPU).
    bool bufferReadBack = true;

    // The GLSL the context compiles: "#version 450", "#version 330" or
    // "#version 300 es".
    int glslVersion = 450;

    // The capabilities of the current context, when it is one of the three
    // kinds, and no more than `ceiling` offers (a 4.5 context can be used as
    // a 3.3 one); false with what it offers instead.
    static bool ofCurrentContext(GlCaps& caps, std::string& reason, Api ceiling = Api::Gl45);
    // What a context of `api` offers, extensions aside.
    static GlCaps forApi(Api api);

    // "OpenGL 4.5 core", "OpenGL 3.3 core", "OpenGL ES 3.0".
    const char* name() const;
};
