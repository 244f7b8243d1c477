#include "Device9.h"

#include "Direct3D9.h"
#include "FixedFunctionKey.h"
#include "FloatBits.h"
#include "FormatTable.h"
#include "GlObjects.h"
#include "PixelShader9.h"
#include "SoftwareContext.h"
#include "StartupProfile.h"
#include "Surface9.h"
#include "Texture9.h"
#include "UniformBindings.h"
#include "VertexBuffer9.h"
#include "VertexDeclaration9.h"
#include "VertexShader9.h"
#include "WindowContext.h"

#include <tarnvale_platform.h>

#include <SDL.h>

#include <malloc.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

tvd3d9::PresentHook presentHook = nullptr;
void* presentHookUser = nullptr;

GLenum compareFunction(DWORD func)
{
    switch (func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum blendFactor(DWORD factor)
{
    switch (factor) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

// Source and destination factors of one blend equation; BOTHSRCALPHA and
// BOTHINVSRCALPHA set both from the source state.
void blendFactors(DWORD source, DWORD destination, GLenum& src, GLenum& dst)
{
    if (source == D3DBLEND_BOTHSRCALPHA) {
        src = GL_SRC_ALPHA;
        dst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (source == D3DBLEND_BOTHINVSRCALPHA) {
        src = GL_ONE_MINUS_SRC_ALPHA;
        dst = GL_SRC_ALPHA;
    } else {
        src = blendFactor(source);
        dst = blendFactor(destination);
    }
}

bool readsBlendFactor(GLenum factor) { return factor == GL_CONSTANT_COLOR || factor == GL_ONE_MINUS_CONSTANT_COLOR; }

GLenum blendEquation(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum stencilOperation(DWORD op)
{
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

int lowestBit(uint32_t mask) { return __builtin_ctz(mask); }

// Mesa's software rasteriser allocates its vertex output (more than a
// megabyte for one of the balls) and frees it again on every draw. With
// glibc's default thresholds such a block is either mmapped and unmapped or
// handed back with the top of the heap, and each page of it faults in afresh
// on the next draw: about two thousand page faults a frame, a third of the
// frame rate. Blocks below 32 MiB therefore stay in the heap, and up to
// 64 MiB of free heap top is kept. Set once, before the first context.
void keepLargeBlocksInHeap()
{
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
        return true;
    }();
    (void)done;
}

void GLAPIENTRY debugMessage(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar* message, const void*)
{
    if (severity == GL_DEBUG_SEVERITY_NOTIFICATION) return;
    std::fprintf(stderr, "GL %s: %s\n", type == GL_DEBUG_TYPE_ERROR ? "error" : "message", message);
}

// Whether the current context's renderer is Mesa's llvmpipe.
bool currentRendererIsLlvmpipe()
{
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return renderer != nullptr && std::strncmp(renderer, "llvmpipe", 8) == 0;
}

// Whether `context` is llvmpipe with OpenGL 4.5 core: the reference
// rasteriser, and a context it can draw with.
bool isReferenceContext(const GlContext& context)
{
    return context.caps().api == GlCaps::Api::Gl45 && currentRendererIsLlvmpipe();
}

// The window's own context when its renderer is llvmpipe offering OpenGL
// 4.5 core; null otherwise.
std::unique_ptr<GlContext> windowLlvmpipe(SDL_Window* sdlWindow, bool debug)
{
    std::string reason;
    std::unique_ptr<GlContext> context =
        WindowContext::create(sdlWindow, debug, WindowContext::Versions::Core45, reason);
    if (context == nullptr || !isReferenceContext(*context)) return nullptr;
    return context;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction.

bool Device9::isSoftwareRenderer(const char* renderer)
{
    if (renderer == nullptr) return true;
    std::string lower;
    for (const char* c = renderer; *c; ++c) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    for (const char* word : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (lower.find(word) != std::string::npos) return true;
    return false;
}

void Device9::setPresentHook(tvd3d9::PresentHook hook, void* user)
{
    presentHook = hook;
    presentHookUser = user;
}

HRESULT Device9::create(Direct3D9* direct3d, D3DDEVTYPE type, DWORD, HWND window, SDL_Window* sdlWindow,
                        const D3DPRESENT_PARAMETERS& parameters, Device9** device)
{
    *device = nullptr;
    keepLargeBlocksInHeap();
    const bool debug = tvplat::environmentFlag("TARNVALE_GL_DEBUG");
    std::string reason;
    std::unique_ptr<GlContext> context;
    if (type == D3DDEVTYPE_HAL) {
        // A hardware renderer on the window with the best of OpenGL 4.5 core,
        // 3.3 core and ES 3.0, or nothing: the failures of the HAL attempts
        // are the program's to report. TARNVALE_D3D9_FORCE_HAL takes any
        // renderer (a software one included) for what a driver does.
        context = WindowContext::create(sdlWindow, debug, WindowContext::Versions::Any, reason);
        if (context == nullptr) return D3DERR_NOTAVAILABLE;
        if (!tvplat::environmentFlag("TARNVALE_D3D9_FORCE_HAL") &&
            isSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)))) {
            if (isReferenceContext(*context))
                direct3d->keepSoftwareWindowContext(SDL_GetWindowID(sdlWindow), std::move(context));
            return D3DERR_NOTAVAILABLE;
        }
    } else {
        // Where the window's own OpenGL is llvmpipe offering 4.5 core (Mesa
        // without a GPU, behind GLX, Wayland's EGL or SDL's offscreen EGL),
        // the reference rasteriser is there already, and drawing with it
        // costs less than a rasteriser of REF's own: no second one is
        // started and no frame is read back to be shown. Anything else (no
        // OpenGL, a hardware driver, softpipe, a version below 4.5) gets
        // llvmpipe on EGL's software device. The two draw the same picture
        // but for a level of rounding in a few pixels.
        context = direct3d->takeSoftwareWindowContext(SDL_GetWindowID(sdlWindow));
        // Another device may have made its context current meanwhile.
        if (context != nullptr && !context->makeCurrent()) context.reset();
        if (context == nullptr) context = windowLlvmpipe(sdlWindow, debug);
        // The last attempt says why it failed: the program's own report that
        // no device could be made does not name the cause.
        if (context == nullptr) context = SoftwareContext::create(sdlWindow, debug, reason);
        if (context == nullptr) {
            std::fprintf(stderr, "Direct3D 9 layer: %s\n", reason.c_str());
            return D3DERR_NOTAVAILABLE;
        }
    }

    Device9* created = new Device9(direct3d, window, sdlWindow, parameters);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    created->rendererName = renderer != nullptr ? renderer : "";
    created->context = std::move(context);
    const HRESULT hr = created->initialize(debug);
    if (FAILED(hr)) {
        created->Release();  // deletes the context with the device
        return hr;
    }
    *device = created;
    return D3D_OK;
}

Device9::Device9(Direct3D9* owner, HWND deviceWindow, SDL_Window* sdlWindow, const D3DPRESENT_PARAMETERS& parameters)
    : DeviceServices(this, deviceWindow, sdlWindow),
      direct3d(owner),
      presentParameters(parameters),
      cache(glState, counters)
{
    direct3d->AddRef();
    hasDepth = parameters.EnableAutoDepthStencil != FALSE;
    const D3DFORMAT depthFormat = parameters.AutoDepthStencilFormat;
    hasStencil = hasDepth && (depthFormat == D3DFMT_D24S8 || depthFormat == D3DFMT_D15S1 || depthFormat == D3DFMT_D24X4S4);
    StateRules::defaultRenderStates(renderStates, hasDepth);
    for (DWORD s = 0; s < StateRules::samplerCount; ++s) StateRules::defaultSamplerStates(samplerStates[s]);
    for (DWORD s = 0; s < StateRules::stageCount; ++s) StateRules::defaultStageStates(s, stageStates[s]);
    viewport = D3DVIEWPORT9{0, 0, parameters.BackBufferWidth, parameters.BackBufferHeight, 0.0f, 1.0f};
}

HRESULT Device9::initialize(bool debug)
{
    const GlCaps& caps = context->caps();
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSizeLimit);
    GLint vertexOutputs = 64;
    GLint fragmentInputs = 128;
    glGetIntegerv(GL_MAX_VERTEX_OUTPUT_COMPONENTS, &vertexOutputs);
    glGetIntegerv(GL_MAX_FRAGMENT_INPUT_COMPONENTS, &fragmentInputs);
    // One location is kept for the position, which some drivers count.
    varyingRegistry = VaryingRegistry(std::min(vertexOutputs, fragmentInputs) / 4 - 1);

    if (debug && caps.debugOutput) {
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageCallback(debugMessage, nullptr);
    }
    glState.reset(caps);
    // Direct3D's clip space: depth 0..1, with clip control where the context
    // has it, else set in the vertex stage (ShaderTranslator). Window
    // coordinates keep GL's lower-left origin on every context; the device
    // flips rows where Direct3D's top-left origin shows (viewports, clear
    // rectangles, read-back), so no winding changes.
    if (caps.clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    // Front faces are the clockwise ones on screen, as Direct3D counts them.
    glFrontFace(GL_CW);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // GL starts with dithering on, which lets a driver perturb written
    // colours; Direct3D's D3DRS_DITHERENABLE starts off (and is accepted
    // without effect here).
    glDisable(GL_DITHER);

    if (caps.persistentConstantRing && !ring.create(glState)) return D3DERR_NOTAVAILABLE;
    if (!chain.create(*this, context.get(), presentParameters.BackBufferWidth, presentParameters.BackBufferHeight,
                      presentParameters.BackBufferFormat))
        return D3DERR_NOTAVAILABLE;
    int interval = 1;
    if (presentParameters.PresentationInterval == static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE))
        interval = 0;
    else if (presentParameters.PresentationInterval == D3DPRESENT_INTERVAL_TWO)
        interval = 2;
    context->setSwapInterval(interval);
    chain.bindTarget();
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_NOTAVAILABLE;
}

Device9::~Device9()
{
    releaseEverything();
}

void Device9::releaseEverything()
{
    const bool current = context != nullptr && makeCurrent();
    if (!current) cache.abandon();
    // Let go of bound objects; those the application has released go now.
    for (Texture9*& texture : textures) {
        if (Texture9* t = texture) {
            texture = nullptr;
            t->dropBinding();
        }
    }
    for (Stream& stream : streams) {
        if (VertexBuffer9* b = stream.buffer) {
            stream.buffer = nullptr;
            b->dropBinding();
        }
    }
    if (VertexDeclaration9* d = declaration) {
        declaration = nullptr;
        d->dropBinding();
    }
    if (VertexShader9* v = vertexShader) {
        vertexShader = nullptr;
        v->dropBinding();
    }
    if (PixelShader9* p = pixelShader) {
        pixelShader = nullptr;
        p->dropBinding();
    }
    if (current) {
        cache.destroy();
        GlObjects::deleteScratch(glState);
    }
    ring.destroy(current);
    chain.destroy(current);
    context.reset();
    direct3d->Release();
}

void Device9::forgetShader(uint32_t serial)
{
    if (makeCurrent())
        cache.forgetShader(serial);
    else
        cache.abandon();
    program = nullptr;
    vertexArray = nullptr;
    dirty.set(DirtyFlag::Program | DirtyFlag::VertexArray);
}

void Device9::forgetDeclaration(uint32_t serial)
{
    if (makeCurrent())
        cache.forgetDeclaration(serial);
    else
        cache.abandon();
    vertexArray = nullptr;
    dirty.set(DirtyFlag::VertexArray);
}

// ---------------------------------------------------------------------------
// IUnknown.

HRESULT WINAPI Device9::QueryInterface(REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
        *ppvObj = static_cast<IDirect3DDevice9*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG WINAPI Device9::AddRef()
{
    return ++references;
}

ULONG WINAPI Device9::Release()
{
    if (references == 0) return 0;
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------------------
// Device, swap chain and read-back.

HRESULT WINAPI Device9::TestCooperativeLevel()
{
    return makeCurrent() ? D3D_OK : D3DERR_DEVICELOST;
}

HRESULT WINAPI Device9::GetDirect3D(IDirect3D9** ppD3D9)
{
    if (ppD3D9 == nullptr) return D3DERR_INVALIDCALL;
    direct3d->AddRef();
    *ppD3D9 = direct3d;
    return D3D_OK;
}

HRESULT WINAPI Device9::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode)
{
    if (iSwapChain != 0 || pMode == nullptr) return D3DERR_INVALIDCALL;
    *pMode = Direct3D9::displayMode();
    return D3D_OK;
}

HRESULT WINAPI Device9::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND, const RGNDATA*)
{
    // Rectangles are only allowed with the copy swap effect; they are then
    // accepted and the whole back buffer is shown. A destination window
    // override is ignored: the frame goes to the device window.
    if ((pSourceRect != nullptr || pDestRect != nullptr) && presentParameters.SwapEffect != D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (presentHook != nullptr) presentHook(this, presentHookUser);
    if (!makeCurrent()) return D3DERR_DEVICELOST;
    chain.present();
    // The constant ring reuses memory of the frames known to be finished.
    ring.frameDone(chain.presentedFrames(), chain.completedFrames());
    ++counters.frames;
    return D3D_OK;
}

HRESULT WINAPI Device9::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                      IDirect3DSurface9** ppBackBuffer)
{
    if (ppBackBuffer == nullptr) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    // Every back buffer of the chain is the one GL back buffer.
    if (iSwapChain != 0 || iBackBuffer >= presentParameters.BackBufferCount || Type != D3DBACKBUFFER_TYPE_MONO)
        return D3DERR_INVALIDCALL;
    Surface9* surface = chain.surface();
    surface->AddRef();
    *ppBackBuffer = surface;
    return D3D_OK;
}

HRESULT WINAPI Device9::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle)
{
    if (ppTexture == nullptr) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;  // no shared resources
    Texture9* texture = nullptr;
    const HRESULT hr = Texture9::create(this, Width, Height, Levels, Usage, Format, Pool, &texture);
    if (SUCCEEDED(hr)) *ppTexture = texture;
    return hr;
}

HRESULT WINAPI Device9::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                           IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle)
{
    if (ppVertexBuffer == nullptr) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
    VertexBuffer9* buffer = nullptr;
    const HRESULT hr = VertexBuffer9::create(this, Length, Usage, FVF, Pool, &buffer);
    if (SUCCEEDED(hr)) *ppVertexBuffer = buffer;
    return hr;
}

HRESULT WINAPI Device9::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                    IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle)
{
    if (ppSurface == nullptr) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    if (pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
    Surface9* surface = nullptr;
    const HRESULT hr = Surface9::createOffscreen(this, Width, Height, Format, Pool, &surface);
    if (SUCCEEDED(hr)) *ppSurface = surface;
    return hr;
}

HRESULT WINAPI Device9::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface)
{
    Surface9* source = dynamic_cast<Surface9*>(pRenderTarget);
    Surface9* destination = dynamic_cast<Surface9*>(pDestSurface);
    if (source == nullptr || destination == nullptr || source != chain.surface()) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc = {};
    destination->GetDesc(&desc);
    if (desc.Pool != D3DPOOL_SYSTEMMEM || desc.Width != chain.width() || desc.Height != chain.height() ||
        !FormatTable::isRenderTargetColor(desc.Format) || destination->isLocked())
        return D3DERR_INVALIDCALL;
    UINT pitch = 0;
    uint8_t* memory = destination->destinationMemory(pitch);
    if (memory == nullptr) return E_OUTOFMEMORY;
    if (!makeCurrent()) return D3DERR_DEVICELOST;
    chain.readBack(memory, pitch, desc.Format == D3DFMT_X8R8G8B8 || chain.format() == D3DFMT_X8R8G8B8);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Scenes and clearing.

HRESULT WINAPI Device9::BeginScene()
{
    if (inScene) return D3DERR_INVALIDCALL;
    inScene = true;
    markFirstScene();
    return D3D_OK;
}

HRESULT WINAPI Device9::EndScene()
{
    if (!inScene) return D3DERR_INVALIDCALL;
    inScene = false;
    return D3D_OK;
}

HRESULT WINAPI Device9::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil)
{
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if (Flags == 0 || (Flags & ~known) != 0) return D3DERR_INVALIDCALL;
    if (Count != 0 && pRects == nullptr) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && (!hasDepth || !(Z >= 0.0f && Z <= 1.0f))) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && !hasStencil) return D3DERR_INVALIDCALL;
    if (!makeCurrent()) return D3DERR_DEVICELOST;

    chain.bindTarget();
    GLbitfield bits = 0;
    // Clear writes whatever the write masks say; the draws that follow put
    // the masks back from the render states.
    if (Flags & D3DCLEAR_TARGET) {
        glState.colorMask(0xF);
        glState.clearColor(Color);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (Flags & D3DCLEAR_ZBUFFER) {
        glState.depthMask(true);
        glState.clearDepth(Z);
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if (Flags & D3DCLEAR_STENCIL) {
        glState.stencilWriteMask(GL_FRONT, 0xFF);
        glState.stencilWriteMask(GL_BACK, 0xFF);
        glState.clearStencil(static_cast<GLint>(Stencil & 0xFF));
        bits |= GL_STENCIL_BUFFER_BIT;
    }
    dirty.set(DirtyFlag::ColorMask | DirtyFlag::DepthState | DirtyFlag::StencilState | DirtyFlag::RasterState);

    // Rectangles are clipped to the viewport; no rectangle clears all of it.
    const LONG vx0 = static_cast<LONG>(viewport.X);
    const LONG vy0 = static_cast<LONG>(viewport.Y);
    const LONG vx1 = static_cast<LONG>(viewport.X + viewport.Width);
    const LONG vy1 = static_cast<LONG>(viewport.Y + viewport.Height);
    const D3DRECT whole = {vx0, vy0, vx1, vy1};
    const DWORD rectCount = Count != 0 ? Count : 1;
    const LONG height = static_cast<LONG>(chain.height());
    for (DWORD i = 0; i < rectCount; ++i) {
        const D3DRECT& r = Count != 0 ? pRects[i] : whole;
        const LONG x0 = std::max(r.x1, vx0);
        const LONG y0 = std::max(r.y1, vy0);
        const LONG x1 = std::min(r.x2, vx1);
        const LONG y1 = std::min(r.y2, vy1);
        if (x0 >= x1 || y0 >= y1) continue;
        const bool everything = x0 == 0 && y0 == 0 && x1 == static_cast<LONG>(chain.width()) && y1 == height;
        glState.enable(GlStateTracker::ScissorTest, !everything);
        if (!everything) glState.scissor(x0, height - y1, x1 - x0, y1 - y0);
        glClear(bits);
        glState.countCall();
    }
    return D3D_OK;
}

HRESULT WINAPI Device9::SetViewport(const D3DVIEWPORT9* pViewport)
{
    if (pViewport == nullptr) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT9& v = *pViewport;
    if (v.Width == 0 || v.Height == 0 || uint64_t{v.X} + v.Width > chain.width() ||
        uint64_t{v.Y} + v.Height > chain.height() || !(v.MinZ >= 0.0f && v.MinZ <= 1.0f) ||
        !(v.MaxZ >= 0.0f && v.MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    viewport = v;
    dirty.set(DirtyFlag::Viewport);
    return D3D_OK;
}

HRESULT WINAPI Device9::GetViewport(D3DVIEWPORT9* pViewport)
{
    if (pViewport == nullptr) return D3DERR_INVALIDCALL;
    *pViewport = viewport;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// States.

HRESULT WINAPI Device9::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    const DWORD state = static_cast<DWORD>(State);
    if (!StateRules::isRenderState(state) || !StateRules::isValidRenderStateValue(state, Value))
        return D3DERR_INVALIDCALL;
    if (renderStates[state] == Value) return D3D_OK;
    renderStates[state] = Value;
    dirty.set(StateRules::flagsOf(state));
    return D3D_OK;
}

HRESULT WINAPI Device9::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue)
{
    const DWORD state = static_cast<DWORD>(State);
    if (pValue == nullptr || !StateRules::isRenderState(state)) return D3DERR_INVALIDCALL;
    *pValue = renderStates[state];
    return D3D_OK;
}

HRESULT WINAPI Device9::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture)
{
    if (ppTexture == nullptr) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (Stage >= StateRules::samplerCount) return D3DERR_INVALIDCALL;
    if (Texture9* texture = textures[Stage]) {
        texture->AddRef();
        *ppTexture = texture;
    }
    return D3D_OK;
}

HRESULT WINAPI Device9::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture)
{
    if (Stage >= StateRules::samplerCount) return D3DERR_INVALIDCALL;
    Texture9* texture = nullptr;
    if (pTexture != nullptr) {
        texture = dynamic_cast<Texture9*>(pTexture);
        // Only this device's textures, and only those GL can sample
        // (system-memory and scratch textures cannot be set).
        if (texture == nullptr || texture->owner() != this || texture->glName() == 0) return D3DERR_INVALIDCALL;
    }
    Texture9* previous = textures[Stage];
    if (texture == previous) return D3D_OK;
    if (texture) {
        texture->takeBinding();
        texture->defineContents();
    }
    textures[Stage] = texture;
    if (previous) previous->dropBinding();
    return D3D_OK;
}

