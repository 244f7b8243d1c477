#include "BrowserTurn.h"

#include <emscripten.h>

// Listed in the link's ASYNCIFY_IMPORTS (cmake/Web.cmake): the program's
// stack is unwound here and rewound when the browser calls back.
EM_JS(void, tarnvale_wait_for_browser, (uint32_t milliseconds), {
    Asyncify.handleSleep(function(wakeUp) {
        if (milliseconds > 0)
            setTimeout(wakeUp, milliseconds);
        else
            requestAnimationFrame(function() { wakeUp(); });
    });
});

namespace tvplat::web {

void giveBrowserItsTurn(uint32_t milliseconds)
{
    tarnvale_wait_for_browser(milliseconds);
}

}  // namespace tvplat::web
