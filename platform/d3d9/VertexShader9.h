// IDirect3DVertexShader9: the code, its translation, and a GL vertex shader
// per set of D3DCOLOR inputs the context reads turned round (one, on
// contexts that read D3DCOLOR as it is).
#pragma once

#include "ShaderChild.h"

#include <d3d9.h>
#include "GlApi.h"

class VertexShader9 final : public ShaderChild<IDirect3DVertexShader9, IID_IDirect3DVertexShader9> {
public:
    static HRESULT create(DeviceServices* device, const DWORD* function, VertexShader9** shader);

    // The GL shader whose inputs at the locations in swappedInputs turn
    // D3DCOLOR data round; 0 if it does not compile.
    GLuint glShaderFor(uint32_t swappedInputs) { return variant(swappedInputs); }

private:
    using ShaderChild::ShaderChild;
};