HRESULT WINAPI Device9::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue)
{
    const DWORD type = static_cast<DWORD>(Type);
    if (pValue == nullptr || Stage >= StateRules::stageCount || !StateRules::isStageState(type))
        return D3DERR_INVALIDCALL;
    *pValue = stageStates[Stage][type];
    return D3D_OK;
}

HRESULT WINAPI Device9::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value)
{
    const DWORD type = static_cast<DWORD>(Type);
    if (Stage >= StateRules::stageCount || !StateRules::isStageState(type) ||
        !StateRules::isValidStageStateValue(type, Value))
        return D3DERR_INVALIDCALL;
    if (stageStates[Stage][type] == Value) return D3D_OK;
    stageStates[Stage][type] = Value;
    switch (type) {
    case D3DTSS_COLOROP: case D3DTSS_COLORARG0: case D3DTSS_COLORARG1: case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAOP: case D3DTSS_ALPHAARG0: case D3DTSS_ALPHAARG1: case D3DTSS_ALPHAARG2:
    case D3DTSS_TEXCOORDINDEX: case D3DTSS_RESULTARG: case D3DTSS_CONSTANT:
        dirty.set(DirtyFlag::FixedFunction);
        if (pixelShader == nullptr) dirty.set(DirtyFlag::Program);
        break;
    default:
        break;
    }
    return D3D_OK;
}

