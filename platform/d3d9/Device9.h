// IDirect3DDevice9 over an OpenGL context (see GlContext): 4.5 core, 3.3
// core or OpenGL ES 3.0 (see GlCaps for what differs).
//
// The device shadows every Direct3D state and applies it lazily at draw time
// through the GlStateTracker, which drops GL calls that would set what the
// context already holds. Changes mark groups of derived GL state dirty, so a
// draw with nothing changed makes no state call at all. Nothing is allocated
// per draw: programs, vertex arrays and samplers come from caches filled the
// first time a combination is used.
//
// Decisions where Direct3D 9 leaves room or the GL port needs one:
//  * Drawing needs a vertex shader and a vertex declaration (there is no
//    fixed-function vertex pipeline and no FVF path): DrawPrimitive answers
//    D3DERR_INVALIDCALL without them, and outside BeginScene/EndScene.
//  * Without a pixel shader, texture stages 0..7 drive a generated fragment
//    program (see FixedFunctionShader).
//  * Shader constants go to a persistently mapped ring buffer (UniformRing)
//    on OpenGL 4.5: a draw after SetVertexShaderConstantF copies the
//    registers the bound shaders read into fresh ring memory. Elsewhere they
//    are each program's uniform arrays, set at a draw when the program holds
//    older values. Setting registers to the values they already hold changes
//    nothing.
//  * Alpha test, fog, flat shading, clip planes, the scissor rectangle,
//    dithering and sRGB are accepted as states and have no effect.
//  * Present shows the back buffer stretched over the window's client area
//    when their sizes differ; rendering then goes to a framebuffer object of
//    the back buffer's size.
//  * The context is SDL's on the window for D3DDEVTYPE_HAL, which needs a
//    hardware renderer (any renderer with TARNVALE_D3D9_FORCE_HAL) offering
//    OpenGL 4.5 core, 3.3 core or ES 3.0, the best first, and Mesa's
//    software rasteriser (llvmpipe) with OpenGL 4.5 core for
//    D3DDEVTYPE_REF, whatever the display offers: the window's own context
//    where that is llvmpipe, EGL's software device otherwise (see
//    GlContext).
#pragma once

#include "DeviceServices.h"
#include "DirtyFlags.h"
#include "GlContext.h"
#include "GlStateTracker.h"
#include "PipelineCache.h"
#include "StateRules.h"
#include "SwapChain9.h"
#include "UniformRing.h"
#include "VertexBuffer9.h"

#include <d3d9.h>
#include <tarnvale_d3d9.h>

#include "GlApi.h"

#include <memory>
#include <string>

struct SDL_Window;
class Direct3D9;
class Texture9;
class VertexBuffer9;
class VertexDeclaration9;
class VertexShader9;
class PixelShader9;

class Device9 final : public IDirect3DDevice9, public DeviceServices {
public:
    // Creates the GL context and the device; on failure *device stays null
    // and nothing is left behind, but for the context of a HAL attempt that
    // found llvmpipe on the window, which `direct3d` keeps for the REF
    // attempt. A failed REF attempt says why on stderr.
    static HRESULT create(Direct3D9* direct3d, D3DDEVTYPE type, DWORD behaviorFlags, HWND window,
                          SDL_Window* sdlWindow, const D3DPRESENT_PARAMETERS& parameters, Device9** device);
    static bool isSoftwareRenderer(const char* renderer);
    static void setPresentHook(tvd3d9::PresentHook hook, void* user);

    const std::string& renderer() const { return rendererName; }

    // DeviceServices: what goes with a shader or declaration that goes.
    void forgetShader(uint32_t serial) override;
    void forgetDeclaration(uint32_t serial) override;

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;

