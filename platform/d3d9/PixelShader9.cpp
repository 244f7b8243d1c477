#include "PixelShader9.h"

#include <cstdio>

PixelShader9::PixelShader9(DeviceServices* device, const DWORD* function, size_t words,
                           TranslatedShader&& translated, GLuint shader)
    : ShaderChild(device, function, words, std::move(translated))
{
    variants.emplace_back(info().varyingMask, shader);
}

PixelShader9::~PixelShader9()
{
    owner()->forgetShader(serial());
    if (owner()->makeCurrent())
        for (const auto& variant : variants)
            if (variant.second != 0) glDeleteShader(variant.second);
}

HRESULT PixelShader9::create(DeviceServices* device, const DWORD* function, PixelShader9** result)
{
    *result = nullptr;
    TranslatedShader translated;
    const size_t words = translate(device, function, translated);
    if (words == 0) return D3DERR_INVALIDCALL;
    // The usual case: the vertex shader writes everything this one reads.
    const GLuint shader = compile(ShaderTranslator::pixelVariant(translated, translated.varyingMask));
    if (shader == 0) return D3DERR_INVALIDCALL;
    *result = new PixelShader9(device, function, words, std::move(translated), shader);
    return D3D_OK;
}

GLuint PixelShader9::fragmentFor(uint32_t vertexOutputs)
{
    const uint32_t provided = vertexOutputs & info().varyingMask;
    for (const auto& variant : variants)
        if (variant.first == provided) return variant.second;
    const GLuint shader = compileGlShader(GL_FRAGMENT_SHADER, ShaderTranslator::pixelVariant(info(), provided),
                                         "Direct3D 9 layer: a pixel shader variant");
    variants.emplace_back(provided, shader);
    return shader;
}
