#include "win32/XErrorTrap.h"

#ifdef __EMSCRIPTEN__

std::string tvplat::withoutFatalXErrors(const std::function<void()>& work, SDL_Window* const*)
{
    work();
    return std::string();
}

#else

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>

namespace {

std::string firstError;

int recordError(Display* display, XErrorEvent* error)
{
    if (!firstError.empty()) return 0;
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    char request[64];
    std::snprintf(request, sizeof request, " (request %u.%u)", static_cast<unsigned>(error->request_code),
                  static_cast<unsigned>(error->minor_code));
    firstError = std::string("X error: ") + text + request;
    return 0;
}

}  // namespace

std::string tvplat::withoutFatalXErrors(const std::function<void()>& work, SDL_Window* const* window)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::string(driver) != "x11") {
        work();
        return std::string();
    }
    firstError.clear();
    XErrorHandler previous = XSetErrorHandler(recordError);
    work();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window != nullptr && *window != nullptr && SDL_GetWindowWMInfo(*window, &info) && info.subsystem == SDL_SYSWM_X11)
        XSync(info.info.x11.display, False);
    XSetErrorHandler(previous);
    return firstError;
}

#endif
