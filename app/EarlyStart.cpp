#include "app/EarlyStart.h"

#include <tarnvale_platform.h>

#include <string>
#include <vector>

namespace {

// The images the program loads at start-up, in the order it loads them: the
// font sheet, then the balls in the rack's order. An image (or shader) the
// program does not ask for is only done in vain; one missing here is read
// (or compiled) when asked.
std::vector<std::string> startupImages()
{
    std::vector<std::string> paths = {"res/smallfonts128x128.png"};
    for (int number = 1; number <= 15; ++number) paths.push_back("res/" + std::to_string(number) + "-ball.png");
    paths.push_back("res/cueball.png");
    return paths;
}

// The program's shaders, in the order it compiles them. The compiler's
// server is forked from this process first, before any thread exists; and
// before that, and before anything opens a file, a socket or the display,
// the standard streams the program was started without are held, so that
// none of those takes their numbers.
std::vector<tvd3dx::ShaderFile> startServerForShaders()
{
    tvplat::holdStandardDescriptors();
    tvd3dx::startShaderCompiler();
    return {{"textfont.vsh", "main", "vs_1_1"}, {"superellipsoid.vsh", "main", "vs_2_0"},
            {"superellipsoid.psh", "main", "ps_2_0"}};
}

}  // namespace

EarlyStart::EarlyStart() : prefetch(startupImages(), startServerForShaders()) {}
