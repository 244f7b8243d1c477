// Device set-up: the creation attempts and their fall-backs, the present
// parameters, the message boxes, and the order of release. A scripted
// IDirect3D9 stands in for the real one; one test runs the real layer.
#include "app/GraphicsDevice.h"
#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include <tarnvale_d3d9.h>
#include <tarnvale_platform.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// What the fakes saw, shared by the fake interface and its device.
struct Log {
    std::vector<std::string> events;
};
Log* currentLog = nullptr;

// A device that only counts its references; the set-up calls nothing else.
class CountingDevice final : public IDirect3DDevice9 {
public:
    ULONG references = 1;
    HRESULT WINAPI QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG WINAPI AddRef() override { return ++references; }
    ULONG WINAPI Release() override
    {
        currentLog->events.push_back("device released");
        return --references;
    }
#define NOT_USED(signature) \
    HRESULT WINAPI signature override { return E_NOTIMPL; }
    NOT_USED(TestCooperativeLevel())
    NOT_USED(GetDirect3D(IDirect3D9**))
    NOT_USED(GetDisplayMode(UINT, D3DDISPLAYMODE*))
    NOT_USED(Present(const RECT*, const RECT*, HWND, const RGNDATA*))
    NOT_USED(GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**))
    NOT_USED(CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*))
    NOT_USED(CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*))
    NOT_USED(CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*))
    NOT_USED(GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*))
    NOT_USED(BeginScene())
    NOT_USED(EndScene())
    NOT_USED(Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD))
    NOT_USED(SetViewport(const D3DVIEWPORT9*))
    NOT_USED(GetViewport(D3DVIEWPORT9*))
    NOT_USED(SetRenderState(D3DRENDERSTATETYPE, DWORD))
    NOT_USED(GetRenderState(D3DRENDERSTATETYPE, DWORD*))
    NOT_USED(GetTexture(DWORD, IDirect3DBaseTexture9**))
    NOT_USED(SetTexture(DWORD, IDirect3DBaseTexture9*))
    NOT_USED(GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*))
    NOT_USED(SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD))
    NOT_USED(GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*))
    NOT_USED(SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD))
    NOT_USED(DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT))
    NOT_USED(CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**))
    NOT_USED(SetVertexDeclaration(IDirect3DVertexDeclaration9*))
    NOT_USED(GetVertexDeclaration(IDirect3DVertexDeclaration9**))
    NOT_USED(CreateVertexShader(const DWORD*, IDirect3DVertexShader9**))
    NOT_USED(SetVertexShader(IDirect3DVertexShader9*))
    NOT_USED(GetVertexShader(IDirect3DVertexShader9**))
    NOT_USED(SetVertexShaderConstantF(UINT, const float*, UINT))
    NOT_USED(GetVertexShaderConstantF(UINT, float*, UINT))
    NOT_USED(SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT))
    NOT_USED(GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*))
    NOT_USED(CreatePixelShader(const DWORD*, IDirect3DPixelShader9**))
    NOT_USED(SetPixelShader(IDirect3DPixelShader9*))
    NOT_USED(GetPixelShader(IDirect3DPixelShader9**))
    NOT_USED(SetPixelShaderConstantF(UINT, const float*, UINT))
    NOT_USED(GetPixelShaderConstantF(UINT, float*, UINT))
#undef NOT_USED
};

struct Attempt {
    UINT adapter;
    D3DDEVTYPE type;
    HWND window;
    DWORD flags;
    D3DPRESENT_PARAMETERS parameters;
};

// An IDirect3D9 whose CreateDevice fails until attempt number succeedOn
// (1-based; 0: never). A failing attempt scribbles on the parameters and the
// result pointer, as nothing forbids a run time to.
class ScriptedDirect3D final : public IDirect3D9 {
public:
    int succeedOn = 0;
    UINT sdkVersion = 0;
    ULONG references = 1;
    std::vector<Attempt> attempts;
    int displayModeReads = 0;
    CountingDevice device;

