// Placeholder until the OpenGL-backed Direct3D 9 layer lands.
#include <d3d9.h>

IDirect3D9* WINAPI Direct3DCreate9(UINT) { return nullptr; }
