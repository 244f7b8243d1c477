#pragma once

#include <windows.h>
#include <d3d9.h>

#include <cstdint>

class Application;

// The window procedure registered with the program's window class.
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The Win32 entry point: window, device, application, then one message and
// one frame per loop turn until WM_QUIT. Returns 0 after a normal quit and 1
// when the program could not start (no device, or a component that could not
// be built).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// What tools and tests may change about a run of the same program. WinMain
// runs the program with the defaults.
struct ProgramHooks {
    bool debugMode = false;
    // Called after every frame (after runFrame, before the next loop turn),
    // with the number of frames run so far. Returning false ends the loop as
    // WM_QUIT would, and the program tears down normally.
    bool (*afterFrame)(Application& application, IDirect3DDevice9* device, uint64_t frame, void* user) = nullptr;
    // Called once the window exists, before the device is created.
    void (*windowCreated)(HWND window, void* user) = nullptr;
    void* user = nullptr;
    // Stands in for Direct3DCreate9 in the device set-up when set (tests run
    // the whole program against a recording device this way).
    IDirect3D9* (*createDirect3D)(UINT sdkVersion) = nullptr;
};

// The body of WinMain, with hooks. Same order, same teardown.
int runProgram(HINSTANCE instance, const ProgramHooks& hooks);
