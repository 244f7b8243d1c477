#include "WindowContext.h"

#include "GlStateTracker.h"

#include <tarnvale_platform.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

struct ContextVersion {
    const char* name;  // as TARNVALE_D3D9_GL names it
    int major;
    int minor;
    int profile;
    GlCaps::Api api;
};

// Best first: a driver that makes a 4.5 core context gets every feature the
// layer can use; 3.3 core and ES 3.0 reach older and smaller GPUs.
constexpr ContextVersion versionsToTry[] = {
    {"4.5", 4, 5, SDL_GL_CONTEXT_PROFILE_CORE, GlCaps::Api::Gl45},
    {"3.3", 3, 3, SDL_GL_CONTEXT_PROFILE_CORE, GlCaps::Api::Gl33},
    {"es3.0", 3, 0, SDL_GL_CONTEXT_PROFILE_ES, GlCaps::Api::Es30},
};

// Where TARNVALE_D3D9_GL names one of them, the attempts start there, and
// the device uses no more than that (to see a driver's 3.3 or ES path where
// it offers more: drivers give their best core context for a 3.3 request);
// anything else is the best first.
size_t firstVersionToTry()
{
#ifdef __EMSCRIPTEN__
    return std::size(versionsToTry) - 1;  // a browser's WebGL 2 is OpenGL ES 3.0
#else
    const char* chosen = std::getenv("TARNVALE_D3D9_GL");
    for (size_t i = 0; chosen != nullptr && i < std::size(versionsToTry); ++i)
        if (std::strcmp(chosen, versionsToTry[i].name) == 0) return i;
    return 0;
#endif
}

}  // namespace

std::unique_ptr<WindowContext> WindowContext::create(SDL_Window* window, bool debug, Versions versions,
                                                     std::string& reason)
{
    // A window made where the display has no OpenGL (an X server without
    // GLX) cannot have a context at all.
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        reason = "the window has no OpenGL";
        return nullptr;
    }
    releaseActive();
    std::unique_ptr<WindowContext> created;
    const size_t first = versions == Versions::Any ? firstVersionToTry() : 0;
    for (size_t i = first; i < std::size(versionsToTry); ++i) {
        const ContextVersion& version = versionsToTry[i];
        if (versions == Versions::Core45 && version.major != 4) break;
        // The window's pixel format was fixed when it was made; the context
        // must ask for the same.
        tvplat::setWindowGlFormat();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, version.profile);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, version.major);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, version.minor);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, debug ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
        SDL_GLContext context = SDL_GL_CreateContext(window);  // current on success
        if (context == nullptr) {
            reason = SDL_GetError();
            continue;
        }
        created.reset(new WindowContext(window, context));
        created->markActive();
        if (created->learnCaps(reason, versionsToTry[first].api)) break;
        created.reset();
    }
    // Windows made later ask for the usual format again.
    tvplat::setWindowGlFormat();
    return created;
}

WindowContext::~WindowContext()
{
    forgetIfActive();
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

bool WindowContext::isCurrent() const
{
    return SDL_GL_GetCurrentContext() == context && SDL_GL_GetCurrentWindow() == window;
}

bool WindowContext::bind()
{
    return SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(context)) == 0;
}

void WindowContext::release()
{
    SDL_GL_MakeCurrent(window, nullptr);
}

bool WindowContext::windowFramebufferFits(int width, int height) const
{
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    return drawableWidth == width && drawableHeight == height;
}

void WindowContext::setSwapInterval(int interval)
{
    if (SDL_GL_SetSwapInterval(interval) != 0 && interval == 2) SDL_GL_SetSwapInterval(1);
}

void WindowContext::present(GlStateTracker& tracker, GLuint source, int width, int height)
{
    if (source != 0) {
        int windowWidth = 0;
        int windowHeight = 0;
        SDL_GL_GetDrawableSize(window, &windowWidth, &windowHeight);
        stretch(tracker, source, width, height, 0, windowWidth, windowHeight);
    }
    SDL_GL_SwapWindow(window);
}
