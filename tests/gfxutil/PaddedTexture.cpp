#include "PaddedTexture.h"

#include "TextureOnlyDevice.h"

PaddedTexture::PaddedTexture(TextureOnlyDevice* device_, UINT width, UINT height, UINT levels) : device(device_)
{
    // Levels 0 asks for the whole chain down to 1 x 1.
    for (UINT i = 0; levels == 0 || i < levels; ++i) {
        LevelData level{width, height, {}};
        level.bytes.assign(static_cast<size_t>(level.pitch()) * height, 0xCD);
        levelData.push_back(level);
        if (width == 1 && height == 1) break;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    ++device->liveTextures;
}

PaddedTexture::~PaddedTexture() { --device->liveTextures; }

HRESULT WINAPI PaddedTexture::QueryInterface(REFIID, void** ppvObj)
{
    if (ppvObj) *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI PaddedTexture::AddRef() { return ++references; }

ULONG WINAPI PaddedTexture::Release()
{
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT WINAPI PaddedTexture::GetDevice(IDirect3DDevice9** ppDevice)
{
    *ppDevice = device;
    return D3D_OK;
}

HRESULT WINAPI PaddedTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    if (Level >= levelData.size() || !pDesc) return D3DERR_INVALIDCALL;
    *pDesc = D3DSURFACE_DESC{};
    pDesc->Format = D3DFMT_A8R8G8B8;
    pDesc->Type = D3DRTYPE_TEXTURE;
    pDesc->Pool = D3DPOOL_MANAGED;
    pDesc->Width = levelData[Level].width;
    pDesc->Height = levelData[Level].height;
    return D3D_OK;
}

HRESULT WINAPI PaddedTexture::GetSurfaceLevel(UINT, IDirect3DSurface9** ppSurfaceLevel)
{
    if (ppSurfaceLevel) *ppSurfaceLevel = nullptr;
    return E_NOTIMPL;
}

HRESULT WINAPI PaddedTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD)
{
    if (Level >= levelData.size() || !pLockedRect || pRect || levelData[Level].locked) return D3DERR_INVALIDCALL;
    if (static_cast<int>(Level) == failingLevel) return D3DERR_INVALIDCALL;
    LevelData& level = levelData[Level];
    level.locked = true;
    ++level.locks;
    pLockedRect->Pitch = level.pitch();
    pLockedRect->pBits = level.bytes.data();
    return D3D_OK;
}

HRESULT WINAPI PaddedTexture::UnlockRect(UINT Level)
{
    if (Level >= levelData.size() || !levelData[Level].locked) return D3DERR_INVALIDCALL;
    levelData[Level].locked = false;
    ++levelData[Level].unlocks;
    return D3D_OK;
}
