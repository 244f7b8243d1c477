// Placeholder: replaced by the real entry point and window procedure.
#include "app/WinMain.h"
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return DefWindowProcA(window, message, wParam, lParam); }
int runProgram(HINSTANCE, const ProgramHooks&) { return 1; }
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return runProgram(instance, ProgramHooks{}); }
