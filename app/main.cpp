// The Linux entry point: runs WinMain as Windows would, for this module, with
// an empty command line and the default show command.
#include "app/WinMain.h"

int main()
{
    static char commandLine[] = "";
    const int showDefault = 10;  // SW_SHOWDEFAULT
    return WinMain(GetModuleHandleA(NULL), NULL, commandLine, showDefault);
}
