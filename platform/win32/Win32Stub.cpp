// Placeholder until the SDL2-backed Win32 layer lands.
#include <windows.h>
#include <tarnvale_platform.h>

#include <chrono>
#include <cstdio>
#include <thread>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA*) { return 0; }
BOOL WINAPI AdjustWindowRect(LPRECT, DWORD, BOOL) { return FALSE; }
HWND WINAPI CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) { return nullptr; }
BOOL WINAPI DestroyWindow(HWND) { return FALSE; }
BOOL WINAPI GetClientRect(HWND, LPRECT) { return FALSE; }
BOOL WINAPI GetWindowRect(HWND, LPRECT) { return FALSE; }
BOOL WINAPI IsWindow(HWND) { return FALSE; }
HWND WINAPI GetFocus() { return nullptr; }
HWND WINAPI GetForegroundWindow() { return nullptr; }
BOOL WINAPI PeekMessageA(LPMSG, HWND, UINT, UINT, UINT) { return FALSE; }
BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }
LRESULT WINAPI DispatchMessageA(const MSG*) { return 0; }
LRESULT WINAPI DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT WINAPI SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
BOOL WINAPI PostMessageA(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void WINAPI PostQuitMessage(int) {}
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) { std::fprintf(stderr, "%s: %s\n", caption, text); return IDOK; }
void WINAPI Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* c) { c->QuadPart = std::chrono::steady_clock::now().time_since_epoch().count(); return TRUE; }
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* f) { f->QuadPart = 1000000000; return TRUE; }
DWORD WINAPI GetTickCount() { return 0; }
HMODULE WINAPI GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(1); }
DWORD WINAPI GetLastError() { return 0; }
void WINAPI SetLastError(DWORD) {}

namespace tvplat {
void useScriptedClock(int64_t, int64_t, ClockStep) {}
void advanceScriptedClock() {}
void useRealClock() {}
bool usingScriptedClock() { return false; }
void setMessageBoxMode(MessageBoxMode) {}
int messageBoxCount() { return 0; }
MessageBoxRecord messageBoxAt(int) { return {"", ""}; }
void clearMessageBoxLog() {}
SDL_Window* sdlWindow(HWND) { return nullptr; }
HWND windowFromSdlId(uint32_t) { return nullptr; }
void addEventListener(EventListener, void*) {}
void removeEventListener(EventListener, void*) {}
void pumpEvents() {}
int pendingMessageCount() { return 0; }
void resetMessageQueue() {}
}  // namespace tvplat
