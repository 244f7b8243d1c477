#include "VertexBuffer9.h"

#include "GlObjects.h"
#include "GlStateTracker.h"

#include <tarnvale_platform.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// A hash of one vertex's bytes, eight at a time.
uint64_t hashVertex(const uint8_t* bytes, UINT size)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
    UINT i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    for (; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;
    return h ^ (h >> 29);
}

// The distinct vertices of a list of `count` vertices of `stride` bytes:
// the number of each vertex among them, and where each first occurs.
struct DistinctVertices {
    uint32_t count = 0;
    std::unique_ptr<uint32_t[]> indexOf;   // original -> distinct
    std::unique_ptr<uint32_t[]> sourceOf;  // distinct -> first original
};

// False when memory is short.
bool findDistinct(const uint8_t* base, UINT count, UINT stride, DistinctVertices& found)
{
    // Open addressing over the distinct vertices found so far; the table is
    // at least twice as large as the vertex count, so probes stay short.
    size_t tableSize = 1;
    while (tableSize < size_t{count} * 2) tableSize <<= 1;
    const uint32_t empty = UINT32_MAX;
    std::unique_ptr<uint32_t[]> table(new (std::nothrow) uint32_t[tableSize]);
    found.indexOf.reset(new (std::nothrow) uint32_t[count]);
    found.sourceOf.reset(new (std::nothrow) uint32_t[count]);
    if (!table || !found.indexOf || !found.sourceOf) return false;
    std::fill_n(table.get(), tableSize, empty);
    uint32_t distinct = 0;
    for (UINT i = 0; i < count; ++i) {
        const uint8_t* vertex = base + size_t{i} * stride;
        size_t slot = hashVertex(vertex, stride) & (tableSize - 1);
        for (;; slot = (slot + 1) & (tableSize - 1)) {
            const uint32_t seen = table[slot];
            if (seen == empty) {
                table[slot] = distinct;
                found.sourceOf[distinct] = i;
                found.indexOf[i] = distinct++;
                break;
            }
            if (std::memcmp(base + size_t{found.sourceOf[seen]} * stride, vertex, stride) == 0) {
                found.indexOf[i] = seen;
                break;
            }
        }
    }
    found.count = distinct;
    return true;
}

}  // namespace

VertexBuffer9::VertexBuffer9(DeviceServices* device, UINT bytes, DWORD bufferUsage, DWORD bufferFvf, D3DPOOL bufferPool)
    : DeviceChildOf(device), length(bytes), usage(bufferUsage), fvf(bufferFvf), pool(bufferPool)
{
}

VertexBuffer9::~VertexBuffer9()
{
    copy.drop(owner()->staging());
    dropShared();
    if (name != 0 && owner()->makeCurrent()) {
        glDeleteBuffers(1, &name);
        owner()->tracker().forgetBuffer(name);
    }
}

bool VertexBuffer9::sharingEnabled()
{
    static const bool enabled = !tvplat::environmentFlag("TARNVALE_NO_VERTEX_SHARING");
    return enabled;
}

const VertexBuffer9::SharedVertices* VertexBuffer9::shareOnFirstDraw(UINT offset, UINT stride)
{
    // Only large static buffers with contents, once per write, and never
    // while the application holds a lock.
    if (sharingTried || lockCount > 0 || onlyZeros) return nullptr;
    sharingTried = true;
    if (!dropsCopy() || !sharingEnabled()) return nullptr;
    if (!owner()->makeCurrent()) return nullptr;
    // The contents come back from GL once, into a copy that goes at once,
    // so the memory use stays what it was before the first draw (where
    // reading back would stall, the copy was kept for this and goes now).
    if (copy.get() == nullptr && !makeCopy()) return nullptr;
    const bool built = buildShared(copy.get(), offset, stride);
    copy.drop(owner()->staging());
    return built ? &shared : nullptr;
}

