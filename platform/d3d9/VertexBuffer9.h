// IDirect3DVertexBuffer9: a GL buffer with a system-memory copy that Lock
// returns. Unlock uploads the bytes written under the locks (the union of
// the locked ranges; read-only locks upload nothing). Locks nest, as on
// Direct3D 9: the upload happens when the last Unlock balances the first Lock.
//
// The copy exists only while it is needed. A new buffer is zeros in GL and
// has none; the first Lock makes it (zeros). A large static buffer -- a mesh,
// filled once -- drops it after its upload, so its vertices are not held
// twice; a later Lock reads them back from GL. Small and dynamic buffers,
// which are locked again and again, keep theirs.
#pragma once

#include "DeviceChild.h"

#include <d3d9.h>
#include <epoxy/gl.h>

#include <memory>

class VertexBuffer9 : public IDirect3DVertexBuffer9, public DeviceChild {
public:
    static constexpr UINT maxLength = 1u << 30;
    // Static buffers of this size and more drop their copy after an upload.
    static constexpr UINT copyKeptBelow = 64 * 1024;

    static HRESULT create(Device9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                          VertexBuffer9** buffer);

    GLuint glName() const { return name; }
    UINT size() const { return length; }

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
    // IDirect3DVertexBuffer9
    HRESULT WINAPI Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT WINAPI Unlock() override;
    HRESULT WINAPI GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

private:
    VertexBuffer9(Device9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer9() override;
    // Makes the system-memory copy with the buffer's contents; false when
    // memory is short or GL cannot be reached.
    bool makeCopy();

    UINT length;
    DWORD usage;
    DWORD fvf;
    D3DPOOL pool;
    DWORD priority = 0;
    GLuint name = 0;
    std::unique_ptr<uint8_t[]> memory;  // the copy; null while GL alone holds the contents
    bool glHoldsZeros = true;            // nothing uploaded yet: GL's contents are all zero
    UINT lockCount = 0;
    UINT dirtyLow = 0;   // bytes written under the current locks: [dirtyLow, dirtyHigh)
    UINT dirtyHigh = 0;
};
