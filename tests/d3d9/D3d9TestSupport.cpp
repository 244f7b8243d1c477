#include "D3d9TestSupport.h"

#include <tarnvale_platform.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace d3d9test {

namespace {

const char* const windowClass = "Tarnvale.d3d9.test";

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

int channel(uint32_t value, int shift) { return static_cast<int>((value >> shift) & 0xFF); }

}  // namespace

HWND createWindow(int width, int height, DWORD style)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProcedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = windowClass;
        registered = RegisterClassExA(&wc) != 0;
    }
    return CreateWindowExA(0, windowClass, "d3d9 test", style, 0, 0, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

D3DPRESENT_PARAMETERS windowedParameters(HWND window, UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS p = {};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return p;
}

IDirect3DDevice9* createDevice(IDirect3D9* direct3d, HWND window, D3DPRESENT_PARAMETERS& parameters)
{
    IDirect3DDevice9* device = nullptr;
    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      &parameters, &device)))
        direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                               &parameters, &device);
    return device;
}

ID3DXBuffer* compile(const char* source, const char* profile)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCompileShader(source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, "main",
                                         profile, 0, &code, &errors, nullptr);
    if (FAILED(hr)) {
        ADD_FAILURE() << "HLSL does not compile: "
                      << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "(no message)");
    }
    if (errors) errors->Release();
    return code;
}

IDirect3DVertexShader9* vertexShader(IDirect3DDevice9* device, const char* source)
{
    ID3DXBuffer* code = compile(source, "vs_2_0");
    if (code == nullptr) return nullptr;
    IDirect3DVertexShader9* shader = nullptr;
    EXPECT_EQ(device->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &shader), D3D_OK);
    code->Release();
    return shader;
}

IDirect3DPixelShader9* pixelShader(IDirect3DDevice9* device, const char* source)
{
    ID3DXBuffer* code = compile(source, "ps_2_0");
    if (code == nullptr) return nullptr;
    IDirect3DPixelShader9* shader = nullptr;
    EXPECT_EQ(device->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()), &shader), D3D_OK);
    code->Release();
    return shader;
}

Image readBackBuffer(IDirect3DDevice9* device)
{
    Image image;
    IDirect3DSurface9* backBuffer = nullptr;
    if (device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer) != D3D_OK) {
        ADD_FAILURE() << "GetBackBuffer failed";
        return image;
    }
    D3DSURFACE_DESC desc = {};
    backBuffer->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    EXPECT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy,
                                                  nullptr),
              D3D_OK);
    if (copy != nullptr && device->GetRenderTargetData(backBuffer, copy) == D3D_OK) {
        D3DLOCKED_RECT locked = {};
        if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            image.width = desc.Width;
            image.height = desc.Height;
            image.pixels.resize(size_t{desc.Width} * desc.Height);
            for (UINT y = 0; y < desc.Height; ++y)
                std::memcpy(&image.pixels[size_t{y} * desc.Width],
                            static_cast<const uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch, desc.Width * 4);
            copy->UnlockRect();
        }
    } else {
        ADD_FAILURE() << "GetRenderTargetData failed";
    }
    if (copy) copy->Release();
    backBuffer->Release();
    return image;
}

bool near(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(channel(actual, shift) - channel(expected, shift)) > tolerance) return false;
    return true;
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void DeviceTest::SetUp()
{
    window = createWindow(width, height, windowStyle);
    ASSERT_NE(window, nullptr) << tvplat::lastPlatformError();
    direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3d, nullptr);
    parameters = windowedParameters(window);
    device = createDevice(direct3d, window, parameters);
    ASSERT_NE(device, nullptr) << "no Direct3D 9 device on this machine";
}

void DeviceTest::TearDown()
{
    if (device) {
        EXPECT_EQ(device->Release(), 0u) << "the test left objects of the device alive";
    }
    if (direct3d) {
        EXPECT_EQ(direct3d->Release(), 0u);
    }
    if (window) DestroyWindow(window);
}

IDirect3DTexture9* DeviceTest::makeTexture(UINT texWidth, UINT texHeight, const std::vector<uint32_t>& texels)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(texWidth, texHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    if (texture == nullptr) return nullptr;
    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < texHeight; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch, &texels[size_t{y} * texWidth],
                    texWidth * 4);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

IDirect3DVertexBuffer9* DeviceTest::makeBuffer(const void* data, UINT bytes)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(bytes, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    if (buffer == nullptr) return nullptr;
    void* memory = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &memory, 0), D3D_OK);
    std::memcpy(memory, data, bytes);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    return buffer;
}

const D3DVERTEXELEMENT9 vertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

const char* const screenVertexShader = R"(
float4 toClip : register(c0);
struct Output { float4 position : POSITION; float4 color : COLOR0; float2 uv : TEXCOORD0; };
Output main(float3 p : POSITION, float4 c : COLOR0, float2 uv : TEXCOORD0)
{
    Output o;
    o.position = float4(p.xy * toClip.xy + toClip.zw, p.z, 1.0);
    o.color = c;
    o.uv = uv;
    return o;
}
)";

const char* const colorPixelShader = R"(
float4 main(float4 c : COLOR0) : COLOR { return c; }
)";

const char* const texturePixelShader = R"(
sampler2D tex : register(s0);
float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(tex, uv); }
)";

std::vector<Vertex> quad(float x0, float y0, float x1, float y1, float z, D3DCOLOR color, float u0, float v0, float u1,
                         float v1)
{
    const Vertex tl{x0, y0, z, color, u0, v0}, tr{x1, y0, z, color, u1, v0};
    const Vertex bl{x0, y1, z, color, u0, v1}, br{x1, y1, z, color, u1, v1};
    return {tl, tr, bl, br, bl, tr};
}

void DrawingTest::SetUp()
{
    DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(device->CreateVertexDeclaration(vertexElements, &declaration), D3D_OK);
    screenShader = vertexShader(device, screenVertexShader);
    ASSERT_NE(screenShader, nullptr);
    ASSERT_EQ(device->SetVertexDeclaration(declaration), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(screenShader), D3D_OK);
    setScreenConstants();
}

void DrawingTest::TearDown()
{
    if (device) {
        device->SetVertexDeclaration(nullptr);
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        device->SetStreamSource(0, nullptr, 0, 0);
        for (DWORD stage = 0; stage < 16; ++stage) device->SetTexture(stage, nullptr);
    }
    if (declaration) declaration->Release();
    if (screenShader) screenShader->Release();
    DeviceTest::TearDown();
}

void DrawingTest::setScreenConstants(float w, float h)
{
    const float toClip[4] = {2.0f / w, -2.0f / h, -1.0f, 1.0f};
    device->SetVertexShaderConstantF(0, toClip, 1);
}

void DrawingTest::clear(D3DCOLOR color)
{
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0), D3D_OK);
}

HRESULT DrawingTest::draw(const std::vector<Vertex>& vertices, D3DPRIMITIVETYPE type)
{
    IDirect3DVertexBuffer9* buffer = makeBuffer(vertices.data(), static_cast<UINT>(vertices.size() * sizeof(Vertex)));
    if (buffer == nullptr) return E_FAIL;
    device->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    buffer->Release();  // the device keeps it while bound
    UINT primitives = static_cast<UINT>(vertices.size() / 3);
    if (type == D3DPT_LINELIST) primitives = static_cast<UINT>(vertices.size() / 2);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    const HRESULT hr = device->DrawPrimitive(type, 0, primitives);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    return hr;
}

}  // namespace d3d9test
