#include "Texture9.h"

#include "GlObjects.h"
#include "GlStateTracker.h"

#include <cstring>
#include <new>

namespace {

// Above this a texture is refused as too large for video memory.
constexpr uint64_t maxTextureBytes = uint64_t{1} << 30;

UINT fullChain(UINT width, UINT height)
{
    UINT levels = 1;
    UINT size = width > height ? width : height;
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

}  // namespace

Texture9::Texture9(DeviceServices* device, const GlFormat& format, DWORD textureUsage, D3DPOOL pool)
    : DeviceChildOf(device), glFormat(format), usage(textureUsage), memoryPool(pool)
{
}

Texture9::~Texture9()
{
    for (Level& l : levels) l.memory.drop(owner()->staging());
    if (name != 0 && owner()->makeCurrent()) {
        glDeleteTextures(1, &name);
        owner()->tracker().forgetTexture(name);
    }
}

HRESULT Texture9::create(DeviceServices* device, UINT width, UINT height, UINT levelCount, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool, Texture9** texture)
{
    *texture = nullptr;
    const GlFormat* glFormat = FormatTable::texture(format);
    if (glFormat == nullptr || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    const DWORD knownUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_WRITEONLY;
    if (usage & ~knownUsage) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    const UINT limit = static_cast<UINT>(device->maxTextureSize());
    if (width > limit || height > limit) return D3DERR_INVALIDCALL;
    const UINT chain = fullChain(width, height);
    if (levelCount > chain) return D3DERR_INVALIDCALL;
    const bool autoGenerate = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    if (autoGenerate && levelCount > 1) return D3DERR_INVALIDCALL;
    const UINT levels = (levelCount == 0 || autoGenerate) ? chain : levelCount;

    uint64_t bytes = 0;
    for (UINT l = 0, w = width, h = height; l < levels; ++l, w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
        bytes += uint64_t{w} * h * glFormat->bytesPerPixel;
    const bool hasGl = pool == D3DPOOL_MANAGED || pool == D3DPOOL_DEFAULT;
    if (bytes > maxTextureBytes) return hasGl ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;

    Texture9* created = new (std::nothrow) Texture9(device, *glFormat, usage, pool);
    if (created == nullptr) return E_OUTOFMEMORY;
    created->levels.resize(levels);
    for (UINT l = 0, w = width, h = height; l < levels; ++l, w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) {
        created->levels[l].width = w;
        created->levels[l].height = h;
    }
    created->reportedLevels = autoGenerate ? 1 : levels;

    if (hasGl) {
        if (!device->makeCurrent()) {
            created->Release();
            return D3DERR_DEVICELOST;
        }
        const bool made = createdWithoutGlError([&] {
            created->name = GlObjects::createTexture(device->tracker(), *glFormat, levels, width, height);
        });
        if (!made) {
            created->Release();
            return D3DERR_OUTOFVIDEOMEMORY;
        }
    }
    *texture = created;
    return D3D_OK;
}

bool Texture9::dropsCopy(const Level& l) const
{
    return memoryPool == D3DPOOL_MANAGED && size_t{l.width} * l.height * glFormat.bytesPerPixel >= copyKeptBelow;
}

bool Texture9::lockable() const
{
    return memoryPool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
}

uint8_t* Texture9::levelMemory(UINT level)
{
    if (level >= levels.size() || !lockable()) return nullptr;
    Level& l = levels[level];
    if (l.memory.get() != nullptr) return l.memory.get();
    const size_t bytes = size_t{l.width} * l.height * glFormat.bytesPerPixel;
    if (l.uploaded && (name == 0 || !owner()->makeCurrent())) return nullptr;
    uint8_t* memory = l.memory.make(bytes, dropsCopy(l) ? &owner()->staging() : nullptr);
    if (memory == nullptr) return nullptr;
    if (l.uploaded) {
        // The copy was dropped after an upload: read the level back.
        GlObjects::readTexture(owner()->tracker(), name, glFormat, level, l.width, l.height, memory);
    } else {
        std::memset(memory, 0, bytes);
    }
    return memory;
}

UINT Texture9::levelPitch(UINT level) const
{
    return level < levels.size() ? levels[level].width * glFormat.bytesPerPixel : 0;
}

bool Texture9::isLevelLocked(UINT level) const
{
    return level < levels.size() && levels[level].locked;
}

void Texture9::send(UINT level, const RECT& rect, const uint8_t* image)
{
    GlObjects::textureData(owner()->tracker(), name, glFormat, level, rect, image, levels[level].width);
}

bool Texture9::upload(UINT level, const RECT& rect)
{
    if (name == 0 || !owner()->makeCurrent()) return false;
    Level& l = levels[level];
    // The first upload of a level sends the whole copy: zeros around the rectangle.
    const RECT whole = {0, 0, static_cast<LONG>(l.width), static_cast<LONG>(l.height)};
    send(level, l.defined ? rect : whole, l.memory.get());
    l.defined = true;
    if ((usage & D3DUSAGE_AUTOGENMIPMAP) && level == 0 && levels.size() > 1) {
        GlObjects::generateMipmaps(owner()->tracker(), name);
        for (Level& generated : levels) generated.defined = true;
    }
    return true;
}

void Texture9::sendZeros()
{
    std::unique_ptr<uint8_t[]> zeros;
    for (UINT level = 0; level < levels.size(); ++level) {
        Level& l = levels[level];
        if (l.defined) continue;
        if (!zeros) {
            if (name == 0 || !owner()->makeCurrent()) return;
            // Level 0 is the largest: one block of zeros serves every level.
            const size_t bytes = size_t{levels[0].width} * levels[0].height * glFormat.bytesPerPixel;
            zeros.reset(new (std::nothrow) uint8_t[bytes]());
            if (!zeros) return;  // tried again when the texture is next set
        }
        send(level, RECT{0, 0, static_cast<LONG>(l.width), static_cast<LONG>(l.height)}, zeros.get());
        l.defined = true;
    }
    allDefined = true;
}

DWORD WINAPI Texture9::SetPriority(DWORD PriorityNew)
{
    if (memoryPool != D3DPOOL_MANAGED) return 0;
    const DWORD previous = priority;
    priority = PriorityNew;
    return previous;
}

DWORD WINAPI Texture9::GetPriority()
{
    return priority;
}

void WINAPI Texture9::PreLoad() {}

D3DRESOURCETYPE WINAPI Texture9::GetType()
{
    return D3DRTYPE_TEXTURE;
}

DWORD WINAPI Texture9::SetLOD(DWORD LODNew)
{
    // Only managed textures have a level of detail to set; the value is
    // kept and reported, sampling uses D3DSAMP_MAXMIPLEVEL.
    if (memoryPool != D3DPOOL_MANAGED) return 0;
    const DWORD previous = lod;
    lod = LODNew < reportedLevels ? LODNew : reportedLevels - 1;
    return previous;
}

DWORD WINAPI Texture9::GetLOD()
{
    return lod;
}

DWORD WINAPI Texture9::GetLevelCount()
{
    return reportedLevels;
}

HRESULT WINAPI Texture9::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc)
{
    if (pDesc == nullptr || Level >= reportedLevels) return D3DERR_INVALIDCALL;
    const struct Level& l = levels[Level];
    *pDesc = D3DSURFACE_DESC{glFormat.format, D3DRTYPE_SURFACE, usage, memoryPool, D3DMULTISAMPLE_NONE, 0, l.width,
                             l.height};
    return D3D_OK;
}

HRESULT WINAPI Texture9::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel)
{
    if (ppSurfaceLevel == nullptr) return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = nullptr;
    if (Level >= reportedLevels) return D3DERR_INVALIDCALL;
    struct Level& l = levels[Level];
    if (!l.surface) l.surface = std::make_unique<Surface9>(this, Level);
    l.surface->AddRef();
    *ppSurfaceLevel = l.surface.get();
    return D3D_OK;
}

HRESULT WINAPI Texture9::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags)
{
    if (pLockedRect == nullptr || Level >= reportedLevels || !lockable()) return D3DERR_INVALIDCALL;
    struct Level& l = levels[Level];
    if (l.locked) return D3DERR_INVALIDCALL;
    RECT area = {0, 0, static_cast<LONG>(l.width), static_cast<LONG>(l.height)};
    if (pRect != nullptr) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->left >= pRect->right || pRect->top >= pRect->bottom ||
            pRect->right > static_cast<LONG>(l.width) || pRect->bottom > static_cast<LONG>(l.height))
            return D3DERR_INVALIDCALL;
        area = *pRect;
    }
    uint8_t* memory = levelMemory(Level);
    if (memory == nullptr) return E_OUTOFMEMORY;
    const UINT pitch = levelPitch(Level);
    pLockedRect->Pitch = static_cast<INT>(pitch);
    pLockedRect->pBits =
        memory + size_t{static_cast<UINT>(area.top)} * pitch + size_t{static_cast<UINT>(area.left)} * glFormat.bytesPerPixel;
    l.locked = true;
    l.lockedRect = area;
    l.lockFlags = Flags;
    return D3D_OK;
}

HRESULT WINAPI Texture9::UnlockRect(UINT Level)
{
    if (Level >= reportedLevels || !levels[Level].locked) return D3DERR_INVALIDCALL;
    struct Level& l = levels[Level];
    l.locked = false;
    if (!(l.lockFlags & D3DLOCK_READONLY) && upload(Level, l.lockedRect)) {
        l.uploaded = true;
        // GL has the level now: a large managed one lets go of its copy.
        if (dropsCopy(l)) l.memory.drop(owner()->staging());
    }
    return D3D_OK;
}
