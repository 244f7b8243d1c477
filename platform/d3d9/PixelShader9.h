// IDirect3DPixelShader9: the translated shader and its GL fragment shader
// objects, one per set of inputs the vertex shader provides (normally one,
// compiled at creation).
#pragma once

#include "DeviceChild.h"
#include "ShaderTranslator.h"

#include <d3d9.h>
#include <epoxy/gl.h>

#include <utility>
#include <vector>

class PixelShader9 : public IDirect3DPixelShader9, public DeviceChild {
public:
    static HRESULT create(Device9* device, const DWORD* function, PixelShader9** shader);

    const TranslatedShader& info() const { return translated; }
    // The fragment shader for a vertex shader that writes `vertexOutputs`;
    // 0 if it does not compile.
    GLuint fragmentFor(uint32_t vertexOutputs);

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;
    // IDirect3DPixelShader9
    HRESULT WINAPI GetDevice(IDirect3DDevice9** ppDevice) override;
    HRESULT WINAPI GetFunction(void* pData, UINT* pSizeOfData) override;

private:
    explicit PixelShader9(Device9* device);
    ~PixelShader9() override;

    std::vector<DWORD> code;
    TranslatedShader translated;
    std::vector<std::pair<uint32_t, GLuint>> variants;  // provided inputs -> shader
};
