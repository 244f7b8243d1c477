#include "GlCaps.h"

#include "GlApi.h"

namespace {

std::string offered()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return std::string(version != nullptr ? version : "no OpenGL version") + " (" +
           (renderer != nullptr ? renderer : "unknown renderer") + ")";
}

}  // namespace

GlCaps GlCaps::forApi(Api api)
{
    GlCaps caps;
    caps.api = api;
    if (api == Api::Gl45) return caps;
    caps.directStateAccess = false;
    caps.persistentConstantRing = false;
    caps.clipControl = false;
    caps.mirrorClampToEdge = false;
    if (api == Api::Gl33) {
        caps.textureStorage = false;
        caps.glslVersion = 330;
        return caps;
    }
    // OpenGL ES 3.0 as WebGL 2 has it: whatever a later ES version or an
    // extension would add is left alone, so this path is the browser's.
    caps.es = true;
    caps.bgraTextures = false;
    caps.bgraVertices = false;
    caps.bgraReadPixels = false;
    caps.polygonMode = false;
    caps.borderClamp = false;
    caps.lodBias = false;
    caps.glslVersion = 300;
#ifdef __EMSCRIPTEN__
    caps.fenceWaits = false;
    caps.bufferReadBack = false;
#endif
    return caps;
}

bool GlCaps::ofCurrentContext(GlCaps& caps, std::string& reason, Api ceiling)
{
    const int version = epoxy_gl_version();
    Api api = Api::Es30;
    bool usable = version >= 30;
    if (epoxy_is_desktop_gl()) {
        GLint profile = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
        usable = (profile & GL_CONTEXT_CORE_PROFILE_BIT) != 0 && version >= 33;
        api = version >= 45 && ceiling == Api::Gl45 ? Api::Gl45 : Api::Gl33;
    }
    if (!usable) {
        reason = "OpenGL 4.5 core, 3.3 core or OpenGL ES 3.0 is needed; the driver offers " + offered();
        return false;
    }
    caps = forApi(api);
#ifndef __EMSCRIPTEN__
    caps.debugOutput = (!caps.es && version >= 43) || epoxy_has_gl_extension("GL_KHR_debug");
#endif
    caps.packInvert = !caps.es && epoxy_has_gl_extension("GL_MESA_pack_invert");
    // Immutable texture storage where a desktop driver offers it below 4.2:
    // a texture made level by level is copied into one allocation again at
    // its first use.
    if (!caps.es && !caps.textureStorage)
        caps.textureStorage = version >= 42 || epoxy_has_gl_extension("GL_ARB_texture_storage");
    return true;
}

const char* GlCaps::name() const
{
    switch (api) {
    case Api::Gl45: return "OpenGL 4.5 core";
    case Api::Gl33: return "OpenGL 3.3 core";
    default: return "OpenGL ES 3.0";
    }
}
