#include "support/RecordingDevice.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

// ---- FakeObject -------------------------------------------------------------

FakeObject::FakeObject(RecordingDevice* device) : device(device), serialNumber(device->nextSerial++)
{
    ++device->live;
    ++device->created;
}

FakeObject::~FakeObject()
{
    --device->live;
    ++device->destroyed;
}

ULONG FakeObject::releaseImpl()
{
    const ULONG remaining = --refs;
    if (remaining == 0) delete this;
    return remaining;
}

namespace {

template <typename Interface>
HRESULT queryFake(Interface* self, void** out)
{
    if (!out) return E_POINTER;
    *out = self;
    self->AddRef();
    return S_OK;
}

HRESULT giveDevice(RecordingDevice* device, IDirect3DDevice9** out)
{
    if (!out) return D3DERR_INVALIDCALL;
    *out = device;
    device->AddRef();
    return D3D_OK;
}

}  // namespace

// ---- FakeVertexBuffer -----------------------------------------------------------

FakeVertexBuffer::FakeVertexBuffer(RecordingDevice* device, UINT length, DWORD usage, D3DPOOL pool)
    : FakeObject(device), bytes(length, 0), usage(usage), pool(pool)
{
}

HRESULT FakeVertexBuffer::QueryInterface(REFIID, void** out) { return queryFake(this, out); }
HRESULT FakeVertexBuffer::GetDevice(IDirect3DDevice9** device) { return giveDevice(owner(), device); }

HRESULT FakeVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD)
{
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (owner()->shouldFail(Fail::LockVertexBuffer)) return D3DERR_INVALIDCALL;
    if (offset > bytes.size() || (size != 0 && size > bytes.size() - offset)) return D3DERR_INVALIDCALL;
    ++lockCount;
    locked = true;
    *data = bytes.data() + offset;
    return D3D_OK;
}

HRESULT FakeVertexBuffer::Unlock()
{
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    ++unlockCount;
    return D3D_OK;
}

HRESULT FakeVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = static_cast<UINT>(bytes.size());
    desc->FVF = 0;
    return D3D_OK;
}

// ---- FakeTexture ---------------------------------------------------------------

FakeTexture::FakeTexture(RecordingDevice* device, UINT width, UINT height, UINT levelCount, DWORD usage,
                         D3DFORMAT format, D3DPOOL pool)
    : FakeObject(device), format(format), usage(usage), pool(pool)
{
    UINT w = width, h = height;
    UINT maxLevels = 1;
    for (UINT a = w, b = h; a > 1 || b > 1; a = std::max(1u, a / 2), b = std::max(1u, b / 2)) ++maxLevels;
    const UINT count = (levelCount == 0 || levelCount > maxLevels) ? maxLevels : levelCount;
    for (UINT i = 0; i < count; ++i) {
        Level level;
        level.width = w;
        level.height = h;
        level.texels.assign(static_cast<size_t>(w) * h * 4, 0);
        levels.push_back(std::move(level));
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
}

HRESULT FakeTexture::QueryInterface(REFIID, void** out) { return queryFake(this, out); }
HRESULT FakeTexture::GetDevice(IDirect3DDevice9** device) { return giveDevice(owner(), device); }

HRESULT FakeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (!desc || level >= levels.size()) return D3DERR_INVALIDCALL;
    desc->Format = format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = levels[level].width;
    desc->Height = levels[level].height;
    return D3D_OK;
}

HRESULT FakeTexture::GetSurfaceLevel(UINT, IDirect3DSurface9** surface)
{
    if (surface) *surface = nullptr;
    return D3DERR_INVALIDCALL;  // not needed by the program's classes
}

HRESULT FakeTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT*, DWORD)
{
    if (!lockedRect || level >= levels.size()) return D3DERR_INVALIDCALL;
    if (owner()->shouldFail(Fail::LockTexture)) return D3DERR_INVALIDCALL;
    Level& l = levels[level];
    if (l.locked) return D3DERR_INVALIDCALL;
    l.locked = true;
    lockedRect->Pitch = static_cast<INT>(l.width * 4);
    lockedRect->pBits = l.texels.data();
    return D3D_OK;
}

