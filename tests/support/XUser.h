// A user at an X server, played by a test through a connection of its own:
// moves the pointer and presses its buttons (the XTEST extension, so the
// server makes the same events real hardware would), opens a window of
// another client, hands the input focus around and resizes windows, as a
// window manager would on the user's behalf. Also reads back what an SDL
// window shows on the server.
#pragma once

#include "PngFile.h"

#include <string>

struct SDL_Window;
typedef struct _XDisplay Display;

namespace testsupport {

class XUser {
public:
    // Connects to the X server that DISPLAY names.
    XUser();
    ~XUser();
    XUser(const XUser&) = delete;
    XUser& operator=(const XUser&) = delete;

    // False (with `error()` saying why) without a server or without XTEST.
    bool connected() const { return display != nullptr; }
    const std::string& error() const { return problem; }

    // Every request is on the server when these return.
    void moveTo(int x, int y);  // screen coordinates
    void press(unsigned button = 1);
    void release(unsigned button = 1);
    void focus(unsigned long window);
    void resize(unsigned long window, int width, int height);

    // A plain mapped window of this client; zero on failure.
    unsigned long openWindow(int x, int y, int width, int height);
    // The screen position of a window's top-left pixel.
    bool origin(unsigned long window, int& x, int& y);
    bool viewable(unsigned long window);

private:
    Display* display = nullptr;
    std::string problem;
};

// The X window behind an SDL window (zero when it is not on X11).
unsigned long xWindowOf(SDL_Window* window);
// What the X server shows in an SDL window, after every request SDL and the
// GL driver made on the window's connection.
RgbaImage shownIn(SDL_Window* window);
// What the X server ":N" shows on its whole screen (without the pointer).
RgbaImage screenOf(const std::string& display);

}  // namespace testsupport