HRESULT WINAPI Device9::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue)
{
    const DWORD type = static_cast<DWORD>(Type);
    if (pValue == nullptr || Sampler >= StateRules::samplerCount || !StateRules::isSamplerState(type))
        return D3DERR_INVALIDCALL;
    *pValue = samplerStates[Sampler][type];
    return D3D_OK;
}

HRESULT WINAPI Device9::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    const DWORD type = static_cast<DWORD>(Type);
    if (Sampler >= StateRules::samplerCount || !StateRules::isSamplerState(type) ||
        !StateRules::isValidSamplerStateValue(type, Value))
        return D3DERR_INVALIDCALL;
    if (samplerStates[Sampler][type] == Value) return D3D_OK;
    samplerStates[Sampler][type] = Value;
    dirty.set(DirtyFlags::sampler(Sampler));
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Declarations, shaders, constants and streams.

HRESULT WINAPI Device9::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                IDirect3DVertexDeclaration9** ppDecl)
{
    if (ppDecl == nullptr) return D3DERR_INVALIDCALL;
    *ppDecl = nullptr;
    if (pVertexElements == nullptr) return D3DERR_INVALIDCALL;
    VertexDeclaration9* declarationObject = nullptr;
    const HRESULT hr = VertexDeclaration9::create(this, pVertexElements, &declarationObject);
    if (SUCCEEDED(hr)) *ppDecl = declarationObject;
    return hr;
}