bool VertexBuffer9::buildShared(const uint8_t* contents, UINT offset, UINT stride)
{
    if (stride == 0 || offset >= length) return false;
    const UINT count = (length - offset) / stride;
    if (count < 3) return false;
    const uint8_t* const base = contents + offset;
    DistinctVertices found;
    if (!findDistinct(base, count, stride, found)) return false;
    // Worth a second buffer and an index list only when the vertex shader
    // runs at most half as often.
    const uint32_t distinct = found.count;
    if (distinct > count / 2) return false;

    const size_t vertexBytes = size_t{distinct} * stride;
    std::unique_ptr<uint8_t[]> vertices(new (std::nothrow) uint8_t[vertexBytes]);
    if (!vertices) return false;
    for (uint32_t d = 0; d < distinct; ++d)
        std::memcpy(vertices.get() + size_t{d} * stride, base + size_t{found.sourceOf[d]} * stride, stride);
    found.sourceOf.reset();

    // 16-bit indices where they reach every vertex: half the index bytes.
    const bool shortIndices = distinct <= 0x10000u;
    const UINT indexSize = shortIndices ? 2 : 4;
    const void* indexData = found.indexOf.get();
    std::unique_ptr<uint16_t[]> shortIndexList;
    if (shortIndices) {
        shortIndexList.reset(new (std::nothrow) uint16_t[count]);
        if (!shortIndexList) return false;
        for (UINT i = 0; i < count; ++i) shortIndexList[i] = static_cast<uint16_t>(found.indexOf[i]);
        indexData = shortIndexList.get();
    }

    GlStateTracker& tracker = owner()->tracker();
    GLuint names[2] = {};
    const bool made = createdWithoutGlError([&] {
        names[0] = GlObjects::createBuffer(tracker, GlObjects::BufferUse::Vertices, vertexBytes, vertices.get());
        names[1] = GlObjects::createBuffer(tracker, GlObjects::BufferUse::Indices, size_t{count} * indexSize, indexData);
    });
    owner()->tracker().countCall();
    owner()->tracker().countCall();
    if (!made) {
        glDeleteBuffers(2, names);
        tracker.forgetBuffer(names[0]);
        tracker.forgetBuffer(names[1]);
        return false;
    }
    shared = SharedVertices{names[0], names[1], GLenum(shortIndices ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT), indexSize,
                            offset, stride, count, DeviceChild::newSerial()};
    return true;
}

void VertexBuffer9::dropShared()
{
    if (shared.vertices != 0 && owner()->makeCurrent()) {
        const GLuint names[2] = {shared.vertices, shared.indices};
        glDeleteBuffers(2, names);
        owner()->tracker().forgetBuffer(names[0]);
        owner()->tracker().forgetBuffer(names[1]);
    }
    shared = SharedVertices{};
}

