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

void GlContext::stretch(GlStateTracker& tracker, GLuint source, int sourceWidth, int sourceHeight, GLuint target,
                        int targetWidth, int targetHeight)
{
    tracker.enable(GlStateTracker::ScissorTest, false);
    tracker.colorMask(0xF);
    // Both bindings are the tracker's, so the blit needs no direct state
    // access.
    tracker.bindReadFramebuffer(source);
    tracker.bindDrawFramebuffer(target);
    glBlitFramebuffer(0, 0, sourceWidth, sourceHeight, 0, 0, targetWidth, targetHeight, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    tracker.countCall();
}
