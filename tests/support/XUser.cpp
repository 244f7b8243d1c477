#include "XUser.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace testsupport {

XUser::XUser()
{
    display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        problem = "cannot connect to the X server";
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        problem = "the X server has no XTEST extension";
        XCloseDisplay(display);
        display = nullptr;
    }
}

XUser::~XUser()
{
    if (display) XCloseDisplay(display);
}

void XUser::moveTo(int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
}

void XUser::press(unsigned button)
{
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XSync(display, False);
}

void XUser::release(unsigned button)
{
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
}

void XUser::focus(unsigned long window)
{
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
}

void XUser::resize(unsigned long window, int width, int height)
{
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

unsigned long XUser::openWindow(int x, int y, int width, int height)
{
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, BlackPixel(display, screen), WhitePixel(display, screen));
    if (window == 0) return 0;
    // Without a window manager the position asked for is the position taken.
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

bool XUser::origin(unsigned long window, int& x, int& y)
{
    Window child = 0;
    return XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child) != 0;
}

bool XUser::viewable(unsigned long window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

namespace {

bool x11Info(SDL_Window* window, SDL_SysWMinfo& info)
{
    SDL_VERSION(&info.version);
    return window != nullptr && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
}

// Where a channel's mask puts it, as a shift of an 8-bit value.
int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// What a viewable window shows, as the server has it now.
RgbaImage imageOf(Display* display, Window window)
{
    RgbaImage result;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
        result.error = "the window is not viewable";
        return result;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        result.error = "XGetImage failed";
        return result;
    }
    result.width = static_cast<uint32_t>(image->width);
    result.height = static_cast<uint32_t>(image->height);
    result.pixels.resize(size_t{result.width} * result.height * 4);
    const int shifts[3] = {shiftOf(image->red_mask), shiftOf(image->green_mask), shiftOf(image->blue_mask)};
    for (uint32_t y = 0; y < result.height; ++y)
        for (uint32_t x = 0; x < result.width; ++x) {
            const unsigned long pixel = XGetPixel(image, static_cast<int>(x), static_cast<int>(y));
            uint8_t* out = &result.pixels[(size_t{y} * result.width + x) * 4];
            for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(pixel >> shifts[c]);
            out[3] = 255;
        }
    XDestroyImage(image);
    return result;
}

}  // namespace

unsigned long xWindowOf(SDL_Window* window)
{
    SDL_SysWMinfo info;
    return x11Info(window, info) ? info.info.x11.window : 0;
}

RgbaImage shownIn(SDL_Window* window)
{
    SDL_SysWMinfo info;
    if (!x11Info(window, info)) {
        RgbaImage result;
        result.error = "not an X11 window";
        return result;
    }
    Display* display = info.info.x11.display;
    XSync(display, False);
    return imageOf(display, info.info.x11.window);
}

RgbaImage screenOf(const std::string& displayName)
{
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) {
        RgbaImage result;
        result.error = "cannot connect to " + displayName;
        return result;
    }
    RgbaImage result = imageOf(display, DefaultRootWindow(display));
    XCloseDisplay(display);
    return result;
}

}  // namespace testsupport
