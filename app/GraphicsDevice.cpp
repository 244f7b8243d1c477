#include "app/GraphicsDevice.h"

namespace {

// The creation attempts, most capable first.
struct CreationAttempt {
    D3DDEVTYPE deviceType;
    DWORD behaviourFlags;
    const char* description;
};

const CreationAttempt creationAttempts[] = {
    {D3DDEVTYPE_HAL, D3DCREATE_PUREDEVICE | D3DCREATE_HARDWARE_VERTEXPROCESSING,
     "HAL, Hardware Vertex Processing (Pure Device)"},
    {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, "HAL, Hardware Vertex Processing"},
    {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, "HAL, Software Vertex Processing"},
    {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, "REF, Software Vertex Processing"},
};
const int lastHardwareAttempt = 2;  // index of the last HAL attempt

const char* const resortingToRefText = "Couldn't create HAL device, resorting to REF.";
const char* const noDeviceText = "Couldn't create even a REF device. DirectX 9 may not be properly installed.";

}  // namespace

GraphicsDevice::GraphicsDevice(HWND window, bool fullScreen, int32_t width, int32_t height)
    : GraphicsDevice(window, fullScreen, width, height, &Direct3DCreate9)
{
}

GraphicsDevice::GraphicsDevice(HWND window, bool fullScreen, int32_t width, int32_t height,
                               Direct3DFactory createDirect3D)
    : direct3d(nullptr), device_(nullptr)
{
    if (createDirect3D != nullptr)
        direct3d = createDirect3D(D3D_SDK_VERSION);

    // Without the Direct3D interface nothing can be tried: that is a total
    // failure, reported as one.
    if (direct3d == nullptr) {
        MessageBoxA(NULL, noDeviceText, "Error", MB_OK);
        return;
    }

    D3DPRESENT_PARAMETERS presentParameters = {};
    if (fullScreen) {
        D3DDISPLAYMODE mode = {};
        direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        presentParameters.BackBufferWidth = static_cast<UINT>(width);
        presentParameters.BackBufferHeight = static_cast<UINT>(height);
        presentParameters.BackBufferFormat = mode.Format;
        presentParameters.Windowed = FALSE;
    } else {
        // Zero width and height take the device window's client area; an
        // unknown format takes the current display format.
        presentParameters.BackBufferWidth = 0;
        presentParameters.BackBufferHeight = 0;
        presentParameters.BackBufferFormat = D3DFMT_UNKNOWN;
        presentParameters.Windowed = TRUE;
    }
    presentParameters.BackBufferCount = 2;
    presentParameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    presentParameters.MultiSampleQuality = 0;
    presentParameters.SwapEffect = D3DSWAPEFFECT_FLIP;
    presentParameters.hDeviceWindow = window;
    presentParameters.EnableAutoDepthStencil = TRUE;
    presentParameters.AutoDepthStencilFormat = D3DFMT_D16;
    presentParameters.Flags = 0;
    presentParameters.FullScreen_RefreshRateInHz = 0;
    presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;

    const int attemptCount = static_cast<int>(sizeof creationAttempts / sizeof creationAttempts[0]);
    for (int i = 0; i < attemptCount; ++i) {
        const CreationAttempt& attempt = creationAttempts[i];
        // Every attempt starts from the same parameters: a failed attempt
        // may have written to the record it was given.
        D3DPRESENT_PARAMETERS parameters = presentParameters;
        IDirect3DDevice9* created = nullptr;
        HRESULT result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, attempt.deviceType, window,
                                                attempt.behaviourFlags, &parameters, &created);
        if (SUCCEEDED(result) && created != nullptr) {
            device_ = created;
            description_ = attempt.description;
            return;
        }
        if (i == lastHardwareAttempt)
            MessageBoxA(NULL, resortingToRefText, "Error", MB_OK);
    }
    MessageBoxA(NULL, noDeviceText, "Error", MB_OK);
}

GraphicsDevice::~GraphicsDevice()
{
    if (device_ != nullptr) {
        device_->Release();
        device_ = nullptr;
    }
    if (direct3d != nullptr) {
        direct3d->Release();
        direct3d = nullptr;
    }
}

IDirect3DDevice9*& GraphicsDevice::device() { return device_; }

const std::string& GraphicsDevice::description() const { return description_; }