template <typename Object, typename Interface>
static HRESULT bindObject(Device9* device, Object*& slot, Interface* object)
{
    Object* typed = nullptr;
    if (object != nullptr) {
        typed = dynamic_cast<Object*>(object);
        if (typed == nullptr || typed->owner() != device) return D3DERR_INVALIDCALL;
    }
    if (typed == slot) return S_FALSE;  // nothing changes
    if (typed) typed->takeBinding();
    Object* previous = slot;
    slot = typed;
    if (previous) previous->dropBinding();
    return D3D_OK;
}

template <typename Object, typename Interface>
static HRESULT getObject(Object* slot, Interface** out)
{
    if (out == nullptr) return D3DERR_INVALIDCALL;
    if (slot) slot->AddRef();
    *out = slot;
    return D3D_OK;
}

HRESULT WINAPI Device9::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl)
{
    const HRESULT hr = bindObject(this, declaration, pDecl);
    if (hr == D3D_OK) dirty.set(DirtyFlag::VertexArray);
    return FAILED(hr) ? hr : D3D_OK;
}

HRESULT WINAPI Device9::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl)
{
    return getObject(declaration, ppDecl);
}

HRESULT WINAPI Device9::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader)
{
    const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ShaderCreation);
    if (ppShader == nullptr) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    if (pFunction == nullptr) return D3DERR_INVALIDCALL;
    if (!makeCurrent()) return D3DERR_DEVICELOST;
    VertexShader9* shader = nullptr;
    const HRESULT hr = VertexShader9::create(this, pFunction, &shader);
    if (SUCCEEDED(hr)) *ppShader = shader;
    return hr;
}

