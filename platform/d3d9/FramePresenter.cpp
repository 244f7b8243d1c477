#include "FramePresenter.h"

#include "WaylandPresenter.h"
#include "X11Presenter.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

std::unique_ptr<FramePresenter> FramePresenter::forWindow(SDL_Window* window)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)
        return nullptr;
    if (std::strcmp(driver, "wayland") == 0) return WaylandPresenter::create(window);
    if (std::strcmp(driver, "x11") == 0) return X11Presenter::create(window);
    std::fprintf(stderr, "Direct3D 9 layer: frames cannot be shown in windows of SDL's %s driver\n", driver);
    return nullptr;
}

bool FramePresenter::showsFrames(SDL_Window* window, int& width, int& height)
{
    if (SDL_GetWindowFlags(window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) return false;
    SDL_GetWindowSize(window, &width, &height);
    return width > 0 && height > 0;
}

void FramePresenter::Frame::makeOpaque() const
{
    if (!keepsAlpha) return;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width; ++x) row[x * 4 + 3] = 0xFF;
    }
}
