// Linux-only controls of the Direct3D 9 layer, beyond what Windows offers.
// The program's own code never includes this header; tools and tests do.
#pragma once

#include <d3d9.h>

namespace tvd3d9 {

// Called by IDirect3DDevice9::Present before the back buffer is shown, while
// it still holds the finished frame, so a tool can read it back with
// GetBackBuffer / GetRenderTargetData / LockRect. Null removes the hook.
typedef void (*PresentHook)(IDirect3DDevice9* device, void* user);
void setPresentHook(PresentHook hook, void* user);

// Counters kept by the layer, for tests and benchmarks.
struct DeviceStats {
    uint64_t frames;          // Present calls
    uint64_t drawCalls;       // draw calls issued to GL
    uint64_t glStateCalls;    // GL state-changing calls issued (after filtering)
    uint64_t constantUploadBytes;  // bytes of shader constants uploaded
    uint64_t programBinds;    // GL program changes
};
DeviceStats deviceStats(IDirect3DDevice9* device);

// The GL renderer string of the device's context ("llvmpipe (LLVM ...)").
const char* rendererName(IDirect3DDevice9* device);

}  // namespace tvd3d9
