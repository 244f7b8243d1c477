// IDirect3DSurface9 in its three forms:
//  * a level of a texture: its reference count is the texture's (AddRef and
//    Release go to the container, as with Direct3D 9 sub-resources) and it
//    locks the texture level;
//  * the back buffer: owned by the device; while the application holds
//    references to it, it holds one on the device;
//  * an offscreen plain surface: system memory the application locks, and
//    the destination of GetRenderTargetData.
//
// Its reference counting is not DeviceChild's: a texture level counts on its
// container and the back buffer belongs to the device, and no surface is
// ever bound to the device.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <memory>

class DeviceServices;
class Texture9;

class Surface9 : public IDirect3DSurface9 {
public:
    enum class Kind { TextureLevel, BackBuffer, Offscreen };

    Surface9(Texture9* container, UINT level);
    Surface9(DeviceServices* device, Kind kind, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool, DWORD usage);
    ~Surface9() override;

    // Creates an offscreen plain surface; E_OUTOFMEMORY when its memory
    // cannot be had.
    static HRESULT createOffscreen(DeviceServices* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                   Surface9** surface);

    Kind kind() const { return surfaceKind; }
    Texture9* container() const { return texture; }
    UINT level() const { return levelIndex; }
    bool isLocked() const;
    // Memory GetRenderTargetData writes: width x height 32-bit pixels with
    // the given pitch; null when the surface cannot receive them.
    uint8_t* destinationMemory(UINT& pitch);

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    // IDirect3DResource9
    HRESULT WINAPI GetDevice(IDirect3DDevice9** ppDevice) override;
    DWORD WINAPI SetPriority(DWORD PriorityNew) override;
    DWORD WINAPI GetPriority() override;
    void WINAPI PreLoad() override;
    D3DRESOURCETYPE WINAPI GetType() override;
    // IDirect3DSurface9
    HRESULT WINAPI GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT WINAPI LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT WINAPI UnlockRect() override;

private:
    Surface9(const Surface9&) = delete;
    Surface9& operator=(const Surface9&) = delete;

    Kind surfaceKind;
    DeviceServices* device;
    Texture9* texture = nullptr;
    UINT levelIndex = 0;
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    DWORD usage = 0;
    ULONG references = 0;
    DWORD priority = 0;
    bool locked = false;
    std::unique_ptr<uint8_t[]> memory;
};
