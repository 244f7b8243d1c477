// X errors while SDL talks to the display's OpenGL (GLX) on the program's
// behalf. Xlib's default handler ends the process on the first error, and a
// GL driver that cannot start on a display (Mesa's zink without a Vulkan
// device, for one) answers a window's creation with an X error rather than
// a failure SDL could report.
#pragma once

#include <functional>
#include <string>

struct SDL_Window;

namespace tvplat {

// Runs `work` with X errors recorded instead of ending the process, and
// waits for the display to have answered every request of the window it
// sets in *window (if any). Returns the first error, described, or an empty
// string. Nothing is trapped where SDL's video does not run on X11.
std::string withoutFatalXErrors(const std::function<void()>& work, SDL_Window* const* window);

// Keeps the loss of the X server that `window` is on (the server ending, the
// connection breaking) from ending the process. Xlib answers a broken
// connection by calling exit(1) from inside whichever call noticed it; with
// this, the call returns as failed, every later call on the connection does
// nothing, and the loss is said once on stderr and kept for displayLost().
// Nothing is done where the window is not on X11.
void watchXConnection(SDL_Window* window);

}  // namespace tvplat
