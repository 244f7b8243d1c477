#include "app/WinMain.h"

#include "app/Application.h"
#include "app/DragRotation.h"
#include "app/GraphicsDevice.h"
#include "app/MainWindow.h"

namespace {

const int32_t clientWidth = 1024;
const int32_t clientHeight = 768;
const char* const windowTitle = "Tarnvale";

// Cursor coordinates of a mouse message: the two 16-bit halves of lParam,
// each unsigned, widened to 32 bits.
int32_t cursorX(LPARAM lParam)
{
    return static_cast<int32_t>(LOWORD(lParam));
}

int32_t cursorY(LPARAM lParam)
{
    return static_cast<int32_t>(HIWORD(lParam));
}

}  // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_CLOSE:
        // Only the quit message: the window itself goes with the process.
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_LBUTTONDOWN:
        // A press during a drag (the release went elsewhere) keeps the anchor.
        if (!dragRotation.dragging) {
            dragRotation.anchorX = cursorX(lParam);
            dragRotation.anchorY = cursorY(lParam);
            dragRotation.dragging = true;
        }
        break;
    case WM_MOUSEMOVE:
        // Only the left button, with no other button, Shift or Ctrl, turns the
        // rack; the angles are measured from the anchor, one degree a pixel.
        if (wParam == MK_LBUTTON) {
            dragRotation.yawDegrees = cursorX(lParam) - dragRotation.anchorX;
            dragRotation.pitchDegrees = dragRotation.anchorY - cursorY(lParam);
        }
        break;
    case WM_LBUTTONUP:
        dragRotation.dragging = false;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int runProgram(HINSTANCE instance, const ProgramHooks& hooks)
{
    MainWindow* mainWindow = new MainWindow(instance, windowTitle, clientWidth, clientHeight);
    if (hooks.windowCreated != nullptr) hooks.windowCreated(mainWindow->handle(), hooks.user);

    GraphicsDevice* graphicsDevice =
        hooks.createDirect3D != nullptr
            ? new GraphicsDevice(mainWindow->handle(), false, clientWidth, clientHeight, hooks.createDirect3D)
            : new GraphicsDevice(mainWindow->handle(), false, clientWidth, clientHeight);
    if (graphicsDevice->device() == NULL) {
        // The device set-up has told the user; a failed start is not a success.
        delete mainWindow;
        delete graphicsDevice;
        return 1;
    }

    const float screenWidth = 1024.0f;
    const float screenHeight = 768.0f;
    Application* application = new Application(graphicsDevice->device(), instance, mainWindow->handle(),
                                                graphicsDevice->description(), screenWidth, screenHeight, hooks.debugMode);

    int exitStatus = 0;
    if (!application->isReady()) {
        // A component could not be built (and has said why): stop in order.
        exitStatus = 1;
    } else {
        MSG msg = {};
        msg.message = 0;
        uint64_t frames = 0;
        while (msg.message != WM_QUIT) {
            // At most one message per frame; never wait for one.
            if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (msg.message == WM_QUIT) break;

            application->runFrame();
            ++frames;
            if (hooks.afterFrame != nullptr &&
                !hooks.afterFrame(*application, graphicsDevice->device(), frames, hooks.user))
                break;

            Sleep(0);
        }
    }

    delete application;
    delete graphicsDevice;
    delete mainWindow;
    return exitStatus;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return runProgram(instance, ProgramHooks{});
}
