#pragma once

#include <windows.h>

#include <cstdint>

// Registers the program's window class and creates the one visible top-level
// window, sized so that its client area is exactly the requested size.
class MainWindow {
public:
    MainWindow(HINSTANCE instance, const char* title, int32_t clientWidth, int32_t clientHeight);
    virtual ~MainWindow();

    HWND handle() const;

private:
    HWND window;
};
