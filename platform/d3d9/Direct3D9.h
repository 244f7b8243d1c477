// IDirect3D9: the one adapter (the GL implementation behind SDL) and device
// creation. D3DDEVTYPE_HAL is a hardware GL renderer; D3DDEVTYPE_REF takes
// any GL 4.5 core context, Mesa's software rasterisers included.
#pragma once

#include <d3d9.h>

struct SDL_Window;

class Direct3D9 : public IDirect3D9 {
public:
    Direct3D9() = default;

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    // IDirect3D9
    UINT WINAPI GetAdapterCount() override;
    HRESULT WINAPI GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT WINAPI CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                D3DPRESENT_PARAMETERS* pPresentationParameters,
                                IDirect3DDevice9** ppReturnedDeviceInterface) override;

    // The desktop's mode, or 1024 x 768 X8R8G8B8 when there is no display.
    static D3DDISPLAYMODE displayMode();

    // A GL context that a HAL attempt made and found to run on a software
    // renderer. It is kept for the REF attempt that follows on the same
    // window, so that start-up makes one context, not two (each costs time
    // and a window-sized colour and depth buffer). Keeping one replaces any
    // spare kept before; taking it hands over ownership, and gives null
    // when the spare was made for another window.
    void keepSpareContext(void* context, HWND window, SDL_Window* sdlWindow);
    void* takeSpareContext(HWND window, SDL_Window* sdlWindow);

private:
    ~Direct3D9() override;

    ULONG references = 1;
    bool hardwareKnownMissing = false;  // a HAL attempt found a software renderer
    void* spareContext = nullptr;
    HWND spareWindow = nullptr;
    SDL_Window* spareSdlWindow = nullptr;
};
