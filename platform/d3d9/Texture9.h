// IDirect3DTexture9 over a GL texture with immutable storage.
//
// Lockable textures (managed, system-memory, scratch, dynamic) keep a copy
// of each level in system memory, allocated at the level's first lock;
// UnlockRect uploads the locked rectangle of that level. Managed and default
// pool textures have a GL texture; system-memory and scratch ones do not
// and cannot be set on the device.
//
// A managed texture's large levels (an image loaded once) drop their copy
// after the upload, so the image is not held twice; a later lock reads the
// level back from GL.
//
// A new texture's levels hold zeros. GL's storage gets each level's contents
// from one write of the whole level: its first upload sends all of it (zeros
// around the locked rectangle), and levels still unwritten when the texture
// is first set on the device are sent zeros then. GL is never asked to
// clear storage that is written afterwards: a driver may lose such a write
// (one did, for large buffers).
#pragma once

#include "DeviceChild.h"
#include "FormatTable.h"
#include "StagingBlock.h"
#include "Surface9.h"

#include <d3d9.h>
#include "GlApi.h"

#include <memory>
#include <vector>

class Texture9 final : public DeviceChildOf<IDirect3DTexture9, IID_IDirect3DResource9, IID_IDirect3DBaseTexture9,
                                             IID_IDirect3DTexture9> {
public:
    static HRESULT create(DeviceServices* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, Texture9** texture);

    GLuint glName() const { return name; }
    D3DPOOL pool() const { return memoryPool; }
    // The system-memory copy of a level, made if needed (from GL when the
    // level was uploaded and its copy dropped, else zeros); null when the
    // texture is not lockable, memory is short or GL cannot be reached.
    uint8_t* levelMemory(UINT level);
    // Managed levels of this size and more drop their copy after an upload.
    static constexpr size_t copyKeptBelow = 64 * 1024;
    UINT levelPitch(UINT level) const;
    bool isLevelLocked(UINT level) const;
    // Gives every level of GL's storage its contents before anything may
    // sample it (the device calls it when the texture is set on a stage).
    void defineContents()
    {
        if (!allDefined) sendZeros();
    }

    // IDirect3DResource9
    DWORD WINAPI SetPriority(DWORD PriorityNew) override;
    DWORD WINAPI GetPriority() override;
    void WINAPI PreLoad() override;
    D3DRESOURCETYPE WINAPI GetType() override;
    // IDirect3DBaseTexture9
    DWORD WINAPI SetLOD(DWORD LODNew) override;
    DWORD WINAPI GetLOD() override;
    DWORD WINAPI GetLevelCount() override;
    // IDirect3DTexture9
    HRESULT WINAPI GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT WINAPI GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT WINAPI LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT WINAPI UnlockRect(UINT Level) override;

private:
    struct Level {
        UINT width = 0;
        UINT height = 0;
        StagedCopy memory;  // large managed levels use the device's staging block when free
        bool uploaded = false;  // GL holds contents written by an upload
        bool defined = false;   // GL holds the level's contents (written whole once)
        bool locked = false;
        RECT lockedRect = {};
        DWORD lockFlags = 0;
        std::unique_ptr<Surface9> surface;
    };

    Texture9(DeviceServices* device, const GlFormat& format, DWORD usage, D3DPOOL pool);
    ~Texture9() override;
    bool lockable() const;
    // Whether a level lets go of its copy after an upload (large levels of
    // managed textures).
    bool dropsCopy(const Level& l) const;
    // Sends the rectangle of a level's copy to GL (the whole level the first
    // time); false when GL cannot be reached (or the texture has no GL side).
    bool upload(UINT level, const RECT& rect);
    // Sends a rectangle of a level from `image`, the whole level in rows of
    // levelPitch bytes.
    void send(UINT level, const RECT& rect, const uint8_t* image);
    void sendZeros();

    const GlFormat& glFormat;
    DWORD usage;
    D3DPOOL memoryPool;
    std::vector<Level> levels;
    UINT reportedLevels = 0;  // 1 for D3DUSAGE_AUTOGENMIPMAP, else levels.size()
    GLuint name = 0;
    bool allDefined = false;  // every level of GL's storage has its contents
    DWORD lod = 0;
    DWORD priority = 0;
};