HRESULT FakeTexture::UnlockRect(UINT level)
{
    if (level >= levels.size() || !levels[level].locked) return D3DERR_INVALIDCALL;
    levels[level].locked = false;
    ++levels[level].unlockCount;
    return D3D_OK;
}

// ---- Declarations and shaders ----------------------------------------------------

FakeDeclaration::FakeDeclaration(RecordingDevice* device, const D3DVERTEXELEMENT9* source) : FakeObject(device)
{
    for (int i = 0; i < MAXD3DDECLLENGTH + 1; ++i) {
        elements.push_back(source[i]);
        if (source[i].Stream == 0xFF) break;
    }
}

HRESULT FakeDeclaration::QueryInterface(REFIID, void** out) { return queryFake(this, out); }
HRESULT FakeDeclaration::GetDevice(IDirect3DDevice9** device) { return giveDevice(owner(), device); }

HRESULT FakeDeclaration::GetDeclaration(D3DVERTEXELEMENT9* out, UINT* count)
{
    if (!count) return D3DERR_INVALIDCALL;
    if (out) std::copy(elements.begin(), elements.end(), out);
    *count = static_cast<UINT>(elements.size());
    return D3D_OK;
}

FakeVertexShader::FakeVertexShader(RecordingDevice* device, const DWORD* function)
    : FakeObject(device), function(function)
{
}
HRESULT FakeVertexShader::QueryInterface(REFIID, void** out) { return queryFake(this, out); }
HRESULT FakeVertexShader::GetDevice(IDirect3DDevice9** device) { return giveDevice(owner(), device); }
HRESULT FakeVertexShader::GetFunction(void*, UINT* size)
{
    if (size) *size = 0;
    return D3D_OK;
}

FakePixelShader::FakePixelShader(RecordingDevice* device, const DWORD* function)
    : FakeObject(device), function(function)
{
}
HRESULT FakePixelShader::QueryInterface(REFIID, void** out) { return queryFake(this, out); }
HRESULT FakePixelShader::GetDevice(IDirect3DDevice9** device) { return giveDevice(owner(), device); }
HRESULT FakePixelShader::GetFunction(void*, UINT* size)
{
    if (size) *size = 0;
    return D3D_OK;
}

// ---- RecordingDevice ----------------------------------------------------------------

RecordingDevice::RecordingDevice() = default;
RecordingDevice::~RecordingDevice() = default;

void RecordingDevice::record(const char* name, std::vector<uintptr_t> args, std::vector<float> data)
{
    calls.push_back(RecordedCall{name, std::move(args), std::move(data)});
}

std::vector<std::string> RecordingDevice::callNames() const
{
    std::vector<std::string> names;
    names.reserve(calls.size());
    for (const RecordedCall& c : calls) names.push_back(c.name);
    return names;
}

std::vector<RecordedCall> RecordingDevice::callsNamed(const std::string& name) const
{
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : calls)
        if (c.name == name) out.push_back(c);
    return out;
}

size_t RecordingDevice::count(const std::string& name) const
{
    return static_cast<size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const RecordedCall& c) { return c.name == name; }));
}

bool RecordingDevice::shouldFail(Fail what)
{
    auto it = failures.find(what);
    if (it == failures.end() || it->second == 0) return false;
    if (it->second > 0) --it->second;
    return true;
}

// The device itself lives on the test's stack: its reference count is
// reported but never frees it.
HRESULT RecordingDevice::QueryInterface(REFIID, void** ppvObj)
{
    if (!ppvObj) return E_POINTER;
    *ppvObj = this;
    return S_OK;
}
ULONG RecordingDevice::AddRef() { return 2; }
ULONG RecordingDevice::Release() { return 1; }

HRESULT RecordingDevice::TestCooperativeLevel() { return D3D_OK; }

