// IDirect3D9: the one adapter and device creation. D3DDEVTYPE_HAL is a
// hardware GL renderer on the window; D3DDEVTYPE_REF is Mesa's software
// rasteriser, whatever the display offers.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <memory>

class GlContext;

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

    // A HAL attempt that finds llvmpipe with OpenGL 4.5 core on the window
    // leaves its context here, and the REF attempt that follows on the same
    // window (by SDL's window id, never reused) takes it rather than making
    // another.
    void keepSoftwareWindowContext(uint32_t windowId, std::unique_ptr<GlContext> context);
    std::unique_ptr<GlContext> takeSoftwareWindowContext(uint32_t windowId);

private:
    ~Direct3D9() override;

    ULONG references = 1;
    bool hardwareKnownMissing = false;  // a HAL attempt found no hardware renderer
    std::unique_ptr<GlContext> spareContext;
    uint32_t spareWindowId = 0;
};
