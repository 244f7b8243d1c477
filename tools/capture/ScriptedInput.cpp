#include "ScriptedInput.h"

#include <cstdio>

void ScriptedInput::postDue(HWND window, uint64_t frame)
{
    while (postsAfter(frame)) {
        const ScriptedMessage& m = messages[next];
        if (!PostMessageA(window, m.message, m.wParam, m.lParam)) {
            // A full queue takes the rest after later frames.
            if (GetLastError() == ERROR_NOT_ENOUGH_QUOTA) return;
            // The window has gone: nothing more can reach it.
            std::fprintf(stderr,
                         "tarnvale-capture: could not post message 0x%04X (error %lu); the rest of the scripted "
                         "input is dropped\n",
                         m.message, static_cast<unsigned long>(GetLastError()));
            next = messages.size();
            return;
        }
        ++next;
    }
}
