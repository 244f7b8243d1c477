#include "GlCaps.h"

#include <epoxy/gl.h>

namespace {

std::string offered()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return std::string(version != nullptr ? version : "no OpenGL version") + " (" +
           (renderer != nullptr ? renderer : "unknown renderer") + ")";
}

}  // namespace

bool GlCaps::ofCurrentContext(GlCaps& caps, std::string& reason)
{
    caps = GlCaps{};
    const int version = epoxy_gl_version();
    if (epoxy_is_desktop_gl()) {
        GLint profile = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
        const bool core = (profile & GL_CONTEXT_CORE_PROFILE_BIT) != 0;
        if (!core || version < 33) {
            reason = "OpenGL 4.5 core, 3.3 core or OpenGL ES 3.0 is needed; the driver offers " + offered();
            return false;
        }
        if (version < 45) {
            caps.api = Api::Gl33;
            caps.directStateAccess = false;
            caps.persistentConstantRing = false;
            caps.clipControl = false;
            caps.textureStorage = false;
            caps.mirrorClampToEdge = false;
            caps.glslVersion = 330;
        }
        caps.debugOutput = version >= 43 || epoxy_has_gl_extension("GL_KHR_debug");
    } else {
        if (version < 30) {
            reason = "OpenGL 4.5 core, 3.3 core or OpenGL ES 3.0 is needed; the driver offers " + offered();
            return false;
        }
        // OpenGL ES 3.0 as WebGL 2 has it: whatever a later ES version or an
        // extension would add is left alone, so this path is the browser's.
        caps.api = Api::Es30;
        caps.es = true;
        caps.directStateAccess = false;
        caps.persistentConstantRing = false;
        caps.clipControl = false;
        caps.bgraTextures = false;
        caps.bgraVertices = false;
        caps.textureReadBack = false;
        caps.bgraReadPixels = false;
        caps.polygonMode = false;
        caps.borderClamp = false;
        caps.lodBias = false;
        caps.mirrorClampToEdge = false;
        caps.glslVersion = 300;
#ifdef __EMSCRIPTEN__
        caps.fenceWaits = false;
#else
        caps.debugOutput = epoxy_has_gl_extension("GL_KHR_debug");
#endif
    }
    caps.packInvert = !caps.es && epoxy_has_gl_extension("GL_MESA_pack_invert");
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
