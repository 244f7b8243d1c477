#pragma once

// A recording IDirect3DDevice9 for unit tests of the program's classes. It
// records every call with its arguments, keeps the shader constants, render,
// sampler and texture-stage states it was given, and hands out working fake
// resources: vertex buffers whose Lock gives real memory, textures with
// lockable levels, declarations and shaders that keep what they were built
// from. Failures can be injected per kind of call. It never touches OpenGL.

#include <d3d9.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct RecordedCall {
    std::string name;             // method name, e.g. "SetRenderState"
    std::vector<uintptr_t> args;  // integer and pointer arguments, in order
    std::vector<float> data;      // float payload: constants, Clear's Z
};

class RecordingDevice;

// Base of every fake object: COM reference count and the device's tally of
// live objects.
class FakeObject {
public:
    explicit FakeObject(RecordingDevice* device);
    virtual ~FakeObject();
    ULONG addRefImpl() { return ++refs; }
    ULONG releaseImpl();
    ULONG references() const { return refs; }
    RecordingDevice* owner() const { return device; }
    int serial() const { return serialNumber; }

private:
    RecordingDevice* device;
    ULONG refs = 1;
    int serialNumber;
};

class FakeVertexBuffer final : public IDirect3DVertexBuffer9, public FakeObject {
public:
    FakeVertexBuffer(RecordingDevice* device, UINT length, DWORD usage, D3DPOOL pool);
    HRESULT WINAPI QueryInterface(REFIID, void** out) override;
    ULONG WINAPI AddRef() override { return addRefImpl(); }
    ULONG WINAPI Release() override { return releaseImpl(); }
    HRESULT WINAPI GetDevice(IDirect3DDevice9** device) override;
    DWORD WINAPI SetPriority(DWORD) override { return 0; }
    DWORD WINAPI GetPriority() override { return 0; }
    void WINAPI PreLoad() override {}
    D3DRESOURCETYPE WINAPI GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT WINAPI Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT WINAPI Unlock() override;
    HRESULT WINAPI GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    std::vector<uint8_t> bytes;
    int lockCount = 0;
    int unlockCount = 0;
    bool locked = false;
    DWORD usage;
    D3DPOOL pool;
};

class FakeTexture final : public IDirect3DTexture9, public FakeObject {
public:
    FakeTexture(RecordingDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool);
    HRESULT WINAPI QueryInterface(REFIID, void** out) override;
    ULONG WINAPI AddRef() override { return addRefImpl(); }
    ULONG WINAPI Release() override { return releaseImpl(); }
    HRESULT WINAPI GetDevice(IDirect3DDevice9** device) override;
    DWORD WINAPI SetPriority(DWORD) override { return 0; }
    DWORD WINAPI GetPriority() override { return 0; }
    void WINAPI PreLoad() override {}
    D3DRESOURCETYPE WINAPI GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD WINAPI SetLOD(DWORD) override { return 0; }
    DWORD WINAPI GetLOD() override { return 0; }
    DWORD WINAPI GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
    HRESULT WINAPI GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT WINAPI GetSurfaceLevel(UINT, IDirect3DSurface9** surface) override;
    HRESULT WINAPI LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT WINAPI UnlockRect(UINT level) override;

    struct Level {
        UINT width;
        UINT height;
        std::vector<uint8_t> texels;  // 4 bytes a texel, B,G,R,A as A8R8G8B8 in memory
        bool locked = false;
        int unlockCount = 0;
    };
    std::vector<Level> levels;
    D3DFORMAT format;
    DWORD usage;
    D3DPOOL pool;
};

class FakeDeclaration final : public IDirect3DVertexDeclaration9, public FakeObject {
public:
    FakeDeclaration(RecordingDevice* device, const D3DVERTEXELEMENT9* elements);
    HRESULT WINAPI QueryInterface(REFIID, void** out) override;
    ULONG WINAPI AddRef() override { return addRefImpl(); }
    ULONG WINAPI Release() override { return releaseImpl(); }
    HRESULT WINAPI GetDevice(IDirect3DDevice9** device) override;
    HRESULT WINAPI GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;

