// A device for the image-loading tests: only CreateTexture works (making
// PaddedTextures); it records the call and counts the textures alive, so a
// leak or a stray creation shows. Everything else answers E_NOTIMPL.
#pragma once

#include <d3d9.h>

#include "PaddedTexture.h"

class TextureOnlyDevice final : public IDirect3DDevice9 {
public:
    struct CreateTextureCall {
        UINT width, height, levels;
        DWORD usage;
        D3DFORMAT format;
        D3DPOOL pool;
        bool sharedHandleNull;
    };

    std::vector<CreateTextureCall> createTextureCalls;
    int liveTextures = 0;
    HRESULT createTextureResult = D3D_OK;  // a failing code makes CreateTexture fail
    int failLockOfLevel = -1;              // handed to each new texture

    HRESULT WINAPI QueryInterface(REFIID, void** ppvObj) override
    {
        if (ppvObj) *ppvObj = nullptr;
        return E_NOINTERFACE;
    }
    // The device lives on the test's stack; counts are not tracked.
    ULONG WINAPI AddRef() override { return 1; }
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                 IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override
    {
        createTextureCalls.push_back({Width, Height, Levels, Usage, Format, Pool, pSharedHandle == nullptr});
        if (FAILED(createTextureResult)) return createTextureResult;
        PaddedTexture* texture = new PaddedTexture(this, Width, Height, Levels);
        texture->failLockOfLevel(failLockOfLevel);
        *ppTexture = texture;
        return D3D_OK;
    }

    HRESULT WINAPI TestCooperativeLevel() override { return E_NOTIMPL; }
    HRESULT WINAPI GetDirect3D(IDirect3D9**) override { return E_NOTIMPL; }
    HRESULT WINAPI GetDisplayMode(UINT, D3DDISPLAYMODE*) override { return E_NOTIMPL; }
    HRESULT WINAPI Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override { return E_NOTIMPL; }
    HRESULT WINAPI CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override { return E_NOTIMPL; }
    HRESULT WINAPI BeginScene() override { return E_NOTIMPL; }
    HRESULT WINAPI EndScene() override { return E_NOTIMPL; }
    HRESULT WINAPI Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI SetViewport(const D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetViewport(D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetTexture(DWORD, IDirect3DBaseTexture9**) override { return E_NOTIMPL; }
    HRESULT WINAPI SetTexture(DWORD, IDirect3DBaseTexture9*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT WINAPI DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT WINAPI CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI SetVertexDeclaration(IDirect3DVertexDeclaration9*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetVertexDeclaration(IDirect3DVertexDeclaration9**) override { return E_NOTIMPL; }
    HRESULT WINAPI CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) override { return E_NOTIMPL; }
    HRESULT WINAPI SetVertexShader(IDirect3DVertexShader9*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetVertexShader(IDirect3DVertexShader9**) override { return E_NOTIMPL; }
    HRESULT WINAPI SetVertexShaderConstantF(UINT, const float*, UINT) override { return E_NOTIMPL; }
    HRESULT WINAPI GetVertexShaderConstantF(UINT, float*, UINT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT WINAPI GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) override { return E_NOTIMPL; }
    HRESULT WINAPI CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPixelShader(IDirect3DPixelShader9*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetPixelShader(IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPixelShaderConstantF(UINT, const float*, UINT) override { return E_NOTIMPL; }
    HRESULT WINAPI GetPixelShaderConstantF(UINT, float*, UINT) override { return E_NOTIMPL; }
};