HRESULT WINAPI Device9::SetVertexShader(IDirect3DVertexShader9* pShader)
{
    const HRESULT hr = bindObject(this, vertexShader, pShader);
    if (hr == D3D_OK) dirty.set(DirtyFlag::Program | DirtyFlag::VertexArray);
    return FAILED(hr) ? hr : D3D_OK;
}

HRESULT WINAPI Device9::GetVertexShader(IDirect3DVertexShader9** ppShader)
{
    return getObject(vertexShader, ppShader);
}

HRESULT Device9::setConstants(ConstantFile& file, UINT start, const float* data, UINT count)
{
    if (count == 0) return D3D_OK;
    if (data == nullptr || start >= registerCount || count > registerCount - start) return D3DERR_INVALIDCALL;
    const size_t bytes = size_t{count} * 16;
    if (std::memcmp(file.registers[start], data, bytes) == 0) return D3D_OK;
    std::memcpy(file.registers[start], data, bytes);
    ++file.version;
    std::fill_n(file.changed + start, count, file.version);
    file.dirtyLow = std::min(file.dirtyLow, start);
    file.dirtyHigh = std::max(file.dirtyHigh, start + count);
    return D3D_OK;
}

HRESULT Device9::getConstants(const ConstantFile& file, UINT start, float* data, UINT count) const
{
    if (count == 0) return D3D_OK;
    if (data == nullptr || start >= registerCount || count > registerCount - start) return D3DERR_INVALIDCALL;
    std::memcpy(data, file.registers[start], size_t{count} * 16);
    return D3D_OK;
}

HRESULT WINAPI Device9::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    return setConstants(vertexConstants, StartRegister, pConstantData, Vector4fCount);
}

HRESULT WINAPI Device9::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    return getConstants(vertexConstants, StartRegister, pConstantData, Vector4fCount);
}

HRESULT WINAPI Device9::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                        UINT Stride)
{
    if (StreamNumber >= streamCount) return D3DERR_INVALIDCALL;
    Stream& stream = streams[StreamNumber];
    const HRESULT hr = bindObject(this, stream.buffer, pStreamData);
    if (FAILED(hr)) return hr;
    if (stream.buffer) stream.buffer->defineContents();
    stream.offset = OffsetInBytes;
    stream.stride = Stride;
    return D3D_OK;
}

HRESULT WINAPI Device9::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                        UINT* pStride)
{
    if (StreamNumber >= streamCount || ppStreamData == nullptr || pOffsetInBytes == nullptr || pStride == nullptr)
        return D3DERR_INVALIDCALL;
    const Stream& stream = streams[StreamNumber];
    getObject(stream.buffer, ppStreamData);
    *pOffsetInBytes = stream.offset;
    *pStride = stream.stride;
    return D3D_OK;
}

HRESULT WINAPI Device9::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader)
{
    const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ShaderCreation);
    if (ppShader == nullptr) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    if (pFunction == nullptr) return D3DERR_INVALIDCALL;
    if (!makeCurrent()) return D3DERR_DEVICELOST;
    PixelShader9* shader = nullptr;
    const HRESULT hr = PixelShader9::create(this, pFunction, &shader);
    if (SUCCEEDED(hr)) *ppShader = shader;
    return hr;
}

HRESULT WINAPI Device9::SetPixelShader(IDirect3DPixelShader9* pShader)
{
    const bool wasOpaque = pixelShader != nullptr && pixelShader->info().opaqueColour;
    const HRESULT hr = bindObject(this, pixelShader, pShader);
    if (hr == D3D_OK) {
        dirty.set(DirtyFlag::Program);
        // Whether blending can change a pixel may change with the shader.
        if (wasOpaque != (pixelShader != nullptr && pixelShader->info().opaqueColour)) dirty.set(DirtyFlag::BlendState);
    }
    return FAILED(hr) ? hr : D3D_OK;
}

HRESULT WINAPI Device9::GetPixelShader(IDirect3DPixelShader9** ppShader)
{
    return getObject(pixelShader, ppShader);
}

HRESULT WINAPI Device9::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    return setConstants(pixelConstants, StartRegister, pConstantData, Vector4fCount);
}

HRESULT WINAPI Device9::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    return getConstants(pixelConstants, StartRegister, pConstantData, Vector4fCount);
}

// ---------------------------------------------------------------------------
// Drawing.

