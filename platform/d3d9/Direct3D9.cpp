#include "Direct3D9.h"

#include "Device9.h"
#include "FormatTable.h"

#include <tarnvale_d3d9.h>
#include <tarnvale_platform.h>

#include <SDL.h>


// Interface identifiers, as the Windows SDK defines them.
const IID IID_IDirect3D9 = {0x81bdcbca, 0x64d4, 0x426d, {0xae, 0x8d, 0xad, 0x01, 0x47, 0xf4, 0x27, 0x5c}};
const IID IID_IDirect3DDevice9 = {0xd0223b96, 0xbf7a, 0x43fd, {0x92, 0xbd, 0xa4, 0x3b, 0x0d, 0x82, 0xb9, 0xeb}};
const IID IID_IDirect3DResource9 = {0x05eec05d, 0x8f7d, 0x4362, {0xb9, 0x99, 0xd1, 0xba, 0xf3, 0x57, 0xc7, 0x04}};
const IID IID_IDirect3DBaseTexture9 = {0x580ca87e, 0x1d3c, 0x4d54, {0x99, 0x1d, 0xb7, 0xd3, 0xe3, 0xc2, 0x98, 0xce}};
const IID IID_IDirect3DTexture9 = {0x85c31227, 0x3de5, 0x4f00, {0x9b, 0x3a, 0xf1, 0x1a, 0xc3, 0x8c, 0x18, 0xb5}};
const IID IID_IDirect3DSurface9 = {0x0cfbaf3a, 0x9ff6, 0x429a, {0x99, 0xb3, 0xa2, 0x79, 0x6a, 0xf8, 0xb8, 0x9b}};
const IID IID_IDirect3DVertexBuffer9 = {0xb64bb1b5, 0xfd70, 0x4df6, {0xbf, 0x91, 0x19, 0xd0, 0xa1, 0x24, 0x55, 0xe3}};
const IID IID_IDirect3DVertexDeclaration9 = {0xdd13c59c, 0x36fa, 0x4098, {0xa8, 0xfb, 0xc7, 0xed, 0x39, 0xdc, 0x85, 0x46}};
const IID IID_IDirect3DVertexShader9 = {0xefc5557e, 0x6265, 0x4613, {0x8a, 0x94, 0x43, 0x85, 0x78, 0x89, 0xeb, 0x36}};
const IID IID_IDirect3DPixelShader9 = {0x6d3bdbdc, 0x5b02, 0x4415, {0xb8, 0x52, 0xce, 0x5e, 0x8b, 0xcc, 0xb2, 0x89}};

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion)
{
    if (SDKVersion != D3D_SDK_VERSION) return nullptr;
    return new Direct3D9();
}

