// The Linux entry point: runs WinMain as Windows would, for this module, with
// an empty command line and the default show command.
#include "app/EarlyStart.h"
#include "app/WinMain.h"

#include <tarnvale_platform.h>

int main()
{
    // The shader compiler and the image decoding get going while the window
    // and the device are made.
    const EarlyStart earlyStart;
    static char commandLine[] = "";
    const int showDefault = 10;  // SW_SHOWDEFAULT
    const int status = WinMain(GetModuleHandleA(NULL), NULL, commandLine, showDefault);
    // The display going away ended the program (its window was destroyed,
    // and the layer has said why): not a success.
    return status == 0 && tvplat::displayLost()[0] != '\0' ? 1 : status;
}
