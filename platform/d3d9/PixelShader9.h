// IDirect3DPixelShader9: the translated shader and its GL fragment shader
// objects, one per set of inputs the vertex shader provides (normally one,
// compiled at creation).
#pragma once

#include "ShaderChild.h"

#include <d3d9.h>
#include "GlApi.h"


class PixelShader9 final : public ShaderChild<IDirect3DPixelShader9, IID_IDirect3DPixelShader9> {
public:
    static HRESULT create(DeviceServices* device, const DWORD* function, PixelShader9** shader);

    // The fragment shader for a vertex shader that writes `vertexOutputs`;
    // 0 if it does not compile.
    GLuint fragmentFor(uint32_t vertexOutputs) { return variant(vertexOutputs & info().varyingMask); }

private:
    using ShaderChild::ShaderChild;
};
