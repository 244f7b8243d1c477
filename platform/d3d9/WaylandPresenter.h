// Frames shown on Wayland: SDL's Wayland driver has no window surface of its
// own, so the frames go into shared-memory buffers (wl_shm, XRGB8888) that
// are attached to the window's wl_surface. The buffers' events arrive on an
// event queue of the presenter's, which SDL's event pump fills and the
// presenter alone dispatches. A buffer the compositor still reads is not
// written; up to three are kept, and a frame for which none is free is
// skipped rather than waited for.
#pragma once

#include "FramePresenter.h"

#include <cstddef>

struct wl_buffer;
struct wl_display;
struct wl_event_queue;
struct wl_shm;
struct wl_surface;

class WaylandPresenter : public FramePresenter {
public:
    // Null, with the reason on stderr, when the compositor's shared memory
    // cannot be had.
    static std::unique_ptr<WaylandPresenter> create(SDL_Window* window);
    ~WaylandPresenter() override;

    bool beginFrame(Frame& frame) override;
    void endFrame() override;

private:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        uint8_t* memory = nullptr;
        size_t size = 0;
        int width = 0;
        int height = 0;
        bool busy = false;  // attached and not yet released by the compositor
    };
    static constexpr int bufferCount = 3;

    WaylandPresenter(SDL_Window* window, wl_display* display, wl_surface* surface);
    Buffer* freeBuffer(int width, int height);
    bool makeBuffer(Buffer& buffer, int width, int height);
    static void dropBuffer(Buffer& buffer);

    SDL_Window* window;
    wl_display* display;
    wl_surface* surface;
    wl_event_queue* queue = nullptr;
    wl_shm* shm = nullptr;
    Buffer buffers[bufferCount];
    Buffer* drawing = nullptr;
};
