// Placeholder until shader compilation and image loading land.
#include <d3dx9.h>

HRESULT WINAPI D3DXCompileShaderFromFileA(LPCSTR, const D3DXMACRO*, LPD3DXINCLUDE, LPCSTR, LPCSTR, DWORD,
                                          LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs, LPD3DXCONSTANTTABLE* ppConstantTable)
{
    if (ppShader) *ppShader = nullptr;
    if (ppErrorMsgs) *ppErrorMsgs = nullptr;
    if (ppConstantTable) *ppConstantTable = nullptr;
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXCompileShader(LPCSTR, UINT, const D3DXMACRO*, LPD3DXINCLUDE, LPCSTR, LPCSTR, DWORD,
                                 LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs, LPD3DXCONSTANTTABLE* ppConstantTable)
{
    return D3DXCompileShaderFromFileA(nullptr, nullptr, nullptr, nullptr, nullptr, 0, ppShader, ppErrorMsgs, ppConstantTable);
}
HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9, LPCSTR, LPDIRECT3DTEXTURE9* ppTexture)
{
    if (ppTexture) *ppTexture = nullptr;
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9, LPCVOID, UINT, LPDIRECT3DTEXTURE9* ppTexture)
{
    if (ppTexture) *ppTexture = nullptr;
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXCreateBuffer(DWORD, LPD3DXBUFFER* ppBuffer)
{
    if (ppBuffer) *ppBuffer = nullptr;
    return E_NOTIMPL;
}