HRESULT WINAPI Device9::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount)
{
    GLenum mode;
    uint64_t vertices = PrimitiveCount;
    switch (PrimitiveType) {
    case D3DPT_POINTLIST: mode = GL_POINTS; break;
    case D3DPT_LINELIST: mode = GL_LINES; vertices *= 2; break;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; vertices += 1; break;
    case D3DPT_TRIANGLELIST: mode = GL_TRIANGLES; vertices *= 3; break;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; vertices += 2; break;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; vertices += 2; break;
    default: return D3DERR_INVALIDCALL;
    }
    if (!inScene || vertexShader == nullptr || declaration == nullptr) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    if (uint64_t{StartVertex} + vertices > 0x7FFFFFFFu) return D3DERR_INVALIDCALL;
    if (!makeCurrent()) return D3DERR_DEVICELOST;

    if (dirty.any(DirtyFlag::VertexArray)) {
        vertexArray = cache.vertexArray(*declaration, *vertexShader);
        dirty.clear(DirtyFlag::VertexArray);
    }
    if (vertexArray == nullptr || !applyProgram()) return D3DERR_INVALIDCALL;
    const VertexBuffer9::SharedVertices* shared = nullptr;
    if (!applyVertexInput(StartVertex, static_cast<UINT>(vertices), shared)) return D3DERR_INVALIDCALL;
    applyRenderStates();
    refreshRingBindings();
    applyViewportAndInternals();
    applyTextures();
    if (context->caps().persistentConstantRing) {
        applyConstants(vertexConstants, program->vertexConstantBytes, UniformBinding::vertexConstants);
        applyConstants(pixelConstants, program->pixelConstantBytes, UniformBinding::pixelConstants);
    } else {
        applyConstantUniforms();
    }

    if (shared != nullptr) {
        // Vertex i of the original is index i of the list.
        glDrawElements(mode, static_cast<GLsizei>(vertices), shared->indexType,
                       reinterpret_cast<const void*>(uintptr_t{StartVertex} * shared->indexSize));
        ++counters.sharedVertexDraws;
    } else {
        glDrawArrays(mode, static_cast<GLint>(StartVertex), static_cast<GLsizei>(vertices));
    }
    glState.countCall();
    ++counters.drawCalls;
    return D3D_OK;
}

bool Device9::applyProgram()
{
    // The vertex array decides which inputs turn D3DCOLOR data round (none
    // where the context reads it as it is).
    const uint32_t swapped = vertexArray->swappedInputs;
    if (dirty.any(DirtyFlag::Program) || (program != nullptr && program->swappedInputs != swapped)) {
        if (pixelShader == nullptr && (dirty.any(DirtyFlag::FixedFunction) || fixedFunctionId == 0)) {
            fixedFunctionId = cache.fixedFunctionId(FixedFunctionKey::fromStates(stageStates));
            dirty.clear(DirtyFlag::FixedFunction);
        }
        program = cache.program(*vertexShader, swapped, pixelShader, pixelShader ? 0 : fixedFunctionId);
        dirty.clear(DirtyFlag::Program);
    }
    if (program == nullptr || program->name == 0) return false;
    glState.useProgram(program->name);
    return true;
}

bool Device9::applyVertexInput(UINT firstVertex, UINT vertexCount, const VertexBuffer9::SharedVertices*& shared)
{
    shared = nullptr;
    // Check every stream before touching GL: a draw reading past a buffer's
    // end is refused.
    for (uint32_t mask = vertexArray->streamMask; mask != 0; mask &= mask - 1) {
        const int s = lowestBit(mask);
        const Stream& stream = streams[s];
        if (stream.buffer == nullptr) return false;
        const uint64_t end = uint64_t{stream.offset} + uint64_t{stream.stride} * (vertexCount - 1 + uint64_t{firstVertex}) +
                             vertexArray->streams[s].extent;
        if (end > stream.buffer->size()) return false;
    }
    // A draw that reads one stream only may go through that buffer's shared
    // vertices (one index per original vertex, so any range of the original
    // is the same range of the index list).
    const uint32_t streamMask = vertexArray->streamMask;
    if (streamMask != 0 && (streamMask & (streamMask - 1)) == 0) {
        Stream& stream = streams[lowestBit(streamMask)];
        shared = stream.buffer->sharedVertices(stream.offset, stream.stride);
        if (shared != nullptr && uint64_t{firstVertex} + vertexCount > shared->count) shared = nullptr;
    }
    glState.bindVertexArray(vertexArray->name);
    for (uint32_t mask = streamMask; mask != 0; mask &= mask - 1) {
        const int s = lowestBit(mask);
        const Stream& stream = streams[s];
        VertexArrayEntry::Binding& bound = vertexArray->streams[s];
        const uint32_t serial = shared ? shared->serial : stream.buffer->serial();
        const UINT offset = shared ? 0 : stream.offset;
        if (bound.bufferSerial != serial || bound.offset != offset || bound.stride != stream.stride) {
            GlObjects::bindStream(glState, vertexArray->name, static_cast<UINT>(s),
                                  shared ? shared->vertices : stream.buffer->glName(), offset, stream.stride,
                                  vertexArray->attributes, vertexArray->attributeCount);
            bound.bufferSerial = serial;
            bound.offset = offset;
            bound.stride = stream.stride;
        }
    }
    if (shared != nullptr && vertexArray->indexSerial != shared->serial) {
        GlObjects::bindIndices(glState, vertexArray->name, shared->indices);
        vertexArray->indexSerial = shared->serial;
    }
    return true;
}

void Device9::applyRenderStates()
{
    if (!dirty.any(DirtyFlags::renderStates())) return;
    if (dirty.any(DirtyFlag::DepthState)) applyDepthState();
    if (dirty.any(DirtyFlag::BlendState)) applyBlendState();
    if (dirty.any(DirtyFlag::RasterState)) applyRasterState();
    if (dirty.any(DirtyFlag::ColorMask)) glState.colorMask(renderStates[D3DRS_COLORWRITEENABLE]);
    if (dirty.any(DirtyFlag::StencilState)) applyStencilState();
    dirty.clear(DirtyFlags::renderStates());
}

