// Helpers of the Direct3D 9 layer's tests: a hidden window from the Win32
// layer, a GL-backed device on it, HLSL compiled through D3DX, and the back
// buffer read back through the public API.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace d3d9test {

// A popup window (hidden unless the style says WS_VISIBLE) whose client
// area is width x height.
HWND createWindow(int width, int height, DWORD style = WS_POPUP);

// Present parameters for a windowed device with a D16 depth buffer.
D3DPRESENT_PARAMETERS windowedParameters(HWND window, UINT width = 0, UINT height = 0);

// Creates a device the way the program does: HAL first, then REF.
IDirect3DDevice9* createDevice(IDirect3D9* direct3d, HWND window, D3DPRESENT_PARAMETERS& parameters);

// Compiles D3D9-style HLSL ("vs_2_0"/"ps_2_0"), failing the test with the
// compiler's message when it does not compile. The caller releases the buffer.
ID3DXBuffer* compile(const char* source, const char* profile);
IDirect3DVertexShader9* vertexShader(IDirect3DDevice9* device, const char* source);
IDirect3DPixelShader9* pixelShader(IDirect3DDevice9* device, const char* source);

// The back buffer as 0xAARRGGBB words, row 0 at the top.
struct Image {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(UINT x, UINT y) const { return pixels[size_t{y} * width + x]; }
};
Image readBackBuffer(IDirect3DDevice9* device);

// Channel distance for comparisons that allow rounding.
bool near(uint32_t actual, uint32_t expected, int tolerance = 2);
std::string hex(uint32_t value);

// A device on its own window, released in order at the end of each test.
class DeviceTest : public ::testing::Test {
protected:
    static constexpr int width = 64;
    static constexpr int height = 48;

    void SetUp() override;
    void TearDown() override;

    // A managed A8R8G8B8 texture filled from 0xAARRGGBB words (row 0 at
    // the top); the test releases it.
    IDirect3DTexture9* makeTexture(UINT texWidth, UINT texHeight, const std::vector<uint32_t>& texels);
    // A managed vertex buffer holding `bytes`.
    IDirect3DVertexBuffer9* makeBuffer(const void* data, UINT bytes);

    DWORD windowStyle = WS_POPUP;
    HWND window = nullptr;
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS parameters = {};
};

// The vertex the drawing tests use, and its declaration.
struct Vertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
extern const D3DVERTEXELEMENT9 vertexElements[];

// Screen-space vertex shader: x right and y down in pixels; c0 holds
// (2/W, -2/H, -1, 1). z passes through as clip-space depth. Writes COLOR0
// and TEXCOORD0.
extern const char* const screenVertexShader;
// Pixel shaders returning COLOR0, and sampler 0 at TEXCOORD0.
extern const char* const colorPixelShader;
extern const char* const texturePixelShader;

// Two triangles, both clockwise on screen, covering [x0, x1) x [y0, y1) in
// Direct3D pixel coordinates (so x0 = x - 0.5 starts at pixel x).
std::vector<Vertex> quad(float x0, float y0, float x1, float y1, float z, D3DCOLOR color, float u0 = 0.0f,
                         float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f);

// A device with the screen-space shader and the vertex declaration bound.
class DrawingTest : public DeviceTest {
protected:
    void SetUp() override;
    void TearDown() override;

    void setScreenConstants(float w = width, float h = height);
    void clear(D3DCOLOR color = D3DCOLOR_XRGB(0, 0, 0));
    // Draws the vertices inside a scene (a triangle list unless told).
    HRESULT draw(const std::vector<Vertex>& vertices, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST);

    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexShader9* screenShader = nullptr;
};

}  // namespace d3d9test
