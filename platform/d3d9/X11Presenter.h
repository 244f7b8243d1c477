// Frames shown on X11 without any OpenGL on the display: XImages in memory
// shared with the X server (MIT-SHM), put into the window; plain XImages,
// whose pixels travel in the request, where the server cannot share memory
// (a remote display). The memory is the presenter's own, so a frame may be
// written into it while the window is destroyed. A put is not waited for:
// two images take turns, and an image is written again only once the server
// has taken the put before (usually long done by then).
#pragma once

#include "FramePresenter.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <vector>

class X11Presenter : public FramePresenter {
public:
    // Null, with the reason on stderr, for a window whose pixels are not
    // 32 bits of B, G, R (and X or A) in memory order.
    static std::unique_ptr<X11Presenter> create(SDL_Window* window);
    ~X11Presenter() override;

    bool beginFrame(Frame& frame) override;
    void endFrame() override;

private:
    struct Image {
        XImage* image = nullptr;
        XShmSegmentInfo segment = {};
        std::vector<char> memory;     // the pixels, without MIT-SHM
        unsigned long putRequest = 0; // the request that last put it while shared; 0: none
    };

    X11Presenter(SDL_Window* window, Display* display, Window xWindow, Visual* visual, int depth);
    bool makeImage(Image& image, int width, int height);
    // False, and `shared` false, when the server cannot attach the memory.
    bool makeSharedImage(Image& image, int width, int height);
    void dropImage(Image& image);
    // Waits until the server has taken the last put of the image.
    void waitForPut(Image& image);

    SDL_Window* window;
    Display* display;
    Window xWindow;
    Visual* visual;
    int depth;
    GC gc;
    bool shared;           // MIT-SHM works with this server
    bool reported = false; // an image that could not be made was named once
    Image images[2];
    int next = 0;          // the image the next frame goes into
    Image* drawing = nullptr;
};
