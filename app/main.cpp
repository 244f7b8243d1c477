// The Linux entry point: runs WinMain as Windows would, for this module, with
// an empty command line and the default show command.
#include "app/WinMain.h"

#include <tarnvale_d3dx.h>

int main()
{
    // The shader compiler gets ready while the window and the device are made.
    tvd3dx::startShaderCompiler();
    static char commandLine[] = "";
    const int showDefault = 10;  // SW_SHOWDEFAULT
    return WinMain(GetModuleHandleA(NULL), NULL, commandLine, showDefault);
}
