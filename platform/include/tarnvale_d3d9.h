// Linux-only controls of the Direct3D 9 layer, beyond what Windows offers.
// The program's own code never includes this header; tools and tests do.
//
// Environment variables the layer reads when a device is created (test aids):
//   TARNVALE_D3D9_FORCE_NO_HAL=1     D3DDEVTYPE_HAL creation fails with
//                                    D3DERR_NOTAVAILABLE, as on a machine
//                                    without a hardware renderer.
//   TARNVALE_D3D9_FORCE_NO_DEVICE=1  every CreateDevice fails with
//                                    D3DERR_NOTAVAILABLE.
//   TARNVALE_GL_DEBUG=1              GL debug messages go to stderr.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace tvd3d9 {

// Called by IDirect3DDevice9::Present before the back buffer is shown, while
// it still holds the finished frame, so a tool can read it back with
// GetBackBuffer / GetRenderTargetData / LockRect. Null removes the hook.
typedef void (*PresentHook)(IDirect3DDevice9* device, void* user);
void setPresentHook(PresentHook hook, void* user);

// Counters kept by the layer, for tests and benchmarks. All count from the
// device's creation; compare two readings to measure a frame.
struct DeviceStats {
    uint64_t frames;          // Present calls
    uint64_t drawCalls;       // draw calls issued to GL
    uint64_t glStateCalls;    // GL state-changing calls issued (after filtering)
    uint64_t constantUploadBytes;  // bytes of shader constants uploaded
    uint64_t programBinds;    // GL program changes
    uint64_t glCalls;         // every GL call the layer made (state, draws, clears,
                              // uploads, read-backs, fences)
    uint64_t programLinks;    // GL programs linked (cache misses)
    uint64_t sharedVertexDraws;  // draws that read a static buffer's shared vertices
                                 // through an index list
};
// Zeros for a device that is not one of this layer's GL devices.
DeviceStats deviceStats(IDirect3DDevice9* device);

// Waits until the device has carried out every command given to it so far.
// A tool that reads a frame back calls it first, so that it can tell the
// frame's own drawing time from the time the copy takes. Does nothing for a
// device that is not one of this layer's GL devices.
void finishDrawing(IDirect3DDevice9* device);

// ----- Start-up profile ---------------------------------------------------------
// Time spent in the costly steps of start-up, summed over the process (the
// steps may run on more than one thread), for tools that report where
// start-up goes. The layer and the D3DX stand-in add to it where the work is
// done; readings are cheap and never reset.
enum class StartupStep {
    DeviceCreation,     // IDirect3D9::CreateDevice, every attempt
    ShaderCompilation,  // D3DXCompileShaderFromFileA / D3DXCompileShader: HLSL to SPIR-V
    ShaderCreation,     // CreateVertexShader / CreatePixelShader: SPIR-V to GLSL
    ProgramLinking,     // GL shaders compiled and programs linked (at the first draw of a pair)
    ImageDecoding,      // D3DXCreateTextureFrom*: PNG decoding, or waiting for the prefetch to decode
    TextureUpload,      // D3DXCreateTextureFrom*: mip generation, creating and filling the texture
    ImagePrefetch,      // PNG decoding done ahead on the prefetch thread (tvd3dx::Prefetch)
    Count
};
void addStartupTime(StartupStep step, int64_t nanoseconds);
int64_t startupTime(StartupStep step);
// CLOCK_MONOTONIC nanoseconds, the clock the profile is read with.
int64_t monotonicNanoseconds();
// When the first BeginScene of the process happened (monotonicNanoseconds),
// 0 before it: where the first frame's drawing starts.
int64_t firstSceneTime();

// Adds the time from its construction to its destruction to one step.
class StartupTimer {
public:
    explicit StartupTimer(StartupStep timedStep) : step(timedStep), start(monotonicNanoseconds()) {}
    ~StartupTimer() { addStartupTime(step, monotonicNanoseconds() - start); }
    StartupTimer(const StartupTimer&) = delete;
    StartupTimer& operator=(const StartupTimer&) = delete;

private:
    StartupStep step;
    int64_t start;
};

// The GL renderer string of the device's context ("llvmpipe (LLVM ...)");
// empty for a device that is not one of this layer's GL devices.
const char* rendererName(IDirect3DDevice9* device);

}  // namespace tvd3d9