    std::vector<D3DVERTEXELEMENT9> elements;  // including the end marker
};

class FakeVertexShader final : public IDirect3DVertexShader9, public FakeObject {
public:
    FakeVertexShader(RecordingDevice* device, const DWORD* function);
    HRESULT WINAPI QueryInterface(REFIID, void** out) override;
    ULONG WINAPI AddRef() override { return addRefImpl(); }
    ULONG WINAPI Release() override { return releaseImpl(); }
    HRESULT WINAPI GetDevice(IDirect3DDevice9** device) override;
    HRESULT WINAPI GetFunction(void* data, UINT* size) override;
    const DWORD* function;
};

class FakePixelShader final : public IDirect3DPixelShader9, public FakeObject {
public:
    FakePixelShader(RecordingDevice* device, const DWORD* function);
    HRESULT WINAPI QueryInterface(REFIID, void** out) override;
    ULONG WINAPI AddRef() override { return addRefImpl(); }
    ULONG WINAPI Release() override { return releaseImpl(); }
    HRESULT WINAPI GetDevice(IDirect3DDevice9** device) override;
    HRESULT WINAPI GetFunction(void* data, UINT* size) override;
    const DWORD* function;
};

// What a failure injection makes fail.
enum class Fail {
    CreateVertexBuffer,
    LockVertexBuffer,
    CreateTexture,
    LockTexture,
    CreateVertexDeclaration,
    CreateVertexShader,
    CreatePixelShader,
};

class RecordingDevice final : public IDirect3DDevice9 {
public:
    RecordingDevice();
    ~RecordingDevice() override;

    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;

    // ---- Inspection ---------------------------------------------------------
    std::vector<RecordedCall> calls;
    // Names of the recorded calls, in order.
    std::vector<std::string> callNames() const;
    // The recorded calls named `name`, in order.
    std::vector<RecordedCall> callsNamed(const std::string& name) const;
    size_t count(const std::string& name) const;
    void clearCalls() { calls.clear(); }

    // Live fake objects made by this device and not yet destroyed.
    int liveObjects() const { return live; }
    int createdObjects() const { return created; }
    // Release calls that reached zero (objects destroyed).
    int destroyedObjects() const { return destroyed; }

    float vertexConstants[256][4] = {};
    float pixelConstants[256][4] = {};
    std::map<DWORD, DWORD> renderStates;
    std::map<std::pair<DWORD, DWORD>, DWORD> samplerStates;
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;
    IDirect3DBaseTexture9* textures[16] = {};
    IDirect3DVertexBuffer9* streamSource = nullptr;
    UINT streamStride = 0;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    bool inScene = false;

    // Every vertex buffer, texture, declaration and shader ever created, in
    // creation order (pointers stay valid only while the object lives).
    std::vector<FakeVertexBuffer*> vertexBuffers;
    std::vector<FakeTexture*> texturesCreated;

    // Makes the next `times` calls of that kind fail (-1: every call).
    void inject(Fail what, int times = -1) { failures[what] = times; }
    bool shouldFail(Fail what);

    // ---- IUnknown --------------------------------------------------------------
    HRESULT WINAPI QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG WINAPI AddRef() override;
    ULONG WINAPI Release() override;

    // ---- IDirect3DDevice9 ------------------------------------------------------
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
    friend class FakeObject;
    void record(const char* name, std::vector<uintptr_t> args, std::vector<float> data = {});

    int live = 0;
    int created = 0;
    int destroyed = 0;
    int nextSerial = 1;
    std::map<Fail, int> failures;
};

// Integer value of a pointer argument as recorded.
inline uintptr_t ptrArg(const void* p) { return reinterpret_cast<uintptr_t>(p); }

}  // namespace testing_support
