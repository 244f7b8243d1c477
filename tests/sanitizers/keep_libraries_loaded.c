/* Linked into every executable of the sanitizer build only.
 *
 * A dlclose that leaves the library loaded. Mesa's GL libraries, its DRI
 * driver and LLVM are opened with dlopen when a GL context is first made and
 * closed when SDL shuts video down, before LeakSanitizer checks the heap at
 * exit. Memory that those libraries still reached from their globals would
 * then be reported as leaked from an unknown module. Kept loaded, their
 * globals stay roots of the check, as a linked library's always are, and a
 * report that does involve them names the library.
 *
 * The executable's definition comes first in symbol lookup, so it stands in
 * for the C library's (and the ASan runtime's interceptor) for every caller.
 * Nothing in the program depends on a library actually going away; a later
 * dlopen of the same library simply finds it still there.
 */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
