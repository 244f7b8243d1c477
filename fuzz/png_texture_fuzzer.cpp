// libFuzzer entry point: see PngTextureCase.h for what one input means and what
// is checked. A broken check aborts with its description, so libFuzzer keeps
// the input like any crash.
#include "fuzz/PngTextureCase.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string problem = fuzzing::runPngTextureCase(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "png_texture check failed: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