HRESULT VertexBuffer9::create(DeviceServices* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                              VertexBuffer9** buffer)
{
    *buffer = nullptr;
    if (length == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (length > maxLength) return D3DERR_OUTOFVIDEOMEMORY;
    if (!device->makeCurrent()) return D3DERR_DEVICELOST;

    VertexBuffer9* created = new VertexBuffer9(device, length, usage, fvf, pool);
    // Storage only: its contents come with the first upload or the first
    // binding, whichever is first.
    // Small buffers are the ones written again and again (a label's text),
    // whatever their usage says; large static ones are meshes, written once.
    const GlObjects::BufferUse use = (usage & D3DUSAGE_DYNAMIC) || length < copyKeptBelow
                                         ? GlObjects::BufferUse::UpdatedVertices
                                         : GlObjects::BufferUse::Vertices;
    const bool made = createdWithoutGlError(
        [&] { created->name = GlObjects::createBuffer(device->tracker(), use, length, nullptr); });
    if (!made) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *buffer = created;
    return D3D_OK;
}

bool VertexBuffer9::dropsCopy() const
{
    return length >= copyKeptBelow && !(usage & D3DUSAGE_DYNAMIC);
}

bool VertexBuffer9::makeCopy()
{
    if (copy.get() != nullptr) return true;
    if (!onlyZeros && !owner()->makeCurrent()) return false;
    uint8_t* memory = copy.make(length, dropsCopy() ? &owner()->staging() : nullptr);
    if (memory == nullptr) return false;
    if (onlyZeros) {
        std::memset(memory, 0, length);
    } else {
        GlObjects::readBuffer(owner()->tracker(), name, length, memory);
    }
    return true;
}

void VertexBuffer9::sendZeros()
{
    if (!owner()->makeCurrent()) return;
    std::unique_ptr<uint8_t[]> zeros(new (std::nothrow) uint8_t[length]());
    if (!zeros) return;  // tried again at the next binding
    GlObjects::bufferData(owner()->tracker(), name, 0, length, zeros.get());
    glDefined = true;
}

DWORD WINAPI VertexBuffer9::SetPriority(DWORD PriorityNew)
{
    if (pool != D3DPOOL_MANAGED) return 0;
    const DWORD previous = priority;
    priority = PriorityNew;
    return previous;
}

DWORD WINAPI VertexBuffer9::GetPriority()
{
    return priority;
}

void WINAPI VertexBuffer9::PreLoad() {}

D3DRESOURCETYPE WINAPI VertexBuffer9::GetType()
{
    return D3DRTYPE_VERTEXBUFFER;
}

HRESULT WINAPI VertexBuffer9::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags)
{
    if (ppbData == nullptr) return D3DERR_INVALIDCALL;
    *ppbData = nullptr;
    // Size 0 locks from the offset to the end.
    if (OffsetToLock > length) return D3DERR_INVALIDCALL;
    const UINT size = SizeToLock == 0 ? length - OffsetToLock : SizeToLock;
    if (size > length - OffsetToLock) return D3DERR_INVALIDCALL;
    if (!makeCopy()) return owner()->makeCurrent() ? E_OUTOFMEMORY : D3DERR_DEVICELOST;
    if (!(Flags & D3DLOCK_READONLY) && size > 0) {
        if (dirtyLow >= dirtyHigh) {
            dirtyLow = OffsetToLock;
            dirtyHigh = OffsetToLock + size;
        } else {
            if (OffsetToLock < dirtyLow) dirtyLow = OffsetToLock;
            if (OffsetToLock + size > dirtyHigh) dirtyHigh = OffsetToLock + size;
        }
    }
    ++lockCount;
    *ppbData = copy.get() + OffsetToLock;
    return D3D_OK;
}

HRESULT WINAPI VertexBuffer9::Unlock()
{
    if (lockCount == 0) return D3DERR_INVALIDCALL;
    if (--lockCount > 0 || dirtyLow >= dirtyHigh) return D3D_OK;
    // New contents: a shared form of the old ones is of no use, and the next
    // draw may build one again.
    dropShared();
    sharingTried = false;
    bool uploaded = false;
    if (owner()->makeCurrent()) {
        // The first upload sends the whole copy: zeros around what was written.
        if (!glDefined) {
            dirtyLow = 0;
            dirtyHigh = length;
        }
        GlObjects::bufferData(owner()->tracker(), name, dirtyLow, dirtyHigh - dirtyLow, copy.get() + dirtyLow);
        onlyZeros = false;
        glDefined = true;
        uploaded = true;
    }
    dirtyLow = dirtyHigh = 0;
    // GL has it all now: a large static buffer lets go of its copy.
    // Where reading GL's copy back stalls the pipeline (WebGL), it stays
    // until the first draw has built the shared vertices from it.
    const bool neededForSharing = !owner()->tracker().caps().bufferReadBack && sharingEnabled();
    if (uploaded && dropsCopy() && !neededForSharing) copy.drop(owner()->staging());
    return D3D_OK;
}

HRESULT WINAPI VertexBuffer9::GetDesc(D3DVERTEXBUFFER_DESC* pDesc)
{
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    return D3D_OK;
}
