// IDirect3DVertexBuffer9: a GL buffer with a system-memory copy that Lock
// returns. Unlock uploads the bytes written under the locks (the union of
// the locked ranges; read-only locks upload nothing). Locks nest, as on
// Direct3D 9: the upload happens when the last Unlock balances the first Lock.
//
// The copy exists only while it is needed. A new buffer holds zeros and has
// none; the first Lock makes it (zeros). A large static buffer -- a mesh,
// filled once -- drops it after its upload, so its vertices are not held
// twice; a later Lock reads them back from GL. Small and dynamic buffers,
// which are locked again and again, keep theirs.
//
// GL's storage gets its contents from one write of the whole buffer: the
// first upload sends all of it (zeros where nothing was written), and a
// buffer bound before any upload is sent zeros then. Storage is never
// cleared by GL and then written: on some drivers an upload that follows a
// clear of a large buffer is lost.
//
// Shared vertices. A mesh written as a plain list of vertices repeats most of
// them (a closed grid of triangles names each corner about six times), and
// the vertex shader would run for every repetition. A large static buffer
// therefore, at its first draw, knowing the stride the draw reads it with,
// reads its contents back once and builds a second form of itself:
// each distinct vertex once, and an index per original vertex. Draws that
// read only this buffer, with that offset and stride, go through the indices
// (same vertices, same order, the same pixels); any other draw reads the
// original, which stays as it was. Writing to the buffer drops the form.
#pragma once

#include "DeviceChild.h"
#include "StagingBlock.h"

#include <d3d9.h>
#include "GlApi.h"

#include <cstdint>
#include <memory>

class VertexBuffer9 final
    : public DeviceChildOf<IDirect3DVertexBuffer9, IID_IDirect3DResource9, IID_IDirect3DVertexBuffer9> {
public:
    static constexpr UINT maxLength = 1u << 30;
    // Static buffers of this size and more drop their copy after an upload.
    static constexpr UINT copyKeptBelow = 64 * 1024;

    static HRESULT create(DeviceServices* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                          VertexBuffer9** buffer);

    GLuint glName() const { return name; }
    UINT size() const { return length; }
    // Gives GL's storage its contents before anything may read it (the
    // device calls it when the buffer is bound to a stream).
    void defineContents()
    {
        if (!glDefined) sendZeros();
    }

    struct SharedVertices {
        GLuint vertices = 0;   // the distinct vertices, from offset 0 with the stride below
        GLuint indices = 0;    // one index per vertex of the original
        GLenum indexType = 0;  // GL_UNSIGNED_SHORT or GL_UNSIGNED_INT
        UINT indexSize = 0;
        UINT offset = 0;       // the stream offset and stride the form was built for
        UINT stride = 0;
        UINT count = 0;        // whole vertices of the original from that offset
        uint32_t serial = 0;   // unique to this form, for bindings that cache it
    };
    // The shared form for drawing with this offset and stride, built on the
    // first call if the buffer qualifies and sharing pays; null when draws
    // must read the original. At most one form is built per write.
    const SharedVertices* sharedVertices(UINT offset, UINT stride)
    {
        if (shared.vertices != 0) return shared.offset == offset && shared.stride == stride ? &shared : nullptr;
        return sharingTried ? nullptr : shareOnFirstDraw(offset, stride);
    }

    // Whether static buffers build shared forms (on unless the environment
    // sets TARNVALE_NO_VERTEX_SHARING, for measuring what it brings).
    static bool sharingEnabled();

    // IDirect3DResource9
    DWORD WINAPI SetPriority(DWORD PriorityNew) override;
    DWORD WINAPI GetPriority() override;
    void WINAPI PreLoad() override;
    D3DRESOURCETYPE WINAPI GetType() override;
    // IDirect3DVertexBuffer9
    HRESULT WINAPI Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT WINAPI Unlock() override;
    HRESULT WINAPI GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

private:
    VertexBuffer9(DeviceServices* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer9() override;
    // Makes the system-memory copy with the buffer's contents; false when
    // memory is short or GL cannot be reached.
    bool makeCopy();
    // Whether the buffer lets go of its copy after an upload: large static
    // buffers, whose copy is the device's staging block when it is free.
    bool dropsCopy() const;
    void sendZeros();
    // Builds the shared form from the buffer's contents; false when it would
    // not pay or GL could not make the buffers.
    bool buildShared(const uint8_t* contents, UINT offset, UINT stride);
    const SharedVertices* shareOnFirstDraw(UINT offset, UINT stride);
    void dropShared();

    UINT length;
    DWORD usage;
    DWORD fvf;
    D3DPOOL pool;
    DWORD priority = 0;
    GLuint name = 0;
    StagedCopy copy;                     // null while GL alone holds the contents
    bool onlyZeros = true;   // nothing uploaded yet: the contents are all zero
    bool glDefined = false;  // GL's storage holds the contents (written whole once)
    UINT lockCount = 0;
    UINT dirtyLow = 0;   // bytes written under the current locks: [dirtyLow, dirtyHigh)
    UINT dirtyHigh = 0;
    bool sharingTried = false;  // since the last write
    SharedVertices shared;      // vertices == 0: none
};
