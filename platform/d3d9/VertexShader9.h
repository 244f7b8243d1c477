// IDirect3DVertexShader9: the translated shader and its GL shader object,
// compiled once at creation.
#pragma once

#include "ShaderChild.h"

#include <d3d9.h>
#include <epoxy/gl.h>

class VertexShader9 final : public ShaderChild<IDirect3DVertexShader9, IID_IDirect3DVertexShader9> {
public:
    static HRESULT create(DeviceServices* device, const DWORD* function, VertexShader9** shader);

    GLuint glShader() const { return shader; }

private:
    VertexShader9(DeviceServices* device, const DWORD* function, size_t words, TranslatedShader&& translated,
                  GLuint shader);
    ~VertexShader9() override;

    GLuint shader;
};
