// libFuzzer entry point: see TextLabelCase.h for what one input means and what
// is checked. A broken check aborts with its description, so libFuzzer keeps
// the input like any crash.
#include "fuzz/TextLabelCase.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string problem = fuzzing::runTextLabelCase(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "text_label check failed: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
