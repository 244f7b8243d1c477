#include "Win32TestWindow.h"

namespace win32test {

std::vector<Received>& received()
{
    static std::vector<Received> log;
    return log;
}

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received().push_back(Received{window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerRecordingClass()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = recordingProc;
        windowClass.lpszClassName = "recording";
        registered = RegisterClassExA(&windowClass) != 0;
    }
}

HWND createRecordingWindow(DWORD style)
{
    registerRecordingClass();
    RECT rect{0, 0, 320, 200};
    AdjustWindowRect(&rect, style, FALSE);
    return CreateWindowExA(0, "recording", "test", style, 10, 10, rect.right - rect.left, rect.bottom - rect.top,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void QueueTest::SetUp()
{
    window = createRecordingWindow();
    ASSERT_NE(window, nullptr) << tvplat::lastPlatformError();
    tvplat::resetMessageQueue();
    received().clear();
}

void QueueTest::TearDown()
{
    if (IsWindow(window)) DestroyWindow(window);
    tvplat::resetMessageQueue();
    received().clear();
}

std::vector<MSG> QueueTest::drain()
{
    std::vector<MSG> messages;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        messages.push_back(msg);
        if (messages.size() > 20000) break;  // a queue that never empties is a failure too
    }
    return messages;
}

}  // namespace win32test
