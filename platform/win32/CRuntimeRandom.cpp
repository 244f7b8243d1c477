// rand and srand as the Windows C run time has them, so that a seed draws
// the same numbers here as on Windows (and the same rack on every target).
// Each thread has its own state, starting at 1, as the Windows C run time
// keeps it in its per-thread data; srand on one thread leaves the others'
// sequences alone.
//
// The build links every program with --wrap=rand and --wrap=srand
// (CMakeLists.txt): the calls in our own code come here, while the shared
// libraries we load (Mesa's drivers, SDL) keep the system C library's rand,
// so nothing they draw, on any thread, moves the program's sequence.
#include <cstdint>

namespace {

thread_local uint32_t randomState = 1;

}  // namespace

extern "C" int __wrap_rand(void)
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

extern "C" void __wrap_srand(unsigned int seed)
{
    randomState = seed;
}