HRESULT WINAPI Direct3D9::QueryInterface(REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3D9) {
        *ppvObj = static_cast<IDirect3D9*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI Direct3D9::AddRef()
{
    return ++references;
}

Direct3D9::~Direct3D9() = default;

void Direct3D9::keepSoftwareWindowContext(uint32_t windowId, std::unique_ptr<GlContext> context)
{
    spareContext = std::move(context);
    spareWindowId = windowId;
}

std::unique_ptr<GlContext> Direct3D9::takeSoftwareWindowContext(uint32_t windowId)
{
    if (spareWindowId != windowId) return nullptr;
    spareWindowId = 0;
    return std::move(spareContext);
}

ULONG WINAPI Direct3D9::Release()
{
    if (references == 0) return 0;
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

UINT WINAPI Direct3D9::GetAdapterCount()
{
    return 1;
}

D3DDISPLAYMODE Direct3D9::displayMode()
{
    D3DDISPLAYMODE mode = {1024, 768, 60, D3DFMT_X8R8G8B8};
    // Video may not be up yet (no window opened); bring it up for the
    // question only, keeping SDL's subsystem count balanced.
    const bool wasUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (!wasUp && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return mode;
    SDL_DisplayMode desktop;
    if (SDL_GetNumVideoDisplays() > 0 && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        mode.Width = static_cast<UINT>(desktop.w);
        mode.Height = static_cast<UINT>(desktop.h);
        mode.RefreshRate = desktop.refresh_rate > 0 ? static_cast<UINT>(desktop.refresh_rate) : 60;
    }
    if (!wasUp) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return mode;
}

HRESULT WINAPI Direct3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode)
{
    if (Adapter != D3DADAPTER_DEFAULT || pMode == nullptr) return D3DERR_INVALIDCALL;
    *pMode = displayMode();
    return D3D_OK;
}

namespace {

// Exactly one vertex-processing kind; a pure device needs hardware vertex
// processing.
bool validBehavior(DWORD flags)
{
    const DWORD processing = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return false;
    return !(flags & D3DCREATE_PUREDEVICE) || processing == D3DCREATE_HARDWARE_VERTEXPROCESSING;
}

// D3D_OK for present parameters this layer can honour, else what Direct3D 9
// answers for them.
HRESULT checkPresentParameters(const D3DPRESENT_PARAMETERS& pp)
{
    if (pp.SwapEffect != D3DSWAPEFFECT_DISCARD && pp.SwapEffect != D3DSWAPEFFECT_FLIP &&
        pp.SwapEffect != D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (pp.BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (pp.SwapEffect == D3DSWAPEFFECT_COPY && pp.BackBufferCount > 1) return D3DERR_INVALIDCALL;
    if (pp.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (pp.EnableAutoDepthStencil && !FormatTable::isDepthStencil(pp.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    if (pp.Windowed) {
        if (pp.BackBufferFormat != D3DFMT_UNKNOWN && !FormatTable::isRenderTargetColor(pp.BackBufferFormat))
            return D3DERR_NOTAVAILABLE;
    } else {
        if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0 || pp.BackBufferFormat == D3DFMT_UNKNOWN)
            return D3DERR_INVALIDCALL;
        if (!FormatTable::isRenderTargetColor(pp.BackBufferFormat)) return D3DERR_NOTAVAILABLE;
    }
    switch (pp.PresentationInterval) {
    case D3DPRESENT_INTERVAL_DEFAULT:
    case D3DPRESENT_INTERVAL_ONE:
    case D3DPRESENT_INTERVAL_TWO:
    case static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE):
        return D3D_OK;
    default:
        return D3DERR_INVALIDCALL;
    }
}

// The parameters with what the runtime chooses filled in: one back buffer,
// X8R8G8B8, and a windowed back buffer of the window's client size.
D3DPRESENT_PARAMETERS completedParameters(const D3DPRESENT_PARAMETERS& pp, HWND window, SDL_Window* sdlWindow)
{
    D3DPRESENT_PARAMETERS parameters = pp;
    if (parameters.BackBufferCount == 0) parameters.BackBufferCount = 1;
    if (parameters.BackBufferFormat == D3DFMT_UNKNOWN) parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (parameters.Windowed && (parameters.BackBufferWidth == 0 || parameters.BackBufferHeight == 0)) {
        int width = 0;
        int height = 0;
        SDL_GL_GetDrawableSize(sdlWindow, &width, &height);
        if (width <= 0 || height <= 0) SDL_GetWindowSize(sdlWindow, &width, &height);
        if (parameters.BackBufferWidth == 0) parameters.BackBufferWidth = static_cast<UINT>(width > 0 ? width : 1);
        if (parameters.BackBufferHeight == 0) parameters.BackBufferHeight = static_cast<UINT>(height > 0 ? height : 1);
    }
    parameters.hDeviceWindow = window;
    return parameters;
}

}  // namespace

HRESULT WINAPI Direct3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                       D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** ppReturnedDeviceInterface)
{
    const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::DeviceCreation);
    if (ppReturnedDeviceInterface == nullptr) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (Adapter != D3DADAPTER_DEFAULT || pp == nullptr || !validBehavior(BehaviorFlags)) return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL && DeviceType != D3DDEVTYPE_REF)
        return DeviceType == D3DDEVTYPE_NULLREF ? D3DERR_NOTAVAILABLE : D3DERR_INVALIDCALL;
    const HRESULT checked = checkPresentParameters(*pp);
    if (FAILED(checked)) return checked;

    const HWND window = pp->hDeviceWindow != nullptr ? pp->hDeviceWindow : hFocusWindow;
    SDL_Window* sdlWindow = tvplat::sdlWindow(window);
    if (sdlWindow == nullptr) return D3DERR_INVALIDCALL;

    if (tvplat::environmentFlag("TARNVALE_D3D9_FORCE_NO_DEVICE")) return D3DERR_NOTAVAILABLE;
    if (DeviceType == D3DDEVTYPE_HAL && (hardwareKnownMissing || tvplat::environmentFlag("TARNVALE_D3D9_FORCE_NO_HAL")))
        return D3DERR_NOTAVAILABLE;

    const D3DPRESENT_PARAMETERS parameters = completedParameters(*pp, window, sdlWindow);
    Device9* device = nullptr;
    const HRESULT hr = Device9::create(this, DeviceType, BehaviorFlags, window, sdlWindow, parameters, &device);
    if (FAILED(hr)) {
        if (DeviceType == D3DDEVTYPE_HAL && hr == D3DERR_NOTAVAILABLE) hardwareKnownMissing = true;
        return hr;
    }
    // The runtime fills in what it chose, as Direct3D 9 does.
    pp->BackBufferWidth = parameters.BackBufferWidth;
    pp->BackBufferHeight = parameters.BackBufferHeight;
    pp->BackBufferFormat = parameters.BackBufferFormat;
    pp->BackBufferCount = parameters.BackBufferCount;
    *ppReturnedDeviceInterface = device;
    return D3D_OK;
}
