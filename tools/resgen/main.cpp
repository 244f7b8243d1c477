// Generates the images under res/: the sixteen ball images, the font sheet
// and the application icons (res/icons). Usage: tarnvale-resgen [OUTDIR]   (default: res)
#include "Generators.h"

#include <cstdio>

int main(int argc, char** argv)
{
    const std::string outDir = argc > 1 ? argv[1] : "res";
    bool ok = generateBallImages(outDir);
    ok = generateFontSheet(outDir) && ok;
    ok = generateAppIcons(outDir) && ok;
    if (!ok) {
        std::fprintf(stderr, "tarnvale-resgen: some images could not be written\n");
        return 1;
    }
    return 0;
}
