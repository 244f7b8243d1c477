#include "WaylandPresenter.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

void registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    wl_shm** shm = static_cast<wl_shm**>(data);
    if (*shm == nullptr && std::strcmp(interface, wl_shm_interface.name) == 0)
        *shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
}

void registryGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {registryGlobal, registryGlobalRemove};

void bufferReleased(void* data, wl_buffer*)
{
    *static_cast<bool*>(data) = false;
}

const wl_buffer_listener bufferListener = {bufferReleased};

}  // namespace

std::unique_ptr<WaylandPresenter> WaylandPresenter::create(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) {
        std::fprintf(stderr, "Direct3D 9 layer: the window's Wayland surface is not known: %s\n", SDL_GetError());
        return nullptr;
    }
    std::unique_ptr<WaylandPresenter> presenter(
        new WaylandPresenter(window, info.info.wl.display, info.info.wl.surface));
    // The registry, and so wl_shm and everything made from it, report on the
    // presenter's own queue.
    presenter->queue = wl_display_create_queue(presenter->display);
    wl_display* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(presenter->display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), presenter->queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(registry, &registryListener, &presenter->shm);
    wl_display_roundtrip_queue(presenter->display, presenter->queue);
    wl_registry_destroy(registry);
    if (presenter->shm == nullptr) {
        std::fprintf(stderr, "Direct3D 9 layer: the Wayland compositor offers no shared memory (wl_shm)\n");
        return nullptr;
    }
    return presenter;
}

WaylandPresenter::WaylandPresenter(SDL_Window* sdlWindow, wl_display* wlDisplay, wl_surface* wlSurface)
    : window(sdlWindow), display(wlDisplay), surface(wlSurface)
{
}

WaylandPresenter::~WaylandPresenter()
{
    for (Buffer& buffer : buffers) dropBuffer(buffer);
    if (shm != nullptr) wl_shm_destroy(shm);
    if (queue != nullptr) wl_event_queue_destroy(queue);
    wl_display_flush(display);
}

void WaylandPresenter::dropBuffer(Buffer& buffer)
{
    if (buffer.buffer != nullptr) wl_buffer_destroy(buffer.buffer);
    if (buffer.memory != nullptr) munmap(buffer.memory, buffer.size);
    buffer = Buffer{};
}

bool WaylandPresenter::makeBuffer(Buffer& buffer, int width, int height)
{
    dropBuffer(buffer);
    const size_t size = size_t{static_cast<unsigned>(width)} * static_cast<unsigned>(height) * 4;
    const int fd = memfd_create("tarnvale-frame", MFD_CLOEXEC);
    if (fd < 0) return false;
    void* memory = ftruncate(fd, static_cast<off_t>(size)) == 0
                       ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                       : MAP_FAILED;
    if (memory == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    buffer.memory = static_cast<uint8_t*>(memory);
    buffer.size = size;
    buffer.width = width;
    buffer.height = height;
    wl_buffer_add_listener(buffer.buffer, &bufferListener, &buffer.busy);
    return true;
}

WaylandPresenter::Buffer* WaylandPresenter::freeBuffer(int width, int height)
{
    Buffer* found = nullptr;
    for (Buffer& buffer : buffers) {
        if (buffer.busy) continue;
        if (buffer.buffer != nullptr && buffer.width == width && buffer.height == height) return &buffer;
        if (found == nullptr) found = &buffer;  // empty, or of an earlier size
    }
    if (found != nullptr && !makeBuffer(*found, width, height)) return nullptr;
    return found;
}

bool WaylandPresenter::beginFrame(Frame& frame)
{
    drawing = nullptr;
    int width = 0;
    int height = 0;
    if (!showsFrames(window, width, height)) return false;
    // Releases that have come in with SDL's event pump; if every buffer is
    // still held, one round trip lets the compositor answer the last commits.
    wl_display_dispatch_queue_pending(display, queue);
    drawing = freeBuffer(width, height);
    if (drawing == nullptr && wl_display_roundtrip_queue(display, queue) >= 0) drawing = freeBuffer(width, height);
    if (drawing == nullptr) return false;
    frame = Frame{drawing->memory, width, height, width * 4, false};
    return true;
}

void WaylandPresenter::endFrame()
{
    if (drawing == nullptr) return;
    wl_surface_attach(surface, drawing->buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, drawing->width, drawing->height);
    wl_surface_commit(surface);
    drawing->busy = true;
    drawing = nullptr;
    wl_display_flush(display);
}