void Device9::applyDepthState()
{
    const DWORD* rs = renderStates;
    const bool depthTest = hasDepth && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    glState.enable(GlStateTracker::DepthTest, depthTest);
    if (depthTest) {
        glState.depthFunc(compareFunction(rs[D3DRS_ZFUNC]));
        glState.depthMask(rs[D3DRS_ZWRITEENABLE] != FALSE);
    }
}

void Device9::applyBlendState()
{
    const DWORD* rs = renderStates;
    GLenum src, dst, srcAlpha, dstAlpha;
    blendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], src, dst);
    GLenum equation = blendEquation(rs[D3DRS_BLENDOP]);
    GLenum alphaEquation = equation;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        blendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], srcAlpha, dstAlpha);
        alphaEquation = blendEquation(rs[D3DRS_BLENDOPALPHA]);
    } else {
        srcAlpha = src;
        dstAlpha = dst;
    }
    // A pixel shader whose colour is always opaque, blended so that alpha 1
    // keeps the source as it is (the overlay's SRCALPHA / INVSRCALPHA left on
    // for the next draws): blending changes no pixel, and GL is spared
    // reading the target for every one.
    auto keepsSource = [](GLenum s, GLenum d, GLenum e) {
        return (s == GL_ONE || s == GL_SRC_ALPHA) && (d == GL_ZERO || d == GL_ONE_MINUS_SRC_ALPHA) &&
               e == GL_FUNC_ADD;
    };
    const bool blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE &&
                       !(pixelShader != nullptr && pixelShader->info().opaqueColour &&
                         keepsSource(src, dst, equation) && keepsSource(srcAlpha, dstAlpha, alphaEquation));
    glState.enable(GlStateTracker::Blend, blend);
    if (blend) {
        glState.blendFunc(src, dst, srcAlpha, dstAlpha);
        glState.blendEquation(equation, alphaEquation);
        if (readsBlendFactor(src) || readsBlendFactor(dst) || readsBlendFactor(srcAlpha) || readsBlendFactor(dstAlpha))
            glState.blendColor(rs[D3DRS_BLENDFACTOR]);
    }
}

void Device9::applyRasterState()
{
    const DWORD* rs = renderStates;
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_NONE:
        glState.enable(GlStateTracker::CullFace, false);
        break;
    case D3DCULL_CW:
        glState.enable(GlStateTracker::CullFace, true);
        glState.cullFace(GL_FRONT);
        break;
    default:
        glState.enable(GlStateTracker::CullFace, true);
        glState.cullFace(GL_BACK);
        break;
    }
    const DWORD fill = rs[D3DRS_FILLMODE];
    glState.polygonMode(fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    const float bias = floatBits(rs[D3DRS_DEPTHBIAS]);
    const float slope = floatBits(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    const bool offset = bias != 0.0f || slope != 0.0f;
    glState.enable(GlStateTracker::OffsetFill, offset);
    glState.enable(GlStateTracker::OffsetLine, offset);
    glState.enable(GlStateTracker::OffsetPoint, offset);
    // Direct3D's bias is in depth units; GL's in steps of the depth buffer,
    // which has the window's depth format.
    constexpr float depthSteps = static_cast<float>((1u << tvplat::windowDepthBits) - 1);
    if (offset) glState.polygonOffset(slope, bias * depthSteps);
    const float pointSize = floatBits(rs[D3DRS_POINTSIZE]);
    glState.pointSize(pointSize >= 1.0f && pointSize <= 8192.0f ? pointSize : 1.0f);
    // The scissor test is only used by Clear.
    glState.enable(GlStateTracker::ScissorTest, false);
}

void Device9::applyStencilState()
{
    const DWORD* rs = renderStates;
    const bool stencil = hasStencil && rs[D3DRS_STENCILENABLE] != FALSE;
    glState.enable(GlStateTracker::StencilTest, stencil);
    if (stencil) {
        // GL's front faces are Direct3D's clockwise ones; with two-sided
        // stencil the counter-clockwise ones use the CCW_ states.
        const bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
        const GLint ref = static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF);
        const GLuint mask = rs[D3DRS_STENCILMASK];
        glState.stencilFunc(GL_FRONT, compareFunction(rs[D3DRS_STENCILFUNC]), ref, mask);
        glState.stencilOp(GL_FRONT, stencilOperation(rs[D3DRS_STENCILFAIL]), stencilOperation(rs[D3DRS_STENCILZFAIL]),
                          stencilOperation(rs[D3DRS_STENCILPASS]));
        glState.stencilFunc(GL_BACK, compareFunction(rs[twoSided ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC]), ref, mask);
        glState.stencilOp(GL_BACK, stencilOperation(rs[twoSided ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL]),
                          stencilOperation(rs[twoSided ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL]),
                          stencilOperation(rs[twoSided ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS]));
        glState.stencilWriteMask(GL_FRONT, rs[D3DRS_STENCILWRITEMASK]);
        glState.stencilWriteMask(GL_BACK, rs[D3DRS_STENCILWRITEMASK]);
    }
}

void Device9::applyViewportAndInternals()
{
    if (dirty.any(DirtyFlag::Viewport)) {
        const GLint y = static_cast<GLint>(chain.height()) - static_cast<GLint>(viewport.Y + viewport.Height);
        glState.viewport(static_cast<GLint>(viewport.X), y, static_cast<GLsizei>(viewport.Width),
                         static_cast<GLsizei>(viewport.Height));
        glState.depthRange(viewport.MinZ, viewport.MaxZ);
        // Half a pixel right and half a pixel down, in clip units: Direct3D
        // samples pixel centres at integer window coordinates.
        pixelShift[0] = 1.0f / static_cast<float>(viewport.Width);
        pixelShift[1] = -1.0f / static_cast<float>(viewport.Height);
        dirty.clear(DirtyFlag::Viewport);
        dirty.set(DirtyFlag::InternalConstants);
    }
    if (dirty.any(DirtyFlag::InternalConstants)) {
        const DWORD factor = renderStates[D3DRS_TEXTUREFACTOR];
        const float values[8] = {
            pixelShift[0], pixelShift[1], 0.0f, 0.0f,
            ((factor >> 16) & 0xFF) / 255.0f, ((factor >> 8) & 0xFF) / 255.0f, (factor & 0xFF) / 255.0f,
            ((factor >> 24) & 0xFF) / 255.0f,
        };
        std::memcpy(internalValues, values, sizeof values);
        ++internalVersion;
        if (context->caps().persistentConstantRing) {
            GLintptr offset = 0;
            std::memcpy(ring.allocate(sizeof values, offset), values, sizeof values);
            glState.bindUniformBuffer(UniformBinding::internal, ring.buffer(), offset, sizeof values);
        }
        dirty.clear(DirtyFlag::InternalConstants);
    }
}

