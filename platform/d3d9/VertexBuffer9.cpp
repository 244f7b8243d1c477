#include "VertexBuffer9.h"

#include "Device9.h"

#include <cstring>
#include <new>

VertexBuffer9::VertexBuffer9(Device9* device, UINT bytes, DWORD bufferUsage, DWORD bufferFvf, D3DPOOL bufferPool)
    : DeviceChild(device), length(bytes), usage(bufferUsage), fvf(bufferFvf), pool(bufferPool)
{
}

VertexBuffer9::~VertexBuffer9()
{
    if (name != 0 && owner()->makeCurrent()) glDeleteBuffers(1, &name);
}

HRESULT VertexBuffer9::create(Device9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                              VertexBuffer9** buffer)
{
    *buffer = nullptr;
    if (length == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (length > maxLength) return D3DERR_OUTOFVIDEOMEMORY;
    if (!device->makeCurrent()) return D3DERR_DEVICELOST;

    VertexBuffer9* created = new VertexBuffer9(device, length, usage, fvf, pool);
    while (glGetError() != GL_NO_ERROR) {
    }
    // Zeros, written by GL itself: defined contents, and no copy to send.
    glCreateBuffers(1, &created->name);
    glNamedBufferStorage(created->name, static_cast<GLsizeiptr>(length), nullptr, GL_DYNAMIC_STORAGE_BIT);
    glClearNamedBufferData(created->name, GL_R8, GL_RED, GL_UNSIGNED_BYTE, nullptr);
    if (glGetError() != GL_NO_ERROR) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *buffer = created;
    return D3D_OK;
}

bool VertexBuffer9::makeCopy()
{
    if (memory) return true;
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[length]);
    if (!copy) return false;
    if (glHoldsZeros) {
        std::memset(copy.get(), 0, length);
    } else {
        if (!owner()->makeCurrent()) return false;
        glGetNamedBufferSubData(name, 0, static_cast<GLsizeiptr>(length), copy.get());
        owner()->tracker().countCall();
    }
    memory = std::move(copy);
    return true;
}

HRESULT WINAPI VertexBuffer9::QueryInterface(REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DVertexBuffer9) {
        *ppvObj = static_cast<IDirect3DVertexBuffer9*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI VertexBuffer9::AddRef()
{
    return addRefChild();
}

ULONG WINAPI VertexBuffer9::Release()
{
    return releaseChild();
}

HRESULT WINAPI VertexBuffer9::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    owner()->AddRef();
    *ppDevice = owner();
    return D3D_OK;
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
    *ppbData = memory.get() + OffsetToLock;
    return D3D_OK;
}

HRESULT WINAPI VertexBuffer9::Unlock()
{
    if (lockCount == 0) return D3DERR_INVALIDCALL;
    if (--lockCount > 0 || dirtyLow >= dirtyHigh) return D3D_OK;
    bool uploaded = false;
    if (owner()->makeCurrent()) {
        glNamedBufferSubData(name, static_cast<GLintptr>(dirtyLow), static_cast<GLsizeiptr>(dirtyHigh - dirtyLow),
                             memory.get() + dirtyLow);
        owner()->tracker().countCall();
        glHoldsZeros = false;
        uploaded = true;
    }
    dirtyLow = dirtyHigh = 0;
    // GL has it all now: a large static buffer lets go of its copy.
    if (uploaded && length >= copyKeptBelow && !(usage & D3DUSAGE_DYNAMIC)) memory.reset();
    return D3D_OK;
}

HRESULT WINAPI VertexBuffer9::GetDesc(D3DVERTEXBUFFER_DESC* pDesc)
{
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    return D3D_OK;
}