HRESULT RecordingDevice::GetDirect3D(IDirect3D9** ppD3D9)
{
    if (ppD3D9) *ppD3D9 = nullptr;
    return D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::GetDisplayMode(UINT, D3DDISPLAYMODE* pMode)
{
    if (!pMode) return D3DERR_INVALIDCALL;
    *pMode = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT RecordingDevice::Present(const RECT* a, const RECT* b, HWND c, const RGNDATA* d)
{
    record("Present", {ptrArg(a), ptrArg(b), ptrArg(c), ptrArg(d)});
    return D3D_OK;
}

HRESULT RecordingDevice::GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9** ppBackBuffer)
{
    if (ppBackBuffer) *ppBackBuffer = nullptr;
    return D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                       D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle)
{
    record("CreateTexture", {Width, Height, Levels, Usage, static_cast<uintptr_t>(Format),
                             static_cast<uintptr_t>(Pool), ptrArg(pSharedHandle)});
    if (!ppTexture || Width == 0 || Height == 0) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (shouldFail(Fail::CreateTexture)) return D3DERR_OUTOFVIDEOMEMORY;
    auto* texture = new FakeTexture(this, Width, Height, Levels, Usage, Format, Pool);
    texturesCreated.push_back(texture);
    *ppTexture = texture;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                            IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle)
{
    record("CreateVertexBuffer", {Length, Usage, FVF, static_cast<uintptr_t>(Pool), ptrArg(pSharedHandle)});
    if (!ppVertexBuffer || Length == 0) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (shouldFail(Fail::CreateVertexBuffer)) return D3DERR_OUTOFVIDEOMEMORY;
    auto* buffer = new FakeVertexBuffer(this, Length, Usage, Pool);
    vertexBuffers.push_back(buffer);
    *ppVertexBuffer = buffer;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9** ppSurface,
                                                     HANDLE*)
{
    if (ppSurface) *ppSurface = nullptr;
    return D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }

HRESULT RecordingDevice::BeginScene()
{
    record("BeginScene", {});
    if (inScene) return D3DERR_INVALIDCALL;
    inScene = true;
    return D3D_OK;
}

HRESULT RecordingDevice::EndScene()
{
    record("EndScene", {});
    if (!inScene) return D3DERR_INVALIDCALL;
    inScene = false;
    return D3D_OK;
}

HRESULT RecordingDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                               DWORD Stencil)
{
    record("Clear", {Count, ptrArg(pRects), Flags, Color, Stencil}, {Z});
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT9* pViewport)
{
    record("SetViewport", {ptrArg(pViewport)});
    return pViewport ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT9* pViewport)
{
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = D3DVIEWPORT9{0, 0, 1024, 768, 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    record("SetRenderState", {static_cast<uintptr_t>(State), Value});
    renderStates[State] = Value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue)
{
    if (!pValue) return D3DERR_INVALIDCALL;
    auto it = renderStates.find(State);
    *pValue = it == renderStates.end() ? 0 : it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture)
{
    if (!ppTexture || Stage >= 16) return D3DERR_INVALIDCALL;
    *ppTexture = textures[Stage];
    if (*ppTexture) (*ppTexture)->AddRef();
    return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture)
{
    record("SetTexture", {Stage, ptrArg(pTexture)});
    if (Stage >= 16) return D3DERR_INVALIDCALL;
    textures[Stage] = pTexture;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue)
{
    if (!pValue) return D3DERR_INVALIDCALL;
    auto it = stageStates.find({Stage, static_cast<DWORD>(Type)});
    *pValue = it == stageStates.end() ? 0 : it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value)
{
    record("SetTextureStageState", {Stage, static_cast<uintptr_t>(Type), Value});
    stageStates[{Stage, static_cast<DWORD>(Type)}] = Value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue)
{
    if (!pValue) return D3DERR_INVALIDCALL;
    auto it = samplerStates.find({Sampler, static_cast<DWORD>(Type)});
    *pValue = it == samplerStates.end() ? 0 : it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    record("SetSamplerState", {Sampler, static_cast<uintptr_t>(Type), Value});
    samplerStates[{Sampler, static_cast<DWORD>(Type)}] = Value;
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount)
{
    record("DrawPrimitive", {static_cast<uintptr_t>(PrimitiveType), StartVertex, PrimitiveCount});
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                 IDirect3DVertexDeclaration9** ppDecl)
{
    record("CreateVertexDeclaration", {ptrArg(pVertexElements)});
    if (!pVertexElements || !ppDecl) return D3DERR_INVALIDCALL;
    *ppDecl = nullptr;
    if (shouldFail(Fail::CreateVertexDeclaration)) return D3DERR_INVALIDCALL;
    *ppDecl = new FakeDeclaration(this, pVertexElements);
    return D3D_OK;
}

HRESULT RecordingDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl)
{
    record("SetVertexDeclaration", {ptrArg(pDecl)});
    declaration = pDecl;
    return D3D_OK;
}

