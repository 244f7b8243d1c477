#include "VertexShader9.h"

#include "Device9.h"

#include <cstdio>
#include <cstring>

VertexShader9::VertexShader9(Device9* device) : DeviceChild(device) {}

VertexShader9::~VertexShader9()
{
    owner()->forgetShader(serial());
    if (shader != 0 && owner()->makeCurrent()) glDeleteShader(shader);
}

HRESULT VertexShader9::create(Device9* device, const DWORD* function, VertexShader9** result)
{
    *result = nullptr;
    std::string error;
    const size_t words = ShaderTranslator::moduleLength(function, error);
    TranslatedShader translated;
    if (words == 0 || !ShaderTranslator::translate(function, words, true, device->varyings(), translated, error)) {
        std::fprintf(stderr, "CreateVertexShader: %s\n", error.c_str());
        return D3DERR_INVALIDCALL;
    }
    std::string log;
    const GLuint shader = PipelineCache::compileShader(GL_VERTEX_SHADER, translated.glsl, log);
    if (shader == 0) {
        std::fprintf(stderr, "CreateVertexShader: the translated shader does not compile:\n%s\n%s\n", log.c_str(),
                     translated.glsl.c_str());
        return D3DERR_INVALIDCALL;
    }
    VertexShader9* created = new VertexShader9(device);
    created->code.assign(function, function + words + 1);
    created->translated = std::move(translated);
    created->shader = shader;
    *result = created;
    return D3D_OK;
}

HRESULT WINAPI VertexShader9::QueryInterface(REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DVertexShader9) {
        *ppvObj = static_cast<IDirect3DVertexShader9*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI VertexShader9::AddRef()
{
    return addRefChild();
}

ULONG WINAPI VertexShader9::Release()
{
    return releaseChild();
}

HRESULT WINAPI VertexShader9::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    owner()->AddRef();
    *ppDevice = owner();
    return D3D_OK;
}

HRESULT WINAPI VertexShader9::GetFunction(void* pData, UINT* pSizeOfData)
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