    HRESULT WINAPI QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG WINAPI AddRef() override { return ++references; }
    ULONG WINAPI Release() override
    {
        currentLog->events.push_back("direct3d released");
        return --references;
    }
    UINT WINAPI GetAdapterCount() override { return 1; }
    HRESULT WINAPI GetAdapterDisplayMode(UINT, D3DDISPLAYMODE* mode) override
    {
        ++displayModeReads;
        *mode = {1280, 1024, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    HRESULT WINAPI CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** result) override
    {
        attempts.push_back({adapter, type, window, flags, *parameters});
        if (static_cast<int>(attempts.size()) == succeedOn) {
            *result = &device;
            return D3D_OK;
        }
        parameters->BackBufferWidth = 4321;
        parameters->BackBufferFormat = D3DFMT_R5G6B5;
        *result = reinterpret_cast<IDirect3DDevice9*>(uintptr_t(0xBAD));
        return D3DERR_NOTAVAILABLE;
    }
};

ScriptedDirect3D* scripted = nullptr;

IDirect3D9* createScripted(UINT sdkVersion)
{
    scripted->sdkVersion = sdkVersion;
    return scripted;
}
IDirect3D9* createNothing(UINT) { return nullptr; }

HWND const testWindow = reinterpret_cast<HWND>(uintptr_t(0x1234));

const char* const resortingText = "Couldn't create HAL device, resorting to REF.";
const char* const noDeviceText = "Couldn't create even a REF device. DirectX 9 may not be properly installed.";

class GraphicsDeviceSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        currentLog = &log;
        scripted = &direct3d;
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        tvplat::clearMessageBoxLog();
    }
    void TearDown() override
    {
        currentLog = nullptr;
        scripted = nullptr;
    }

    std::vector<std::string> boxes() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < tvplat::messageBoxCount(); ++i) {
            const tvplat::MessageBoxRecord box = tvplat::messageBoxAt(i);
            EXPECT_STREQ(box.caption, "Error");
            texts.push_back(box.text);
        }
        return texts;
    }

    Log log;
    ScriptedDirect3D direct3d;
};

// Field by field: the record has padding bytes, which copies need not keep.
bool samePresentParameters(const D3DPRESENT_PARAMETERS& a, const D3DPRESENT_PARAMETERS& b)
{
    return a.BackBufferWidth == b.BackBufferWidth && a.BackBufferHeight == b.BackBufferHeight &&
           a.BackBufferFormat == b.BackBufferFormat && a.BackBufferCount == b.BackBufferCount &&
           a.MultiSampleType == b.MultiSampleType && a.MultiSampleQuality == b.MultiSampleQuality &&
           a.SwapEffect == b.SwapEffect && a.hDeviceWindow == b.hDeviceWindow && a.Windowed == b.Windowed &&
           a.EnableAutoDepthStencil == b.EnableAutoDepthStencil &&
           a.AutoDepthStencilFormat == b.AutoDepthStencilFormat && a.Flags == b.Flags &&
           a.FullScreen_RefreshRateInHz == b.FullScreen_RefreshRateInHz &&
           a.PresentationInterval == b.PresentationInterval;
}

}  // namespace

