#include "FramePresenter.h"

#include "SurfacePresenter.h"
#include "WaylandPresenter.h"

#include <SDL.h>

#include <cstring>

std::unique_ptr<FramePresenter> FramePresenter::forWindow(SDL_Window* window)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)
        return nullptr;
    if (std::strcmp(driver, "wayland") == 0) return WaylandPresenter::create(window);
    return std::make_unique<SurfacePresenter>(window);
}
