#include "X11Presenter.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>

namespace {

// An X error while the server attaches the shared memory (a remote server
// refuses it) is noted here instead of ending the program.
bool trappedError = false;

int trapError(Display*, XErrorEvent*)
{
    trappedError = true;
    return 0;
}

}  // namespace

std::unique_ptr<X11Presenter> X11Presenter::create(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    XWindowAttributes attributes;
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 ||
        !XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes)) {
        std::fprintf(stderr, "Direct3D 9 layer: the window's X11 window is not known: %s\n", SDL_GetError());
        return nullptr;
    }
    const Visual* visual = attributes.visual;
    if (attributes.depth < 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF || ImageByteOrder(info.info.x11.display) != LSBFirst) {
        std::fprintf(stderr, "Direct3D 9 layer: frames cannot be shown in a window of depth %d with this pixel layout\n",
                     attributes.depth);
        return nullptr;
    }
    return std::unique_ptr<X11Presenter>(new X11Presenter(window, info.info.x11.display, info.info.x11.window,
                                                          attributes.visual, attributes.depth));
}

X11Presenter::X11Presenter(SDL_Window* sdlWindow, Display* xDisplay, Window x11Window, Visual* windowVisual,
                           int windowDepth)
    : window(sdlWindow),
      display(xDisplay),
      xWindow(x11Window),
      visual(windowVisual),
      depth(windowDepth),
      gc(XCreateGC(xDisplay, x11Window, 0, nullptr)),
      shared(XShmQueryExtension(xDisplay) == True)
{
}

X11Presenter::~X11Presenter()
{
    for (Image& image : images) dropImage(image);
    XFreeGC(display, gc);
    XFlush(display);
}

bool X11Presenter::makeImage(Image& image, int width, int height)
{
    if (shared) {
        if (makeSharedImage(image, width, height)) return true;
        if (shared) return false;  // shared, but not 32 bits a pixel
    }
    image.image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image.image == nullptr || image.image->bits_per_pixel != 32) {
        if (image.image != nullptr) XDestroyImage(image.image);
        image = Image{};
        return false;
    }
    image.memory.resize(size_t{static_cast<unsigned>(image.image->bytes_per_line)} * static_cast<unsigned>(height));
    image.image->data = image.memory.data();
    return true;
}

bool X11Presenter::makeSharedImage(Image& image, int width, int height)
{
    XShmSegmentInfo& segment = image.segment;
    XImage* made = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment,
                                   static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (made == nullptr) {
        shared = false;
        return false;
    }
    segment.shmid =
        shmget(IPC_PRIVATE, size_t{static_cast<unsigned>(made->bytes_per_line)} * static_cast<unsigned>(height),
               IPC_CREAT | 0600);
    segment.shmaddr = segment.shmid >= 0 ? static_cast<char*>(shmat(segment.shmid, nullptr, 0)) : nullptr;
    if (segment.shmaddr == reinterpret_cast<char*>(-1)) segment.shmaddr = nullptr;
    segment.readOnly = False;
    bool attached = false;
    if (segment.shmaddr != nullptr) {
        made->data = segment.shmaddr;
        trappedError = false;
        const XErrorHandler previous = XSetErrorHandler(trapError);
        attached = XShmAttach(display, &segment) == True;
        XSync(display, False);
        attached = attached && !trappedError;
        XSetErrorHandler(previous);
    }
    // The segment goes once both sides have let go of it.
    if (segment.shmid >= 0) shmctl(segment.shmid, IPC_RMID, nullptr);
    if (attached && made->bits_per_pixel == 32) {
        image.image = made;
        return true;
    }
    // This server shares no memory with us (a remote display): plain images
    // from now on.
    if (!attached) shared = false;
    if (attached) XShmDetach(display, &segment);
    if (segment.shmaddr != nullptr) shmdt(segment.shmaddr);
    made->data = nullptr;
    XDestroyImage(made);
    image = Image{};
    return false;
}

void X11Presenter::dropImage(Image& image)
{
    if (image.image == nullptr) return;
    waitForPut(image);
    if (image.segment.shmaddr != nullptr) {
        XShmDetach(display, &image.segment);
        shmdt(image.segment.shmaddr);
    }
    image.image->data = nullptr;  // not Xlib's to free
    XDestroyImage(image.image);
    image = Image{};
}

void X11Presenter::waitForPut(Image& image)
{
    if (image.putRequest != 0 && LastKnownRequestProcessed(display) < image.putRequest) XSync(display, False);
    image.putRequest = 0;
}

bool X11Presenter::beginFrame(Frame& frame)
{
    drawing = nullptr;
    int width = 0;
    int height = 0;
    if (!showsFrames(window, width, height)) return false;
    Image& image = images[next];
    if (image.image == nullptr || image.image->width != width || image.image->height != height) {
        dropImage(image);
        if (!makeImage(image, width, height)) {
            if (!reported)
                std::fprintf(stderr, "Direct3D 9 layer: no %d x %d image can be made for the window\n", width, height);
            reported = true;
            return false;
        }
    }
    waitForPut(image);
    drawing = &image;
    frame = Frame{reinterpret_cast<uint8_t*>(image.image->data), width, height, image.image->bytes_per_line,
                  depth == 32};
    return true;
}

void X11Presenter::endFrame()
{
    if (drawing == nullptr) return;
    XImage* image = drawing->image;
    if (drawing->segment.shmaddr != nullptr) {
        // The completion event the server sends afterwards, read by SDL's
        // event pump, tells Xlib that the put has been taken.
        XShmPutImage(display, xWindow, gc, image, 0, 0, 0, 0, static_cast<unsigned>(image->width),
                     static_cast<unsigned>(image->height), True);
        drawing->putRequest = NextRequest(display) - 1;
    } else {
        XPutImage(display, xWindow, gc, image, 0, 0, 0, 0, static_cast<unsigned>(image->width),
                  static_cast<unsigned>(image->height));
    }
    XFlush(display);
    drawing = nullptr;
    next ^= 1;
}