void Device9::applyTextures()
{
    for (uint32_t mask = program->samplerMask; mask != 0; mask &= mask - 1) {
        const int unit = lowestBit(mask);
        const Texture9* texture = textures[unit];
        glState.bindTexture(unit, texture ? texture->glName() : 0);
        if (dirty.any(DirtyFlags::sampler(unit))) {
            const DWORD* s = samplerStates[unit];
            SamplerKey key = {};
            key.address[0] = static_cast<uint8_t>(s[D3DSAMP_ADDRESSU]);
            key.address[1] = static_cast<uint8_t>(s[D3DSAMP_ADDRESSV]);
            key.address[2] = static_cast<uint8_t>(s[D3DSAMP_ADDRESSW]);
            key.magFilter = static_cast<uint8_t>(s[D3DSAMP_MAGFILTER]);
            key.minFilter = static_cast<uint8_t>(s[D3DSAMP_MINFILTER]);
            key.mipFilter = static_cast<uint8_t>(s[D3DSAMP_MIPFILTER]);
            key.borderColor = s[D3DSAMP_BORDERCOLOR];
            key.lodBias = s[D3DSAMP_MIPMAPLODBIAS];
            key.maxMipLevel = s[D3DSAMP_MAXMIPLEVEL];
            unitSamplers[unit] = cache.sampler(key);
            dirty.clear(DirtyFlags::sampler(unit));
        }
        glState.bindSampler(unit, unitSamplers[unit]);
    }
}

// Ranges of the constant ring stay bound while their values do not change,
// but the ring writes over a segment again once it comes round to it. Once
// the ring has moved on, everything bound from it is uploaded afresh at the
// next draw, into the current segment, long before the ring can come back to
// the old one (that takes several segments' worth of uploads).
void Device9::refreshRingBindings()
{
    if (ring.buffer() == 0 || ring.segmentMoves() == ringMovesSeen) return;
    ringMovesSeen = ring.segmentMoves();
    dirty.set(DirtyFlag::InternalConstants);
    vertexConstants.boundRegisters = 0;
    pixelConstants.boundRegisters = 0;
}

void Device9::applyConstantUniforms()
{
    // Each program holds its own uniforms: an array is set, whole, when a
    // register it holds changed since the program last had its values.
    const auto setRegisters = [&](const ConstantFile& file, const std::vector<LinkedProgram::RegisterArray>& arrays,
                                  uint64_t& seen) {
        if (seen == file.version) return;
        for (const LinkedProgram::RegisterArray& array : arrays) {
            const uint64_t newest = *std::max_element(file.changed, file.changed + array.registers);
            if (newest <= seen) continue;
            glUniform4fv(array.location, array.registers, file.registers[0]);
            glState.countStateCall();
            counters.constantUploadBytes += size_t{static_cast<UINT>(array.registers)} * 16;
        }
        seen = file.version;
    };
    setRegisters(vertexConstants, program->vertexRegisters, program->vertexVersion);
    setRegisters(pixelConstants, program->pixelRegisters, program->pixelVersion);
    if (program->internalVersion != internalVersion) {
        if (program->pixelShift >= 0) glUniform4fv(program->pixelShift, 1, internalValues);
        if (program->textureFactor >= 0) glUniform4fv(program->textureFactor, 1, internalValues + 4);
        glState.countStateCall();
        program->internalVersion = internalVersion;
    }
}

void Device9::applyConstants(ConstantFile& file, UINT neededBytes, int binding)
{
    if (neededBytes == 0) return;
    const UINT needed = std::min<UINT>((neededBytes + 15) / 16, registerCount);
    const bool dirtyInside = file.dirtyLow < std::min(file.dirtyHigh, needed);
    if (!dirtyInside && file.boundRegisters >= needed) return;
    // Fresh ring memory for the registers the shaders read: the GPU may
    // still be reading the previous range.
    const size_t bytes = size_t{needed} * 16;
    GLintptr offset = 0;
    std::memcpy(ring.allocate(bytes, offset), file.registers, bytes);
    glState.bindUniformBuffer(binding, ring.buffer(), offset, static_cast<GLsizeiptr>(bytes));
    counters.constantUploadBytes += bytes;
    file.boundRegisters = needed;
    if (file.dirtyHigh <= needed) {
        file.dirtyLow = registerCount;
        file.dirtyHigh = 0;
    } else {
        file.dirtyLow = std::max(file.dirtyLow, needed);
    }
}

// ---------------------------------------------------------------------------
// The layer's own controls.

void tvd3d9::setPresentHook(PresentHook hook, void* user)
{
    Device9::setPresentHook(hook, user);
}

tvd3d9::DeviceStats tvd3d9::deviceStats(IDirect3DDevice9* device)
{
    Device9* ours = dynamic_cast<Device9*>(device);
    return ours ? ours->stats() : DeviceStats{};
}

void tvd3d9::finishDrawing(IDirect3DDevice9* device)
{
    Device9* ours = dynamic_cast<Device9*>(device);
    if (ours != nullptr && ours->makeCurrent()) {
        glFinish();
        ours->tracker().countCall();
    }
}

const char* tvd3d9::rendererName(IDirect3DDevice9* device)
{
    Device9* ours = dynamic_cast<Device9*>(device);
    return ours ? ours->renderer().c_str() : "";
}
