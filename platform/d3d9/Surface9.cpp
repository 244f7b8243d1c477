#include "Surface9.h"

#include "DeviceServices.h"
#include "FormatTable.h"
#include "Texture9.h"

#include <new>

Surface9::Surface9(Texture9* owner, UINT level)
    : surfaceKind(Kind::TextureLevel), device(owner->owner()), texture(owner), levelIndex(level)
{
}

Surface9::Surface9(DeviceServices* owner, Kind kind, UINT w, UINT h, D3DFORMAT f, D3DPOOL p, DWORD u)
    : surfaceKind(kind), device(owner), width(w), height(h), format(f), pool(p), usage(u)
{
    // An offscreen surface starts with its creator's reference and holds the
    // device; the back buffer starts unreferenced, owned by the device.
    if (kind == Kind::Offscreen) {
        references = 1;
        device->comDevice()->AddRef();
    }
}

Surface9::~Surface9() = default;

HRESULT Surface9::createOffscreen(DeviceServices* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                  Surface9** surface)
{
    *surface = nullptr;
    if (width == 0 || height == 0 || !FormatTable::isRenderTargetColor(format)) return D3DERR_INVALIDCALL;
    if (pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    const uint64_t bytes = uint64_t{width} * height * 4;
    if (width > 16384 || height > 16384) return D3DERR_INVALIDCALL;
    std::unique_ptr<uint8_t[]> memory(new (std::nothrow) uint8_t[bytes]());
    if (!memory) return E_OUTOFMEMORY;
    Surface9* created = new Surface9(device, Kind::Offscreen, width, height, format, pool, 0);
    created->memory = std::move(memory);
    *surface = created;
    return D3D_OK;
}

bool Surface9::isLocked() const
{
    return surfaceKind == Kind::TextureLevel ? texture->isLevelLocked(levelIndex) : locked;
}

uint8_t* Surface9::destinationMemory(UINT& pitch)
{
    if (surfaceKind == Kind::TextureLevel) {
        pitch = texture->levelPitch(levelIndex);
        return texture->levelMemory(levelIndex);
    }
    if (surfaceKind != Kind::Offscreen) return nullptr;
    pitch = width * 4;
    return memory.get();
}

HRESULT WINAPI Surface9::QueryInterface(REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
        *ppvObj = static_cast<IDirect3DSurface9*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI Surface9::AddRef()
{
    switch (surfaceKind) {
    case Kind::TextureLevel:
        return texture->AddRef();
    case Kind::BackBuffer:
        if (references++ == 0) device->comDevice()->AddRef();
        return references;
    default:
        return ++references;
    }
}

ULONG WINAPI Surface9::Release()
{
    if (surfaceKind == Kind::TextureLevel) return texture->Release();
    if (references == 0) return 0;
    const ULONG left = --references;
    if (left == 0) {
        IDirect3DDevice9* const d = device->comDevice();
        if (surfaceKind == Kind::Offscreen) delete this;
        d->Release();
    }
    return left;
}

HRESULT WINAPI Surface9::GetDevice(IDirect3DDevice9** ppDevice)
{
    return device->handOutDevice(ppDevice);
}

DWORD WINAPI Surface9::SetPriority(DWORD PriorityNew)
{
    if (surfaceKind == Kind::TextureLevel) return texture->SetPriority(PriorityNew);
    const DWORD previous = priority;
    priority = PriorityNew;
    return previous;
}

DWORD WINAPI Surface9::GetPriority()
{
    return surfaceKind == Kind::TextureLevel ? texture->GetPriority() : priority;
}

void WINAPI Surface9::PreLoad() {}

D3DRESOURCETYPE WINAPI Surface9::GetType()
{
    return D3DRTYPE_SURFACE;
}

HRESULT WINAPI Surface9::GetDesc(D3DSURFACE_DESC* pDesc)
{
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    if (surfaceKind == Kind::TextureLevel) {
        const HRESULT hr = texture->GetLevelDesc(levelIndex, pDesc);
        return hr;
    }
    *pDesc = D3DSURFACE_DESC{format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, width, height};
    return D3D_OK;
}

HRESULT WINAPI Surface9::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    if (surfaceKind == Kind::TextureLevel) return texture->LockRect(levelIndex, pLockedRect, pRect, Flags);
    if (pLockedRect == nullptr) return D3DERR_INVALIDCALL;
    // The back buffer is not lockable (no D3DPRESENTFLAG_LOCKABLE_BACKBUFFER
    // support); read it with GetRenderTargetData.
    if (surfaceKind != Kind::Offscreen || locked) return D3DERR_INVALIDCALL;
    RECT area = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    if (pRect != nullptr) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->left >= pRect->right || pRect->top >= pRect->bottom ||
            pRect->right > static_cast<LONG>(width) || pRect->bottom > static_cast<LONG>(height))
            return D3DERR_INVALIDCALL;
        area = *pRect;
    }
    const UINT pitch = width * 4;
    pLockedRect->Pitch = static_cast<INT>(pitch);
    pLockedRect->pBits = memory.get() + size_t{static_cast<UINT>(area.top)} * pitch + size_t{static_cast<UINT>(area.left)} * 4;
    locked = true;
    return D3D_OK;
}

HRESULT WINAPI Surface9::UnlockRect()
{
    if (surfaceKind == Kind::TextureLevel) return texture->UnlockRect(levelIndex);
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    return D3D_OK;
}
