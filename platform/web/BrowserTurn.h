// The web build's one place where the program gives the browser its turn.
#pragma once

#include <cstdint>

namespace tvplat::web {

// Returns to the browser and resumes the program (emscripten's Asyncify
// unwinds and rewinds its stack) once the browser has done its own work:
// for 0 ms at the next animation frame, when the frame just drawn has been
// shown and the input that came meanwhile is queued; otherwise after that
// many milliseconds.
void giveBrowserItsTurn(uint32_t milliseconds);

}  // namespace tvplat::web
