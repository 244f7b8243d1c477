// ID3DXBuffer: a reference-counted block of bytes, as D3DX hands out for
// compiled shader code and compiler messages.
#pragma once

#include <d3dx9.h>

#include <atomic>
#include <cstddef>

class D3DXBuffer final : public ID3DXBuffer {
public:
    // A new buffer of `size` zeroed bytes with one reference, or null when
    // the memory cannot be had.
    static D3DXBuffer* create(size_t size);
    // A new buffer holding a copy of `size` bytes from `data`.
    static D3DXBuffer* create(const void* data, size_t size);

    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    LPVOID WINAPI GetBufferPointer() override;
    DWORD WINAPI GetBufferSize() override;

private:
    D3DXBuffer(unsigned char* bytes, size_t size);
    ~D3DXBuffer() override;
    D3DXBuffer(const D3DXBuffer&) = delete;
    D3DXBuffer& operator=(const D3DXBuffer&) = delete;

    std::atomic<ULONG> references;
    unsigned char* bytes;
    size_t size;
};
