#include "PixelShader9.h"

#include "Device9.h"

#include <cstdio>
#include <cstring>

PixelShader9::PixelShader9(Device9* device) : DeviceChild(device) {}

PixelShader9::~PixelShader9()
{
    owner()->forgetShader(serial());
    if (owner()->makeCurrent())
        for (const auto& variant : variants)
            if (variant.second != 0) glDeleteShader(variant.second);
}

HRESULT PixelShader9::create(Device9* device, const DWORD* function, PixelShader9** result)
{
    *result = nullptr;
    std::string error;
    const size_t words = ShaderTranslator::moduleLength(function, error);
    TranslatedShader translated;
    if (words == 0 || !ShaderTranslator::translate(function, words, false, device->varyings(), translated, error)) {
        std::fprintf(stderr, "CreatePixelShader: %s\n", error.c_str());
        return D3DERR_INVALIDCALL;
    }
    // The usual case: the vertex shader writes everything this one reads.
    const std::string source = ShaderTranslator::pixelVariant(translated, translated.varyingMask);
    std::string log;
    const GLuint shader = PipelineCache::compileShader(GL_FRAGMENT_SHADER, source, log);
    if (shader == 0) {
        std::fprintf(stderr, "CreatePixelShader: the translated shader does not compile:\n%s\n%s\n", log.c_str(),
                     source.c_str());
        return D3DERR_INVALIDCALL;
    }
    PixelShader9* created = new PixelShader9(device);
    created->code.assign(function, function + words + 1);
    created->translated = std::move(translated);
    created->variants.emplace_back(created->translated.varyingMask, shader);
    *result = created;
    return D3D_OK;
}

GLuint PixelShader9::fragmentFor(uint32_t vertexOutputs)
{
    const uint32_t provided = vertexOutputs & translated.varyingMask;
    for (const auto& variant : variants)
        if (variant.first == provided) return variant.second;
    std::string log;
    const std::string source = ShaderTranslator::pixelVariant(translated, provided);
    const GLuint shader = PipelineCache::compileShader(GL_FRAGMENT_SHADER, source, log);
    if (shader == 0) std::fprintf(stderr, "Direct3D 9 layer: a pixel shader variant does not compile:\n%s\n", log.c_str());
    variants.emplace_back(provided, shader);
    return shader;
}

HRESULT WINAPI PixelShader9::QueryInterface(REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DPixelShader9) {
        *ppvObj = static_cast<IDirect3DPixelShader9*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI PixelShader9::AddRef()
{
    return addRefChild();
}

ULONG WINAPI PixelShader9::Release()
{
    return releaseChild();
}

HRESULT WINAPI PixelShader9::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    owner()->AddRef();
    *ppDevice = owner();
    return D3D_OK;
}

HRESULT WINAPI PixelShader9::GetFunction(void* pData, UINT* pSizeOfData)
{
    if (pSizeOfData == nullptr) return D3DERR_INVALIDCALL;
    const UINT bytes = static_cast<UINT>(code.size() * sizeof(DWORD));
    if (pData == nullptr) {
        *pSizeOfData = bytes;
        return D3D_OK;
    }
    if (*pSizeOfData < bytes) return D3DERR_INVALIDCALL;
    std::memcpy(pData, code.data(), bytes);
    *pSizeOfData = bytes;
    return D3D_OK;
}
