#include "win32/XErrorTrap.h"

#include <tarnvale_platform.h>

#ifdef __EMSCRIPTEN__

std::string tvplat::withoutFatalXErrors(const std::function<void()>& work, SDL_Window* const*)
{
    work();
    return std::string();
}

void tvplat::watchXConnection(SDL_Window*) {}

const char* tvplat::displayLost()
{
    return "";
}

#else

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::string firstError;

// Why the display went away; set once, by the first call that notices.
std::mutex lossMutex;
std::atomic<bool> lossNoticed{false};
std::string lossReason;

#if TARNVALE_HAVE_XIOERROREXITHANDLER
int onConnectionLost(Display* display)
{
    const std::lock_guard<std::mutex> lock(lossMutex);
    if (lossNoticed.load(std::memory_order_relaxed)) return 0;
    const char* name = display != nullptr ? DisplayString(display) : nullptr;
    lossReason = std::string("the connection to the X server of display ") +
                 (name != nullptr && name[0] != '\0' ? name : "(unknown)") +
                 " was lost (the server ended, or the connection broke)";
    std::fprintf(stderr, "Display: %s; the window is gone\n", lossReason.c_str());
    std::fflush(stderr);
    lossNoticed.store(true, std::memory_order_release);
    return 0;  // ignored by Xlib, which goes on to the display's exit handler
}

// Returning from here instead of exiting returns the Xlib call that noticed
// the loss as failed.
void stayAfterConnectionLost(Display*, void*) {}
#endif

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

void tvplat::watchXConnection(SDL_Window* window)
{
#if TARNVALE_HAVE_XIOERROREXITHANDLER
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    XSetIOErrorHandler(onConnectionLost);
    XSetIOErrorExitHandler(info.info.x11.display, stayAfterConnectionLost, nullptr);
#else
    (void)window;  // an older Xlib: the loss ends the process, as Xlib's default does
#endif
}

const char* tvplat::displayLost()
{
    return lossNoticed.load(std::memory_order_acquire) ? lossReason.c_str() : "";
}

#endif
