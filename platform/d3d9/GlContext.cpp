#include "GlContext.h"

#include "GlStateTracker.h"

namespace {

// The context this layer made current last, on the one thread that draws.
GlContext* active = nullptr;

}  // namespace

GlContext::~GlContext() = default;

bool GlContext::makeCurrent()
{
    if (isCurrent()) return true;
    if (active != this) releaseActive();
    if (!bind()) return false;
    active = this;
    return true;
}

void GlContext::releaseActive()
{
    if (active != nullptr) active->release();
    active = nullptr;
}

void GlContext::markActive()
{
    active = this;
}

void GlContext::forgetIfActive()
{
    if (active != this) return;
    release();
    active = nullptr;
}

bool GlContext::offersCore45(std::string& reason)
{
    GLint profile = 0;
    if (epoxy_is_desktop_gl()) glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    if (epoxy_is_desktop_gl() && epoxy_gl_version() >= 45 && (profile & GL_CONTEXT_CORE_PROFILE_BIT)) return true;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    reason = std::string("OpenGL 4.5 core is needed; the driver offers ") +
             (version != nullptr ? version : "no OpenGL version") + " (" +
             (renderer != nullptr ? renderer : "unknown renderer") + ")";
    return false;
}

void GlContext::stretch(GlStateTracker& tracker, GLuint source, int sourceWidth, int sourceHeight, GLuint target,
                        int targetWidth, int targetHeight)
{
    tracker.enable(GlStateTracker::ScissorTest, false);
    tracker.colorMask(0xF);
    tracker.bindReadFramebuffer(source);
    tracker.bindDrawFramebuffer(target);
    glBlitNamedFramebuffer(source, target, 0, 0, sourceWidth, sourceHeight, 0, 0, targetWidth, targetHeight,
                           GL_COLOR_BUFFER_BIT, GL_LINEAR);
    tracker.countCall();
}
