// The reference device's software rasteriser in a browser: there is none
// (Mesa's llvmpipe runs on Linux only). The page's WebGL 2 is the hardware
// device, and a failed REF attempt says why, as on Linux.
#include "d3d9/SoftwareContext.h"

std::unique_ptr<SoftwareContext> SoftwareContext::create(SDL_Window*, bool, std::string& reason)
{
    reason = "no software rasteriser in a browser (the reference device needs Mesa's llvmpipe)";
    return nullptr;
}

SoftwareContext::~SoftwareContext() = default;
bool SoftwareContext::isCurrent() const { return false; }
bool SoftwareContext::bind() { return false; }
void SoftwareContext::release() {}
void SoftwareContext::present(GlStateTracker&, GLuint, int, int) {}
