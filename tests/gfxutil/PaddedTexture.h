// A texture in plain memory for the image-loading tests: every level is a
// block of rows with a padded pitch, so a loader that ignores the pitch
// shows up.
#pragma once

#include <d3d9.h>

#include <vector>

class TextureOnlyDevice;

class PaddedTexture final : public IDirect3DTexture9 {
public:
    // Bytes added to each row beyond width * 4.
    static constexpr int rowPadding = 12;

    PaddedTexture(TextureOnlyDevice* device, UINT width, UINT height, UINT levels);

    struct LevelData {
        UINT width;
        UINT height;
        std::vector<unsigned char> bytes;  // height rows of pitch() bytes
        int locks = 0;
        int unlocks = 0;
        bool locked = false;
        int pitch() const { return static_cast<int>(width) * 4 + rowPadding; }
        // The texel at (x, y) as A8R8G8B8 memory holds it: B, G, R, A.
        const unsigned char* texel(UINT x, UINT y) const { return &bytes[y * pitch() + x * 4]; }
    };
    const std::vector<LevelData>& levels() const { return levelData; }

    // Makes LockRect of this level fail (-1: none).
    void failLockOfLevel(int level) { failingLevel = level; }

    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    HRESULT WINAPI GetDevice(IDirect3DDevice9** ppDevice) override;
    DWORD WINAPI SetPriority(DWORD) override { return 0; }
    DWORD WINAPI GetPriority() override { return 0; }
    void WINAPI PreLoad() override {}
    D3DRESOURCETYPE WINAPI GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD WINAPI SetLOD(DWORD) override { return 0; }
    DWORD WINAPI GetLOD() override { return 0; }
    DWORD WINAPI GetLevelCount() override { return static_cast<DWORD>(levelData.size()); }
    HRESULT WINAPI GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT WINAPI GetSurfaceLevel(UINT, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT WINAPI LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT WINAPI UnlockRect(UINT Level) override;

private:
    ~PaddedTexture() override;

    TextureOnlyDevice* device;
    ULONG references = 1;
    std::vector<LevelData> levelData;
    int failingLevel = -1;
};
