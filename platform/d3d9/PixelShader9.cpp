#include "PixelShader9.h"

HRESULT PixelShader9::create(DeviceServices* device, const DWORD* function, PixelShader9** result)
{
    *result = nullptr;
    TranslatedShader translated;
    const size_t words = translate(device, function, translated);
    if (words == 0) return D3DERR_INVALIDCALL;
    // The usual case: the vertex shader writes everything this one reads.
    const uint32_t everything = translated.varyingMask;
    const GLuint shader = compile(translated, everything);
    if (shader == 0) return D3DERR_INVALIDCALL;
    *result = new PixelShader9(device, function, words, std::move(translated), everything, shader);
    return D3D_OK;
}
