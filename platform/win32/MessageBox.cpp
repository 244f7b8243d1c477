// MessageBoxA: the text always goes to stderr; an SDL message box is shown
// only where a display can show one and nobody asked for stderr only.
#include <windows.h>
#include <tarnvale_platform.h>

#include "win32/Win32Internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <utility>

namespace {

tvplat::MessageBoxMode mode = tvplat::MessageBoxMode::Auto;
// A deque keeps the strings of earlier records in place as records are added.
std::deque<std::pair<std::string, std::string>> boxLog;

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool displayAvailable()
{
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return false;
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

bool boxesWanted()
{
    if (mode != tvplat::MessageBoxMode::Auto) return false;
    const char* setting = std::getenv("TARNVALE_MESSAGEBOX");
    return setting == nullptr || std::strcmp(setting, "stderr") != 0;
}

Uint32 sdlFlags(UINT type)
{
    switch (type & 0xF0) {
    case MB_ICONHAND: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    // Windows shows an empty text for a null one and captions a box without a
    // caption "Error".
    const char* text = lpText != nullptr ? lpText : "";
    const char* caption = lpCaption != nullptr ? lpCaption : "Error";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    boxLog.emplace_back(caption, text);

    if (boxesWanted() && displayAvailable()) {
        // A failure to show the box leaves the stderr line as the report.
        SDL_ShowSimpleMessageBox(sdlFlags(uType), caption, text, tvplat::sdlWindow(hWnd));
    }
    return IDOK;
}

namespace tvplat {

void setMessageBoxMode(MessageBoxMode newMode)
{
    mode = newMode;
}

int messageBoxCount()
{
    return static_cast<int>(boxLog.size());
}

MessageBoxRecord messageBoxAt(int index)
{
    if (index < 0 || index >= messageBoxCount()) return MessageBoxRecord{"", ""};
    const auto& entry = boxLog[static_cast<size_t>(index)];
    return MessageBoxRecord{entry.first.c_str(), entry.second.c_str()};
}

void clearMessageBoxLog()
{
    boxLog.clear();
}

}  // namespace tvplat
