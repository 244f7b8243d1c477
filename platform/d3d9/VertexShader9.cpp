#include "VertexShader9.h"

VertexShader9::VertexShader9(DeviceServices* device, const DWORD* function, size_t words,
                             TranslatedShader&& translated, GLuint glShader)
    : ShaderChild(device, function, words, std::move(translated)), shader(glShader)
{
}

VertexShader9::~VertexShader9()
{
    owner()->forgetShader(serial());
    if (shader != 0 && owner()->makeCurrent()) glDeleteShader(shader);
}

HRESULT VertexShader9::create(DeviceServices* device, const DWORD* function, VertexShader9** result)
{
    *result = nullptr;
    TranslatedShader translated;
    const size_t words = translate(device, function, translated);
    if (words == 0) return D3DERR_INVALIDCALL;
    const GLuint shader = compile(translated.glsl);
    if (shader == 0) return D3DERR_INVALIDCALL;
    *result = new VertexShader9(device, function, words, std::move(translated), shader);
    return D3D_OK;
}