HRESULT RecordingDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl)
{
    if (!ppDecl) return D3DERR_INVALIDCALL;
    *ppDecl = declaration;
    if (declaration) declaration->AddRef();
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader)
{
    record("CreateVertexShader", {ptrArg(pFunction)});
    if (!pFunction || !ppShader) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    if (shouldFail(Fail::CreateVertexShader)) return D3DERR_INVALIDCALL;
    *ppShader = new FakeVertexShader(this, pFunction);
    return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(IDirect3DVertexShader9* pShader)
{
    record("SetVertexShader", {ptrArg(pShader)});
    vertexShader = pShader;
    return D3D_OK;
}

HRESULT RecordingDevice::GetVertexShader(IDirect3DVertexShader9** ppShader)
{
    if (!ppShader) return D3DERR_INVALIDCALL;
    *ppShader = vertexShader;
    if (vertexShader) vertexShader->AddRef();
    return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    std::vector<float> data;
    if (pConstantData) data.assign(pConstantData, pConstantData + 4 * Vector4fCount);
    record("SetVertexShaderConstantF", {StartRegister, Vector4fCount}, data);
    if (!pConstantData || StartRegister > 256 || Vector4fCount > 256 - StartRegister) return D3DERR_INVALIDCALL;
    std::memcpy(vertexConstants[StartRegister], pConstantData, sizeof(float) * 4 * Vector4fCount);
    return D3D_OK;
}

HRESULT RecordingDevice::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    if (!pConstantData || StartRegister > 256 || Vector4fCount > 256 - StartRegister) return D3DERR_INVALIDCALL;
    std::memcpy(pConstantData, vertexConstants[StartRegister], sizeof(float) * 4 * Vector4fCount);
    return D3D_OK;
}

HRESULT RecordingDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                         UINT Stride)
{
    record("SetStreamSource", {StreamNumber, ptrArg(pStreamData), OffsetInBytes, Stride});
    if (StreamNumber == 0) {
        streamSource = pStreamData;
        streamStride = Stride;
    }
    return D3D_OK;
}

HRESULT RecordingDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                         UINT* pOffsetInBytes, UINT* pStride)
{
    if (!ppStreamData || !pOffsetInBytes || !pStride || StreamNumber != 0) return D3DERR_INVALIDCALL;
    *ppStreamData = streamSource;
    if (streamSource) streamSource->AddRef();
    *pOffsetInBytes = 0;
    *pStride = streamStride;
    return D3D_OK;
}

HRESULT RecordingDevice::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader)
{
    record("CreatePixelShader", {ptrArg(pFunction)});
    if (!pFunction || !ppShader) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    if (shouldFail(Fail::CreatePixelShader)) return D3DERR_INVALIDCALL;
    *ppShader = new FakePixelShader(this, pFunction);
    return D3D_OK;
}

HRESULT RecordingDevice::SetPixelShader(IDirect3DPixelShader9* pShader)
{
    record("SetPixelShader", {ptrArg(pShader)});
    pixelShader = pShader;
    return D3D_OK;
}

HRESULT RecordingDevice::GetPixelShader(IDirect3DPixelShader9** ppShader)
{
    if (!ppShader) return D3DERR_INVALIDCALL;
    *ppShader = pixelShader;
    if (pixelShader) pixelShader->AddRef();
    return D3D_OK;
}

HRESULT RecordingDevice::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    std::vector<float> data;
    if (pConstantData) data.assign(pConstantData, pConstantData + 4 * Vector4fCount);
    record("SetPixelShaderConstantF", {StartRegister, Vector4fCount}, data);
    if (!pConstantData || StartRegister > 256 || Vector4fCount > 256 - StartRegister) return D3DERR_INVALIDCALL;
    std::memcpy(pixelConstants[StartRegister], pConstantData, sizeof(float) * 4 * Vector4fCount);
    return D3D_OK;
}

HRESULT RecordingDevice::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    if (!pConstantData || StartRegister > 256 || Vector4fCount > 256 - StartRegister) return D3DERR_INVALIDCALL;
    std::memcpy(pConstantData, pixelConstants[StartRegister], sizeof(float) * 4 * Vector4fCount);
    return D3D_OK;
}

}  // namespace testing_support