    // IDirect3DDevice9
    HRESULT WINAPI TestCooperativeLevel() override;
    HRESULT WINAPI GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT WINAPI GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
    HRESULT WINAPI Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                           const RGNDATA* pDirtyRegion) override;
    HRESULT WINAPI GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                 IDirect3DSurface9** ppBackBuffer) override;
    HRESULT WINAPI CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                 IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
    HRESULT WINAPI CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                      IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
    HRESULT WINAPI CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                               IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
    HRESULT WINAPI GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override;
    HRESULT WINAPI BeginScene() override;
    HRESULT WINAPI EndScene() override;
    HRESULT WINAPI Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                         DWORD Stencil) override;
    HRESULT WINAPI SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT WINAPI GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT WINAPI SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT WINAPI GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT WINAPI GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT WINAPI SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT WINAPI GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT WINAPI SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT WINAPI GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT WINAPI SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT WINAPI DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    HRESULT WINAPI CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                           IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT WINAPI SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT WINAPI GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT WINAPI CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
    HRESULT WINAPI SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT WINAPI GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT WINAPI SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                            UINT Vector4fCount) override;
    HRESULT WINAPI GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
    HRESULT WINAPI SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                   UINT Stride) override;
    HRESULT WINAPI GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                   UINT* pStride) override;
    HRESULT WINAPI CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
    HRESULT WINAPI SetPixelShader(IDirect3DPixelShader9* pShader) override;
    HRESULT WINAPI GetPixelShader(IDirect3DPixelShader9** ppShader) override;
    HRESULT WINAPI SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                           UINT Vector4fCount) override;
    HRESULT WINAPI GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;

private:
    static constexpr UINT streamCount = 16;
    static constexpr UINT registerCount = 256;

    // One stage's constant registers and what of them GL has not seen yet.
    struct ConstantFile {
        float registers[registerCount][4] = {};
        UINT dirtyLow = registerCount;  // dirty registers: [dirtyLow, dirtyHigh)
        UINT dirtyHigh = 0;
        UINT boundRegisters = 0;        // registers the bound ring range holds
        // For programs' uniforms: the changes counted, and the count at
        // each register's last change.
        uint64_t version = 1;
        uint64_t changed[registerCount] = {};
    };
    struct Stream {
        VertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
    };

    Device9(Direct3D9* direct3d, HWND window, SDL_Window* sdlWindow, const D3DPRESENT_PARAMETERS& parameters);
    ~Device9() override;
    // debug: GL's debug messages go to stderr.
    HRESULT initialize(bool debug);
    void releaseEverything();

    HRESULT setConstants(ConstantFile& file, UINT start, const float* data, UINT count);
    HRESULT getConstants(const ConstantFile& file, UINT start, float* data, UINT count) const;

    // Draw-time application of the shadow state.
    bool applyProgram();
    // Binds the streams the draw reads; sets shared when the draw goes
    // through a buffer's shared vertices and their index list.
    bool applyVertexInput(UINT firstVertex, UINT vertexCount, const VertexBuffer9::SharedVertices*& shared);
    void applyRenderStates();
    void applyDepthState();
    void applyBlendState();
    void applyRasterState();
    void applyStencilState();
    void applyViewportAndInternals();
    void applyTextures();
    void applyConstants(ConstantFile& file, UINT neededBytes, int binding);
    void applyConstantUniforms();
    void refreshRingBindings();

    ULONG references = 1;
    Direct3D9* direct3d;
    D3DPRESENT_PARAMETERS presentParameters;
    bool hasDepth = false;
    bool hasStencil = false;
    std::string rendererName;

    PipelineCache cache;
    UniformRing ring;
    uint64_t ringMovesSeen = 0;
    SwapChain9 chain;

    // Direct3D state.
    bool inScene = false;
    DWORD renderStates[StateRules::renderStateCount];
    DWORD samplerStates[StateRules::samplerCount][StateRules::samplerStateCount];
    DWORD stageStates[StateRules::stageCount][StateRules::stageStateCount];
    D3DVIEWPORT9 viewport = {};
    Texture9* textures[StateRules::samplerCount] = {};
    Stream streams[streamCount];
    VertexDeclaration9* declaration = nullptr;
    VertexShader9* vertexShader = nullptr;
    PixelShader9* pixelShader = nullptr;
    ConstantFile vertexConstants;
    ConstantFile pixelConstants;

    // What the next draw must re-derive.
    DirtyFlags dirty = DirtyFlags::all();

    // Derived state of the last draws.
    uint32_t fixedFunctionId = 0;
    LinkedProgram* program = nullptr;
    VertexArrayEntry* vertexArray = nullptr;
    GLuint unitSamplers[StateRules::samplerCount] = {};
    float pixelShift[2] = {0.0f, 0.0f};
    // The layer's own constants (pixel shift, texture factor) and their
    // version, for programs' uniforms.
    float internalValues[8] = {};
    uint64_t internalVersion = 1;
};
