// Linux-only controls of the platform layer, beyond what Windows offers.
// The program's own code never includes this header; the entry point
// (main), the tools and the tests do, to script the clock, keep message
// boxes on stderr, and reach the SDL objects behind the Win32 handles.
#pragma once

#include <windows.h>

#include <cstdint>

union SDL_Event;
struct SDL_Window;

namespace tvplat {

// ----- Performance counter --------------------------------------------------
// The real clock counts nanoseconds on CLOCK_MONOTONIC; its frequency is
// 1,000,000,000. A scripted clock answers QueryPerformanceCounter with a fixed
// first reading and then advances by a fixed step, either on every reading
// (ClockStep::PerReading) or only when advanceScriptedClock() is called
// (ClockStep::PerFrame; the capture tool calls it once per frame). The
// scripted clock's frequency is also 1,000,000,000.
enum class ClockStep { PerReading, PerFrame };
void useScriptedClock(int64_t firstReading, int64_t step, ClockStep mode);
void advanceScriptedClock();
void useRealClock();
bool usingScriptedClock();

// ----- Message boxes ---------------------------------------------------------
// Auto: an SDL message box where one can be shown (a display exists), plus
// the text on stderr. StderrOnly: stderr only, never blocking (tests, tools,
// headless runs).
enum class MessageBoxMode { Auto, StderrOnly };
void setMessageBoxMode(MessageBoxMode mode);
// Every MessageBoxA call is also appended here (caption, text) so tests can
// check what the user would have seen. Cleared by clearMessageBoxLog().
struct MessageBoxRecord {
    const char* caption;
    const char* text;
};
int messageBoxCount();
MessageBoxRecord messageBoxAt(int index);
void clearMessageBoxLog();

// ----- Windows and events ----------------------------------------------------
// The SDL window behind a window handle (null for an unknown handle).
SDL_Window* sdlWindow(HWND window);
// The window handle of an SDL window id (null when none of ours).
HWND windowFromSdlId(uint32_t windowId);

// ----- OpenGL on windows -----------------------------------------------------
// CreateWindowExA fixes a window's pixel format when it makes the window:
// OpenGL 4.5 core, 8 bits each of red, green, blue and alpha, a depth buffer
// of windowDepthBits with windowStencilBits of stencil, double-buffered. A
// context made for the window later must ask for the same: setWindowGlFormat
// sets SDL's attributes to it (the context's own flags are the caller's).
// The Direct3D layer's framebuffers have the same depth format, and its
// depth bias counts in steps of it.
constexpr int windowDepthBits = 24;
constexpr int windowStencilBits = 8;
void setWindowGlFormat();

// One SDL event pump feeds both the Win32 message queue and DirectInput.
// pumpEvents() drains SDL's queue, translates each event into the window
// messages Windows would send (appending them to the message queue) and hands
// each event to every registered listener. PeekMessageA calls it; so may
// DirectInput before it reads a device.
typedef void (*EventListener)(const SDL_Event& event, void* user);
void addEventListener(EventListener listener, void* user);
void removeEventListener(EventListener listener, void* user);
void pumpEvents();

// Number of messages waiting in the queue (for tests and tools).
int pendingMessageCount();
// Whether the next PeekMessageA returns WM_QUIT: PostQuitMessage has been
// called and no posted message comes before the quit message.
bool quitMessageNext();
// Empties the message queue and the drag-free state of the layer; for tests.
void resetMessageQueue();

// ----- Environment ----------------------------------------------------------------
// Whether a switch in the environment is on: set, and to something other
// than "" or "0".
bool environmentFlag(const char* name);

// ----- Standard streams ------------------------------------------------------------
// Puts a descriptor in the place of each standard stream (0, 1, 2) that the
// process was started without, so that no file, socket or display
// connection opened later takes that number and receives what is written to
// the stream. The stand-in is /dev/null opened against the stream's
// direction: writing to stdout or stderr, or reading stdin, still fails
// (EBADF) as it would on the closed descriptor. Call it first thing, before
// anything opens a file.
void holdStandardDescriptors();

// ----- Diagnostics --------------------------------------------------------------
// The reason for the last failure that came from SDL (window creation without
// a display, a video driver that cannot start); empty when there was none.
const char* lastPlatformError();
// Why the display went away while the program ran (its server ended, the
// connection broke), empty while it is there. The windows on it get
// WM_DESTROY at the next PeekMessageA; the layer has said so on stderr.
const char* displayLost();
// Number of Sleep calls so far (the message loop yields once per turn).
uint64_t sleepCallCount();

}  // namespace tvplat