TEST_F(GraphicsDeviceSetup, FallsBackThroughTheFourAttemptsInOrder)
{
    struct Case {
        int succeedOn;
        const char* description;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {1, "HAL, Hardware Vertex Processing (Pure Device)", {}},
        {2, "HAL, Hardware Vertex Processing", {}},
        {3, "HAL, Software Vertex Processing", {}},
        {4, "REF, Software Vertex Processing", {resortingText}},
        {0, "", {resortingText, noDeviceText}},
    };
    const D3DDEVTYPE types[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_HAL, D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
    const DWORD flags[] = {0x50, 0x40, 0x20, 0x20};

    for (const Case& c : cases) {
        SCOPED_TRACE("succeeding attempt " + std::to_string(c.succeedOn));
        direct3d.attempts.clear();
        direct3d.succeedOn = c.succeedOn;
        tvplat::clearMessageBoxLog();

        GraphicsDevice graphics(testWindow, false, 1024, 768, createScripted);

        EXPECT_EQ(direct3d.sdkVersion, 32u);
        EXPECT_EQ(graphics.description(), c.description);
        EXPECT_EQ(graphics.device(), c.succeedOn ? static_cast<IDirect3DDevice9*>(&direct3d.device) : nullptr);
        EXPECT_EQ(boxes(), c.boxes);
        const size_t expectedAttempts = c.succeedOn ? c.succeedOn : 4;
        ASSERT_EQ(direct3d.attempts.size(), expectedAttempts);
        for (size_t i = 0; i < expectedAttempts; ++i) {
            EXPECT_EQ(direct3d.attempts[i].adapter, 0u);
            EXPECT_EQ(direct3d.attempts[i].type, types[i]);
            EXPECT_EQ(direct3d.attempts[i].flags, flags[i]);
            EXPECT_EQ(direct3d.attempts[i].window, testWindow);
            // Every attempt gets the same parameters, whatever a failed one
            // did to its record.
            EXPECT_TRUE(samePresentParameters(direct3d.attempts[i].parameters, direct3d.attempts[0].parameters));
        }
    }
}

TEST_F(GraphicsDeviceSetup, PresentParametersForWindowedAndFullScreen)
{
    direct3d.succeedOn = 1;
    {
        GraphicsDevice windowed(testWindow, false, 640, 480, createScripted);
        ASSERT_EQ(direct3d.attempts.size(), 1u);
        const D3DPRESENT_PARAMETERS& p = direct3d.attempts[0].parameters;
        // Windowed: the back buffer takes the client area and the display
        // format; the size arguments are not used.
        EXPECT_EQ(p.BackBufferWidth, 0u);
        EXPECT_EQ(p.BackBufferHeight, 0u);
        EXPECT_EQ(p.BackBufferFormat, D3DFMT_UNKNOWN);
        EXPECT_EQ(p.BackBufferCount, 2u);
        EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
        EXPECT_EQ(p.MultiSampleQuality, 0u);
        EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_FLIP);
        EXPECT_EQ(p.hDeviceWindow, testWindow);
        EXPECT_EQ(p.Windowed, TRUE);
        EXPECT_EQ(p.EnableAutoDepthStencil, TRUE);
        EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
        EXPECT_EQ(p.Flags, 0u);
        EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
        EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
        EXPECT_EQ(direct3d.displayModeReads, 0);
    }

    direct3d.attempts.clear();
    GraphicsDevice fullScreen(testWindow, true, 640, 480, createScripted);
    ASSERT_EQ(direct3d.attempts.size(), 1u);
    const D3DPRESENT_PARAMETERS& p = direct3d.attempts[0].parameters;
    EXPECT_EQ(direct3d.displayModeReads, 1);
    EXPECT_EQ(p.BackBufferWidth, 640u);
    EXPECT_EQ(p.BackBufferHeight, 480u);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.Windowed, FALSE);
    EXPECT_EQ(p.BackBufferCount, 2u);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_FLIP);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
}

TEST_F(GraphicsDeviceSetup, ReleasesDeviceThenDirect3DOnce)
{
    direct3d.succeedOn = 2;
    {
        GraphicsDevice graphics(testWindow, false, 1024, 768, createScripted);
        EXPECT_TRUE(log.events.empty());
    }
    EXPECT_EQ(log.events, (std::vector<std::string>{"device released", "direct3d released"}));

    // Without a device only the interface is released; the pointer a failed
    // attempt left behind is never touched.
    log.events.clear();
    direct3d.succeedOn = 0;
    {
        GraphicsDevice graphics(testWindow, false, 1024, 768, createScripted);
        EXPECT_EQ(graphics.device(), nullptr);
    }
    EXPECT_EQ(log.events, (std::vector<std::string>{"direct3d released"}));
}

TEST_F(GraphicsDeviceSetup, NoDirect3DIsATotalFailure)
{
    GraphicsDevice graphics(testWindow, false, 1024, 768, createNothing);
    EXPECT_EQ(graphics.device(), nullptr);
    EXPECT_EQ(graphics.description(), "");
    EXPECT_EQ(boxes(), std::vector<std::string>{noDeviceText});
}

// The real layer on this machine: a software renderer is the reference
// device, after one message box; a hardware one is a HAL device.
TEST_F(GraphicsDeviceSetup, RealDeviceOnThisMachine)
{
    MainWindow window(GetModuleHandleA(NULL), "Tarnvale", 1024, 768);
    ASSERT_NE(window.handle(), nullptr) << tvplat::lastPlatformError();
    tvplat::clearMessageBoxLog();

    GraphicsDevice graphics(window.handle(), false, 1024, 768);
    ASSERT_NE(graphics.device(), nullptr);

    const std::string renderer = tvd3d9::rendererName(graphics.device());
    const bool software = renderer.find("llvmpipe") != std::string::npos ||
                          renderer.find("softpipe") != std::string::npos ||
                          renderer.find("Software") != std::string::npos;
    if (software) {
        EXPECT_EQ(graphics.description(), "REF, Software Vertex Processing");
        EXPECT_EQ(boxes(), std::vector<std::string>{resortingText});
    } else {
        EXPECT_EQ(graphics.description().rfind("HAL, ", 0), 0u) << graphics.description();
        EXPECT_TRUE(boxes().empty());
    }

    // The back buffer took the client area's size.
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(graphics.device()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc = {};
    backBuffer->GetDesc(&desc);
    backBuffer->Release();
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 768u);
}
