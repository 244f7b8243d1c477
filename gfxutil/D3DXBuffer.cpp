#include "D3DXBuffer.h"

#include <cstring>
#include <new>

// {8BA5FB08-5195-40E2-AC58-0D989C3A0102}
const IID IID_ID3DXBuffer = {0x8BA5FB08, 0x5195, 0x40E2, {0xAC, 0x58, 0x0D, 0x98, 0x9C, 0x3A, 0x01, 0x02}};

// The size travels through GetBufferSize as a DWORD, so nothing larger fits.
static constexpr size_t maxBufferSize = 0xFFFFFFFFu;

D3DXBuffer* D3DXBuffer::create(size_t size)
{
    if (size > maxBufferSize) return nullptr;
    // Always allocate at least one byte so that GetBufferPointer never
    // returns null for a live buffer.
    unsigned char* bytes = new (std::nothrow) unsigned char[size ? size : 1]();
    if (!bytes) return nullptr;
    D3DXBuffer* buffer = new (std::nothrow) D3DXBuffer(bytes, size);
    if (!buffer) delete[] bytes;
    return buffer;
}

D3DXBuffer* D3DXBuffer::create(const void* data, size_t size)
{
    D3DXBuffer* buffer = create(size);
    if (buffer && size) std::memcpy(buffer->bytes, data, size);
    return buffer;
}

D3DXBuffer::D3DXBuffer(unsigned char* bytes_, size_t size_) : references(1), bytes(bytes_), size(size_) {}

D3DXBuffer::~D3DXBuffer() { delete[] bytes; }

HRESULT WINAPI D3DXBuffer::QueryInterface(REFIID riid, void** ppvObj)
{
    if (!ppvObj) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3DXBuffer) {
        *ppvObj = static_cast<ID3DXBuffer*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI D3DXBuffer::AddRef() { return ++references; }

ULONG WINAPI D3DXBuffer::Release()
{
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

LPVOID WINAPI D3DXBuffer::GetBufferPointer() { return bytes; }

DWORD WINAPI D3DXBuffer::GetBufferSize() { return static_cast<DWORD>(size); }

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer)
{
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    *ppBuffer = D3DXBuffer::create(NumBytes);
    return *ppBuffer ? S_OK : E_OUTOFMEMORY;
}
