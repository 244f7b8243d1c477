// IDirect3DVertexShader9: the translated shader and its GL shader object,
// compiled once at creation.
#pragma once

#include "DeviceChild.h"
#include "ShaderTranslator.h"

#include <d3d9.h>
#include <epoxy/gl.h>

#include <vector>

class VertexShader9 : public IDirect3DVertexShader9, public DeviceChild {
public:
    static HRESULT create(Device9* device, const DWORD* function, VertexShader9** shader);

    GLuint glShader() const { return shader; }
    const TranslatedShader& info() const { return translated; }

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    // IDirect3DVertexShader9
    HRESULT WINAPI GetDevice(IDirect3DDevice9** ppDevice) override;
    HRESULT WINAPI GetFunction(void* pData, UINT* pSizeOfData) override;

private:
    explicit VertexShader9(Device9* device);
    ~VertexShader9() override;

    std::vector<DWORD> code;  // as given, end token included
    TranslatedShader translated;
    GLuint shader = 0;
};
