// A window of a recording class, shared by the Win32 layer's tests: its
// procedure records every message it receives.
#pragma once

#include <windows.h>
#include <tarnvale_platform.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace win32test {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received>& received();
LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the class "recording" (once) with recordingProc.
void registerRecordingClass();
// Registers the recording class and creates a 320 x 200 client-area window at
// (10, 10).
HWND createRecordingWindow(DWORD style = WS_OVERLAPPEDWINDOW);

// Fixture: one window per test, an empty queue and an empty record.
class QueueTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    uint32_t sdlId() const { return SDL_GetWindowID(tvplat::sdlWindow(window)); }
    // Every message PeekMessageA removes until the queue is empty.
    std::vector<MSG> drain();

    HWND window = nullptr;
};

}  // namespace win32test
