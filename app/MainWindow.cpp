#include "app/MainWindow.h"

#include "app/WinMain.h"

MainWindow::MainWindow(HINSTANCE instance, const char* title, int32_t clientWidth, int32_t clientHeight) : window(nullptr)
{
    // Every field zero except size, procedure, instance and name: style 0, no
    // icon, cursor, background brush or menu.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "winclassname";
    RegisterClassExA(&windowClass);

    // Grow the client rectangle by the frame and caption so that the client
    // area comes out at exactly the requested size.
    RECT rect = {0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);

    window = CreateWindowExA(0, "winclassname", title, WS_VISIBLE | WS_OVERLAPPEDWINDOW, 64, 64, rect.right - rect.left,
                             rect.bottom - rect.top, NULL, NULL, instance, NULL);
}

// The window is not destroyed here: it goes with the process.
MainWindow::~MainWindow() = default;

HWND MainWindow::handle() const
{
    return window;
}
