#include "SurfacePresenter.h"

#include <SDL.h>

#include <cstdio>

SurfacePresenter::SurfacePresenter(SDL_Window* sdlWindow) : window(sdlWindow)
{
    // Without this SDL would put a renderer of its own (OpenGL) behind the
    // window surface; the point is to need no OpenGL from the display.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
}

bool SurfacePresenter::beginFrame(Frame& frame)
{
    if (SDL_GetWindowFlags(window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) return false;
    // SDL makes a new surface after the window changes size.
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    const Uint32 format = surface != nullptr ? surface->format->format : Uint32{SDL_PIXELFORMAT_UNKNOWN};
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888) {
        if (!reported)
            std::fprintf(stderr, "Direct3D 9 layer: frames cannot be shown in the window: %s\n",
                         surface == nullptr ? SDL_GetError() : SDL_GetPixelFormatName(format));
        reported = true;
        return false;
    }
    frame = Frame{static_cast<uint8_t*>(surface->pixels), surface->w, surface->h, surface->pitch,
                  format == SDL_PIXELFORMAT_ARGB8888};
    return true;
}

void SurfacePresenter::endFrame()
{
    SDL_UpdateWindowSurface(window);
}
