// The Direct3D 9 objects' bookkeeping: creation and its failures, COM
// reference counts, states and their defaults, locks, declarations, shader
// code checks and the answers to bad calls.
#include "D3d9TestSupport.h"

#include <tarnvale_d3d9.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace d3d9test;

namespace {

DWORD floatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

ULONG countOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// ---------------------------------------------------------------------------
// Direct3DCreate9 and CreateDevice.

TEST(Direct3D, CreationAdapterAndInterfaces)
{
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    D3DDISPLAYMODE mode = {};
    EXPECT_EQ(d3d->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.Height, 0u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);

    void* same = nullptr;
    ASSERT_EQ(d3d->QueryInterface(IID_IDirect3D9, &same), S_OK);
    EXPECT_EQ(same, static_cast<void*>(d3d));
    void* none = d3d;
    EXPECT_EQ(d3d->QueryInterface(IID_IDirect3DDevice9, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(d3d->Release(), 1u);
    EXPECT_EQ(d3d->Release(), 0u);
}

class CreateDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = createWindow(70, 50);
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override
    {
        unsetenv("TARNVALE_D3D9_FORCE_NO_HAL");
        unsetenv("TARNVALE_D3D9_FORCE_NO_DEVICE");
        // No failed attempt left a device holding the interface.
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        DestroyWindow(window);
    }
    HRESULT create(D3DDEVTYPE type, DWORD flags, D3DPRESENT_PARAMETERS& p, IDirect3DDevice9** out)
    {
        return d3d->CreateDevice(D3DADAPTER_DEFAULT, type, window, flags, &p, out);
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
};

TEST_F(CreateDeviceTest, BadArgumentsFailAndLeaveNoDevice)
{
    const DWORD sw = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    D3DPRESENT_PARAMETERS p = windowedParameters(window);
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, window, sw, &p, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, window, sw, nullptr, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_REF, window, sw, &p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(D3DDEVTYPE_REF, sw | D3DCREATE_HARDWARE_VERTEXPROCESSING, p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(D3DDEVTYPE_REF, 0, p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(D3DDEVTYPE_REF, sw | D3DCREATE_PUREDEVICE, p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(D3DDEVTYPE_NULLREF, sw, p, &device), D3DERR_NOTAVAILABLE);

    const struct {
        const char* what;
        void (*spoil)(D3DPRESENT_PARAMETERS&);
    } spoiled[] = {
        {"swap effect", [](D3DPRESENT_PARAMETERS& q) { q.SwapEffect = static_cast<D3DSWAPEFFECT>(9); }},
        {"four back buffers", [](D3DPRESENT_PARAMETERS& q) { q.BackBufferCount = 4; }},
        {"no window", [](D3DPRESENT_PARAMETERS& q) { q.hDeviceWindow = nullptr; }},
        {"unknown window", [](D3DPRESENT_PARAMETERS& q) { q.hDeviceWindow = reinterpret_cast<HWND>(0x7777); }},
        {"depth format", [](D3DPRESENT_PARAMETERS& q) { q.AutoDepthStencilFormat = D3DFMT_A8R8G8B8; }},
        {"full screen without size", [](D3DPRESENT_PARAMETERS& q) { q.Windowed = FALSE; }},
        {"presentation interval", [](D3DPRESENT_PARAMETERS& q) { q.PresentationInterval = 5; }},
    };
    for (const auto& s : spoiled) {
        D3DPRESENT_PARAMETERS q = windowedParameters(window);
        s.spoil(q);
        device = reinterpret_cast<IDirect3DDevice9*>(0x1);
        const HWND focus = s.spoil == spoiled[2].spoil ? nullptr : window;
        EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, focus, sw, &q, &device), D3DERR_INVALIDCALL)
            << s.what;
        EXPECT_EQ(device, nullptr) << s.what;
    }
}

TEST_F(CreateDeviceTest, BackBufferTakesTheClientAreaAndTheParametersAreFilledIn)
{
    D3DPRESENT_PARAMETERS p = windowedParameters(window);
    p.BackBufferCount = 0;
    IDirect3DDevice9* device = createDevice(d3d, window, p);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(p.BackBufferWidth, 70u);
    EXPECT_EQ(p.BackBufferHeight, 50u);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.BackBufferCount, 1u);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc = {};
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 70u);
    EXPECT_EQ(desc.Height, 50u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(desc.Type, D3DRTYPE_SURFACE);
    backBuffer->Release();
    D3DVIEWPORT9 viewport = {};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 70u);
    EXPECT_EQ(viewport.Height, 50u);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
    EXPECT_EQ(device->Release(), 0u);

    // An explicit size is kept.
    D3DPRESENT_PARAMETERS small = windowedParameters(window, 32, 16);
    device = createDevice(d3d, window, small);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(readBackBuffer(device).width, 32u);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(CreateDeviceTest, HalNeedsHardwareUnlessForcedAndTheEnvironmentCanTakeDevicesAway)
{
    D3DPRESENT_PARAMETERS p = windowedParameters(window);
    IDirect3DDevice9* reference = nullptr;
    ASSERT_EQ(create(D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, &reference), D3D_OK);
    const std::string renderer = tvd3d9::rendererName(reference);
    EXPECT_FALSE(renderer.empty());
    EXPECT_EQ(reference->Release(), 0u);

    // Forced, HAL takes the window's OpenGL whatever its renderer.
    IDirect3DDevice9* hal = reinterpret_cast<IDirect3DDevice9*>(0x1);
    setenv("TARNVALE_D3D9_FORCE_HAL", "1", 1);
    ASSERT_EQ(create(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, p, &hal), D3D_OK);
    EXPECT_FALSE(std::string(tvd3d9::rendererName(hal)).empty());
    EXPECT_EQ(hal->Release(), 0u);
    unsetenv("TARNVALE_D3D9_FORCE_HAL");

    const HRESULT hr = create(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, p, &hal);
    const bool software = renderer.find("llvmpipe") != std::string::npos ||
                          renderer.find("softpipe") != std::string::npos || renderer.find("Software") != std::string::npos;
    if (software) {
        EXPECT_EQ(hr, D3DERR_NOTAVAILABLE);
        EXPECT_EQ(hal, nullptr);
    } else {
        ASSERT_EQ(hr, D3D_OK) << renderer;
        EXPECT_EQ(hal->Release(), 0u);
    }

    setenv("TARNVALE_D3D9_FORCE_NO_HAL", "1", 1);
    EXPECT_EQ(create(D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, &hal), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(create(D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, &reference), D3D_OK);
    EXPECT_EQ(reference->Release(), 0u);
    setenv("TARNVALE_D3D9_FORCE_NO_DEVICE", "1", 1);
    reference = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(create(D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, p, &reference), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(reference, nullptr);
}

TEST_F(CreateDeviceTest, ADeviceOutlivingItsWindowIsLostNotBroken)
{
    const HWND doomed = createWindow(32, 32);
    D3DPRESENT_PARAMETERS p = windowedParameters(doomed);
    IDirect3DDevice9* device = createDevice(d3d, doomed, p);
    ASSERT_NE(device, nullptr);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    DestroyWindow(doomed);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

// ---------------------------------------------------------------------------
// Reference counts.

using ObjectTest = DeviceTest;

TEST_F(ObjectTest, ReferenceCountsFollowCom)
{
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    // Objects made from the device hold it while the application holds them.
    EXPECT_EQ(countOf(device), 2u);
    EXPECT_EQ(texture->AddRef(), 2u);
    EXPECT_EQ(texture->Release(), 1u);

    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    EXPECT_EQ(owner->Release(), 2u);

    // A level's surface counts with its texture.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
    EXPECT_EQ(countOf(texture), 2u);
    EXPECT_EQ(level->Release(), 1u);

    void* base = nullptr;
    ASSERT_EQ(texture->QueryInterface(IID_IDirect3DBaseTexture9, &base), S_OK);
    EXPECT_EQ(countOf(texture), 2u);
    static_cast<IDirect3DBaseTexture9*>(base)->Release();

    IDirect3D9* parent = nullptr;
    ASSERT_EQ(device->GetDirect3D(&parent), D3D_OK);
    EXPECT_EQ(parent, direct3d);
    EXPECT_EQ(parent->Release(), 2u);  // the device holds the interface too

    IDirect3DSurface9* first = nullptr;
    IDirect3DSurface9* second = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &first), D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &second), D3D_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(countOf(device), 3u);
    EXPECT_EQ(second->Release(), 1u);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(countOf(device), 2u);

    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(countOf(device), 1u);
}

TEST_F(ObjectTest, GettersHandOutReferencesAndDeviceStateOutlivesNothing)
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    IDirect3DVertexShader9* shader = vertexShader(device, screenVertexShader);
    ASSERT_NE(shader, nullptr);

    // Binding adds no public reference.
    device->SetVertexDeclaration(declaration);
    device->SetStreamSource(3, buffer, 16, 12);
    device->SetVertexShader(shader);
    EXPECT_EQ(countOf(declaration), 1u);
    EXPECT_EQ(countOf(buffer), 1u);
    EXPECT_EQ(countOf(shader), 1u);

    IDirect3DVertexDeclaration9* gotDeclaration = nullptr;
    IDirect3DVertexBuffer9* gotBuffer = nullptr;
    IDirect3DVertexShader9* gotShader = nullptr;
    IDirect3DPixelShader9* gotPixel = reinterpret_cast<IDirect3DPixelShader9*>(0x1);
    UINT offset = 0, stride = 0;
    ASSERT_EQ(device->GetVertexDeclaration(&gotDeclaration), D3D_OK);
    ASSERT_EQ(device->GetStreamSource(3, &gotBuffer, &offset, &stride), D3D_OK);
    ASSERT_EQ(device->GetVertexShader(&gotShader), D3D_OK);
    ASSERT_EQ(device->GetPixelShader(&gotPixel), D3D_OK);
    EXPECT_EQ(gotDeclaration, declaration);
    EXPECT_EQ(gotBuffer, buffer);
    EXPECT_EQ(gotShader, shader);
    EXPECT_EQ(gotPixel, nullptr);
    EXPECT_EQ(offset, 16u);
    EXPECT_EQ(stride, 12u);
    EXPECT_EQ(gotDeclaration->Release(), 1u);
    EXPECT_EQ(gotBuffer->Release(), 1u);
    EXPECT_EQ(gotShader->Release(), 1u);
    EXPECT_EQ(device->GetStreamSource(16, &gotBuffer, &offset, &stride), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetVertexShader(nullptr), D3DERR_INVALIDCALL);

    // Released while bound: the device keeps them until it lets go.
    EXPECT_EQ(declaration->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(shader->Release(), 0u);
    EXPECT_EQ(countOf(device), 1u);
    device->SetStreamSource(3, nullptr, 0, 0);
    // The declaration and shader go with the device (TearDown expects 0).
}

TEST_F(ObjectTest, ScenesNestAsDirect3DSays)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    // Drawing needs a vertex shader and a declaration.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(99), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // Present inside a scene does no harm.
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    // Rectangles need the copy swap effect.
    const RECT rect = {0, 0, 4, 4};
    EXPECT_EQ(device->Present(&rect, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(tvd3d9::deviceStats(device).frames, 2u);
}

// ---------------------------------------------------------------------------
// States.

TEST_F(ObjectTest, StatesStartAtDirect3DDefaults)
{
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } renderDefaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},           {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},   {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ALPHATESTENABLE, FALSE},        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},      {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},       {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_ALPHABLENDENABLE, FALSE},       {D3DRS_LIGHTING, TRUE},
        {D3DRS_STENCILMASK, 0xFFFFFFFF},       {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
        {D3DRS_COLORWRITEENABLE, 0xF},         {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_FOGEND, floatBits(1.0f)},       {D3DRS_POINTSIZE_MAX, floatBits(64.0f)},
        {D3DRS_CLIPPING, TRUE},                {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1}, {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    };
    for (const auto& d : renderDefaults) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(device->GetRenderState(d.state, &value), D3D_OK) << d.state;
        EXPECT_EQ(value, d.value) << "render state " << d.state;
    }
    for (DWORD sampler : {0u, 15u}) {
        DWORD u = 0, v = 0, mag = 9, min = 9, mip = 9, aniso = 0;
        device->GetSamplerState(sampler, D3DSAMP_ADDRESSU, &u);
        device->GetSamplerState(sampler, D3DSAMP_ADDRESSV, &v);
        device->GetSamplerState(sampler, D3DSAMP_MAGFILTER, &mag);
        device->GetSamplerState(sampler, D3DSAMP_MINFILTER, &min);
        device->GetSamplerState(sampler, D3DSAMP_MIPFILTER, &mip);
        device->GetSamplerState(sampler, D3DSAMP_MAXANISOTROPY, &aniso);
        EXPECT_EQ(u, static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(mag, static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(min, static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(mip, static_cast<DWORD>(D3DTEXF_NONE));
        EXPECT_EQ(aniso, 1u);
    }
    for (DWORD stage = 0; stage < 8; ++stage) {
        DWORD colorOp = 0, alphaOp = 0, arg1 = 0, arg2 = 0, index = 99;
        device->GetTextureStageState(stage, D3DTSS_COLOROP, &colorOp);
        device->GetTextureStageState(stage, D3DTSS_ALPHAOP, &alphaOp);
        device->GetTextureStageState(stage, D3DTSS_ALPHAARG1, &arg1);
        device->GetTextureStageState(stage, D3DTSS_ALPHAARG2, &arg2);
        device->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &index);
        EXPECT_EQ(colorOp, static_cast<DWORD>(stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE));
        EXPECT_EQ(alphaOp, static_cast<DWORD>(stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE));
        EXPECT_EQ(arg1, static_cast<DWORD>(D3DTA_TEXTURE));
        EXPECT_EQ(arg2, static_cast<DWORD>(D3DTA_CURRENT));
        EXPECT_EQ(index, stage);
    }

    // Without a depth buffer ZENABLE starts FALSE and depth clears fail.
    D3DPRESENT_PARAMETERS p = windowedParameters(window);
    p.EnableAutoDepthStencil = FALSE;
    IDirect3DDevice9* bare = createDevice(direct3d, window, p);
    ASSERT_NE(bare, nullptr);
    DWORD zenable = 9;
    bare->GetRenderState(D3DRS_ZENABLE, &zenable);
    EXPECT_EQ(zenable, static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(bare->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(bare->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(bare->Release(), 0u);
}

TEST_F(ObjectTest, BadStatesAndArgumentsAreRefusedAndChangeNothing)
{
    DWORD value = 0;
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(255), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(100000), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(100000), &value), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderState(D3DRS_CULLMODE, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(D3DRS_CULLMODE, 7), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(D3DRS_SRCBLEND, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(D3DRS_ZFUNC, 9), D3DERR_INVALIDCALL);
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));

    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_MODULATE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(99), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLORARG1, 0x40), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_COLOROP, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(0), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(0, D3DSAMP_ADDRESSU, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetSamplerState(0, D3DSAMP_ADDRESSU, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(16, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetTexture(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetStreamSource(16, nullptr, 0, 0), D3DERR_INVALIDCALL);

    EXPECT_EQ(device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, 0x100, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);  // D16: no stencil

    const D3DVIEWPORT9 tooWide = {1, 0, static_cast<DWORD>(width), 10, 0.0f, 1.0f};
    const D3DVIEWPORT9 badDepth = {0, 0, 8, 8, 0.5f, 1.5f};
    EXPECT_EQ(device->SetViewport(&tooWide), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetViewport(&badDepth), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetViewport(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetViewport(nullptr), D3DERR_INVALIDCALL);

    const float data[8] = {};
    float out[8] = {};
    EXPECT_EQ(device->SetVertexShaderConstantF(255, data, 1), D3D_OK);
    EXPECT_EQ(device->SetVertexShaderConstantF(255, data, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShaderConstantF(256, data, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShaderConstantF(1, data, 0xFFFFFFFFu), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShaderConstantF(0, nullptr, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShaderConstantF(0, nullptr, 0), D3D_OK);
    EXPECT_EQ(device->GetVertexShaderConstantF(250, out, 7), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetPixelShaderConstantF(0, nullptr, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetPixelShaderConstantF(300, data, 1), D3DERR_INVALIDCALL);
    const float set[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(device->SetPixelShaderConstantF(10, set, 2), D3D_OK);
    ASSERT_EQ(device->GetPixelShaderConstantF(10, out, 2), D3D_OK);
    EXPECT_EQ(std::memcmp(out, set, sizeof set), 0);
}

// ---------------------------------------------------------------------------
// Vertex buffers and textures.

TEST_F(ObjectTest, VertexBufferLocksCheckTheirRange)
{
    IDirect3DVertexBuffer9* buffer = reinterpret_cast<IDirect3DVertexBuffer9*>(0x1);
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(device->CreateVertexBuffer(0xFFFFFFF0u, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr)));
    EXPECT_EQ(buffer, nullptr);

    ASSERT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    D3DVERTEXBUFFER_DESC desc = {};
    ASSERT_EQ(buffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 64u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Type, D3DRTYPE_VERTEXBUFFER);
    EXPECT_EQ(desc.Format, D3DFMT_VERTEXDATA);
    EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_WRITEONLY));

    void* whole = nullptr;
    void* part = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &whole, 0), D3D_OK);
    // Locks nest; a zero size runs to the end.
    ASSERT_EQ(buffer->Lock(16, 0, &part, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part), static_cast<uint8_t*>(whole) + 16);
    std::memset(whole, 0x5A, 64);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);

    void* data = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(buffer->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(buffer->Lock(65, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0xFFFFFFF0u, 0x20, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(buffer->Lock(8, 8, &data, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(data)[7], 0x5A);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(ObjectTest, TexturesHaveLevelsAndLockableSurfaces)
{
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(device->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device->CreateTexture(64, 16, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(100000, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    // Far too much memory: refused before anything is allocated.
    EXPECT_TRUE(FAILED(device->CreateTexture(16384, 16384, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)));
    EXPECT_EQ(texture, nullptr);

    ASSERT_EQ(device->CreateTexture(64, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 7u);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
    D3DSURFACE_DESC desc = {};
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 16u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ASSERT_EQ(texture->GetLevelDesc(6, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(texture->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);

    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(texture->LockRect(7, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
    const RECT outside = {60, 0, 65, 4};
    const RECT empty = {4, 4, 4, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, &locked, &empty, 0), D3DERR_INVALIDCALL);
    const RECT inside = {4, 2, 8, 6};
    ASSERT_EQ(texture->LockRect(0, &locked, &inside, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 64 * 4);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFF123456u;  // texel (4, 2)
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);

    // The level's surface locks the same memory.
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 64u);
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[2 * 64 + 4], 0xFF123456u);
    EXPECT_TRUE(texture->LockRect(0, &locked, nullptr, 0) == D3DERR_INVALIDCALL);
    EXPECT_EQ(surface->UnlockRect(), D3D_OK);
    EXPECT_EQ(texture->GetSurfaceLevel(7, &surface), D3DERR_INVALIDCALL);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(texture->Release(), 1u);
    // Forwarded to the texture, which goes with it.
    IDirect3DSurface9* again = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(0, &again), D3D_OK);
    EXPECT_EQ(again->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);

    // Pools: default textures cannot be locked, system-memory ones cannot be
    // set; automatic mipmaps show one level.
    IDirect3DTexture9* gpuOnly = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &gpuOnly, nullptr), D3D_OK);
    EXPECT_EQ(gpuOnly->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(0, gpuOnly), D3D_OK);
    EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
    gpuOnly->Release();
    IDirect3DTexture9* system = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_L8, D3DPOOL_SYSTEMMEM, &system, nullptr), D3D_OK);
    ASSERT_EQ(system->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 8);
    system->UnlockRect(0);
    EXPECT_EQ(device->SetTexture(0, system), D3DERR_INVALIDCALL);
    system->Release();
    IDirect3DTexture9* automatic = nullptr;
    ASSERT_EQ(device->CreateTexture(32, 32, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &automatic,
                                    nullptr),
              D3D_OK);
    EXPECT_EQ(automatic->GetLevelCount(), 1u);
    automatic->Release();
}

// ---------------------------------------------------------------------------
// Declarations and shader code.

TEST_F(ObjectTest, VertexDeclarationsAreValidatedAndReportedWithTheirEnd)
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {1, 0, D3DDECLTYPE_SHORT2N, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    UINT count = 0;
    ASSERT_EQ(declaration->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 4u);
    D3DVERTEXELEMENT9 copy[4] = {};
    ASSERT_EQ(declaration->GetDeclaration(copy, &count), D3D_OK);
    EXPECT_EQ(std::memcmp(copy, elements, sizeof elements), 0);
    EXPECT_EQ(declaration->GetDeclaration(copy, nullptr), D3DERR_INVALIDCALL);
    declaration->Release();

    auto refused = [&](D3DVERTEXELEMENT9 bad) {
        const D3DVERTEXELEMENT9 list[] = {elements[0], bad, D3DDECL_END()};
        IDirect3DVertexDeclaration9* out = reinterpret_cast<IDirect3DVertexDeclaration9*>(0x1);
        const HRESULT hr = device->CreateVertexDeclaration(list, &out);
        if (out != nullptr && SUCCEEDED(hr)) out->Release();
        return hr == D3DERR_INVALIDCALL && out == nullptr;
    };
    EXPECT_TRUE(refused({0, 12, D3DDECLTYPE_UDEC3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0}));
    EXPECT_TRUE(refused({0, 12, 40, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0}));
    EXPECT_TRUE(refused({0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}));  // twice
    EXPECT_TRUE(refused({16, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0}));
    EXPECT_TRUE(refused({0, 14, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0}));
    EXPECT_TRUE(refused({0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_UV, D3DDECLUSAGE_NORMAL, 0}));
    EXPECT_TRUE(refused({0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, 20, 0}));
    EXPECT_FALSE(refused({0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0}));

    // 64 elements and the end marker are fine; a 65th element is not.
    std::vector<D3DVERTEXELEMENT9> many;
    for (BYTE i = 0; i < 65; ++i)
        many.push_back({0, static_cast<WORD>(i * 4), D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT,
                        static_cast<BYTE>(i / 16), static_cast<BYTE>(i % 16)});
    many.push_back(D3DDECL_END());
    EXPECT_EQ(device->CreateVertexDeclaration(many.data(), &declaration), D3DERR_INVALIDCALL);
    many.erase(many.begin() + 64);
    ASSERT_EQ(device->CreateVertexDeclaration(many.data(), &declaration), D3D_OK);
    declaration->GetDeclaration(nullptr, &count);
    EXPECT_EQ(count, 65u);
    declaration->Release();
    EXPECT_EQ(device->CreateVertexDeclaration(nullptr, &declaration), D3DERR_INVALIDCALL);
}

TEST_F(ObjectTest, ShaderCodeIsCheckedAndKept)
{
    IDirect3DVertexShader9* vs = reinterpret_cast<IDirect3DVertexShader9*>(0x1);
    const DWORD badMagic[] = {0x12345678, 0x00010000, 0, 8, 0, D3DVS_END()};
    const DWORD zeroLength[] = {0x07230203, 0x00010000, 0, 8, 0, 0x00000011, D3DVS_END()};
    const DWORD noEntryPoint[] = {0x07230203, 0x00010000, 0, 8, 0, 0x00020011, 1, D3DVS_END()};
    EXPECT_EQ(device->CreateVertexShader(nullptr, &vs), D3DERR_INVALIDCALL);
    EXPECT_EQ(vs, nullptr);
    EXPECT_EQ(device->CreateVertexShader(badMagic, &vs), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexShader(zeroLength, &vs), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexShader(noEntryPoint, &vs), D3DERR_INVALIDCALL);
    // No end token within the walk's limit (every word a one-word no-op).
    std::vector<DWORD> endless(5 + (4u << 20) + 16, 0x00010000u);
    endless[0] = 0x07230203;
    EXPECT_EQ(device->CreateVertexShader(endless.data(), &vs), D3DERR_INVALIDCALL);

    // Each stage's code is refused by the other stage.
    ID3DXBuffer* vertexCode = compile(screenVertexShader, "vs_2_0");
    ID3DXBuffer* pixelCode = compile(colorPixelShader, "ps_2_0");
    ASSERT_NE(vertexCode, nullptr);
    ASSERT_NE(pixelCode, nullptr);
    const DWORD* vertexWords = static_cast<const DWORD*>(vertexCode->GetBufferPointer());
    IDirect3DPixelShader9* ps = reinterpret_cast<IDirect3DPixelShader9*>(0x1);
    EXPECT_EQ(device->CreatePixelShader(vertexWords, &ps), D3DERR_INVALIDCALL);
    EXPECT_EQ(ps, nullptr);
    EXPECT_EQ(device->CreateVertexShader(static_cast<const DWORD*>(pixelCode->GetBufferPointer()), &vs),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexShader(vertexWords, nullptr), D3DERR_INVALIDCALL);

    // GetFunction gives back the code as it was given, end token included.
    ASSERT_EQ(device->CreateVertexShader(vertexWords, &vs), D3D_OK);
    UINT size = 0;
    ASSERT_EQ(vs->GetFunction(nullptr, &size), D3D_OK);
    EXPECT_EQ(size, vertexCode->GetBufferSize());
    std::vector<uint8_t> function(size);
    UINT tooSmall = size - 4;
    EXPECT_EQ(vs->GetFunction(function.data(), &tooSmall), D3DERR_INVALIDCALL);
    ASSERT_EQ(vs->GetFunction(function.data(), &size), D3D_OK);
    EXPECT_EQ(std::memcmp(function.data(), vertexWords, size), 0);
    EXPECT_EQ(reinterpret_cast<const DWORD*>(function.data())[size / 4 - 1], DWORD(D3DVS_END()));
    EXPECT_EQ(vs->GetFunction(nullptr, nullptr), D3DERR_INVALIDCALL);
    vs->Release();
    vertexCode->Release();
    pixelCode->Release();
}

// ---------------------------------------------------------------------------
// Read-back surfaces.

TEST_F(ObjectTest, ReadBackChecksItsSurfaces)
{
    IDirect3DSurface9* backBuffer = nullptr;
    EXPECT_EQ(device->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_LEFT, &backBuffer), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);

    IDirect3DSurface9* surface = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(device->CreateOffscreenPlainSurface(0, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &surface, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &surface, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_D16, D3DPOOL_SYSTEMMEM, &surface, nullptr),
              D3DERR_INVALIDCALL);

    IDirect3DSurface9* small = nullptr;
    IDirect3DSurface9* right = nullptr;
    IDirect3DSurface9* videoMemory = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &right, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &videoMemory,
                                                  nullptr),
              D3D_OK);
    EXPECT_EQ(device->GetRenderTargetData(backBuffer, small), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(backBuffer, videoMemory), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(right, right), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(nullptr, right), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(backBuffer, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(right->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, width * 4);
    EXPECT_EQ(right->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderTargetData(backBuffer, right), D3DERR_INVALIDCALL);  // locked
    EXPECT_EQ(right->UnlockRect(), D3D_OK);
    EXPECT_EQ(right->UnlockRect(), D3DERR_INVALIDCALL);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0);
    ASSERT_EQ(device->GetRenderTargetData(backBuffer, right), D3D_OK);
    ASSERT_EQ(right->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    // A8R8G8B8 memory order: blue, green, red, alpha.
    const uint8_t* bytes = static_cast<const uint8_t*>(locked.pBits);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(bytes[2], 1);
    EXPECT_EQ(bytes[3], 0xFF);
    right->UnlockRect();

    // A level of a system-memory texture can receive the data too.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture, nullptr), D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(device->GetRenderTargetData(backBuffer, level), D3D_OK);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<const uint32_t*>(locked.pBits)[width * height - 1], 0xFF010203u);
    texture->UnlockRect(0);
    level->Release();
    texture->Release();

    small->Release();
    right->Release();
    videoMemory->Release();
    backBuffer->Release();
}

}  // namespace
