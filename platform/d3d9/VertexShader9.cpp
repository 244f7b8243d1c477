#include "VertexShader9.h"

HRESULT VertexShader9::create(DeviceServices* device, const DWORD* function, VertexShader9** result)
{
    *result = nullptr;
    TranslatedShader translated;
    const size_t words = translate(device, function, translated);
    if (words == 0) return D3DERR_INVALIDCALL;
    const GLuint shader = compile(translated, 0);
    if (shader == 0) return D3DERR_INVALIDCALL;
    *result = new VertexShader9(device, function, words, std::move(translated), 0, shader);
    return D3D_OK;
}
