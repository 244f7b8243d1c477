// Placeholder: replaced by the real window.
#include "app/MainWindow.h"
MainWindow::MainWindow(HINSTANCE, const char*, int32_t, int32_t) : window(nullptr) {}
MainWindow::~MainWindow() = default;
HWND MainWindow::handle() const { return window; }
