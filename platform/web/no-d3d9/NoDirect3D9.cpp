// Direct3DCreate9 for a web build made without the Direct3D 9 layer (the
// layer's OpenGL ES path is not compiled in): no Direct3D, so the program
// says it has no device and ends, as it does on a machine without one.
#include <d3d9.h>

#include <cstdio>

IDirect3D9* WINAPI Direct3DCreate9(UINT)
{
    std::fputs("Direct3D 9 layer: this web build was made without the layer's OpenGL ES 3.0 path\n", stderr);
    return nullptr;
}
