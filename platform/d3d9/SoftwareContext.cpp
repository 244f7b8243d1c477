#include "SoftwareContext.h"

#include "GlObjects.h"
#include "GlStateTracker.h"

#include <SDL.h>

#include <epoxy/egl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The EGL display of Mesa's software device: one per process, started with
// the first software context and ended with the last.
EGLDisplay softwareDisplay = EGL_NO_DISPLAY;
int softwareDisplayUsers = 0;

std::string eglError(const char* what)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s (EGL error 0x%04x)", what, static_cast<unsigned>(eglGetError()));
    return text;
}

EGLDeviceEXT findSoftwareDevice(std::string& reason)
{
    const auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    const auto queryString =
        reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    EGLint count = 0;
    if (queryDevices != nullptr && queryString != nullptr && queryDevices(0, nullptr, &count) && count > 0) {
        std::vector<EGLDeviceEXT> devices(static_cast<size_t>(count));
        if (!queryDevices(count, devices.data(), &count)) count = 0;
        for (EGLint i = 0; i < count; ++i) {
            const char* extensions = queryString(devices[static_cast<size_t>(i)], EGL_EXTENSIONS);
            if (extensions != nullptr && std::strstr(extensions, "EGL_MESA_device_software") != nullptr)
                return devices[static_cast<size_t>(i)];
        }
    }
    reason = "no software rasteriser: EGL lists no software device (Mesa's EGL and llvmpipe provide one: Debian "
             "packages libegl-mesa0 and libgl1-mesa-dri)";
    return EGL_NO_DEVICE_EXT;
}

// Mesa's variables that would start another driver than llvmpipe on the
// software device, and the value that means llvmpipe: GALLIUM_DRIVER names
// the rasteriser, MESA_LOADER_DRIVER_OVERRIDE the loaded driver (zink, say,
// which needs a Vulkan device and fails here).
struct DriverVariable {
    const char* name;
    const char* llvmpipe;
};
constexpr DriverVariable driverVariables[] = {{"GALLIUM_DRIVER", "llvmpipe"}, {"MESA_LOADER_DRIVER_OVERRIDE", "swrast"}};

// Sets the variables that name another driver to llvmpipe's values for its
// lifetime, and puts them back after. A variable is only ever overwritten in
// place, since other threads (the start-up's image and shader work) may be
// reading the environment meanwhile, and adding or removing a variable would
// move it under them.
class LlvmpipeChosen {
public:
    LlvmpipeChosen()
    {
        for (size_t i = 0; i < std::size(driverVariables); ++i) {
            const char* value = std::getenv(driverVariables[i].name);
            if (value == nullptr || std::strcmp(value, driverVariables[i].llvmpipe) == 0) continue;
            saved[i] = value;
            replaced[i] = true;
            setenv(driverVariables[i].name, driverVariables[i].llvmpipe, 1);
        }
    }
    ~LlvmpipeChosen()
    {
        for (size_t i = 0; i < std::size(driverVariables); ++i)
            if (replaced[i]) setenv(driverVariables[i].name, saved[i].c_str(), 1);
    }
    LlvmpipeChosen(const LlvmpipeChosen&) = delete;
    LlvmpipeChosen& operator=(const LlvmpipeChosen&) = delete;

private:
    std::string saved[std::size(driverVariables)];
    bool replaced[std::size(driverVariables)] = {};
};

// Starts the software device's display with llvmpipe, whatever driver
// Mesa's variables name for everything else.
EGLDisplay startSoftwareDisplay(std::string& reason)
{
    if (softwareDisplayUsers > 0) {
        ++softwareDisplayUsers;
        return softwareDisplay;
    }
    if (!epoxy_has_egl()) {
        reason = "no software rasteriser: EGL is not installed (Debian package libegl1)";
        return EGL_NO_DISPLAY;
    }
    const EGLDeviceEXT device = findSoftwareDevice(reason);
    if (device == EGL_NO_DEVICE_EXT) return EGL_NO_DISPLAY;
    const auto platformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    // An attribute list, empty as it is, makes this display Mesa's own
    // rather than the one SDL's offscreen driver opens on the same device
    // with none: that one may have started with the driver GALLIUM_DRIVER
    // named, and ending ours must not end SDL's.
    const EGLint ownDisplay[] = {EGL_NONE};
    const EGLDisplay display =
        platformDisplay != nullptr ? platformDisplay(EGL_PLATFORM_DEVICE_EXT, device, ownDisplay) : EGL_NO_DISPLAY;
    if (display == EGL_NO_DISPLAY) {
        reason = eglError("the software device has no EGL display");
        return EGL_NO_DISPLAY;
    }
    EGLint major = 0;
    EGLint minor = 0;
    bool started = false;
    {
        const LlvmpipeChosen llvmpipe;
        started = eglInitialize(display, &major, &minor) == EGL_TRUE;
    }
    if (!started) {
        reason = eglError("Mesa's software device does not start");
        return EGL_NO_DISPLAY;
    }
    softwareDisplay = display;
    softwareDisplayUsers = 1;
    return display;
}

void endSoftwareDisplay()
{
    if (softwareDisplayUsers == 0 || --softwareDisplayUsers > 0) return;
    eglTerminate(softwareDisplay);
    softwareDisplay = EGL_NO_DISPLAY;
}

}  // namespace

std::unique_ptr<SoftwareContext> SoftwareContext::create(SDL_Window* window, bool debug, std::string& reason)
{
    const EGLDisplay display = startSoftwareDisplay(reason);
    if (display == EGL_NO_DISPLAY) return nullptr;
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 4,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 5,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_CONTEXT_OPENGL_DEBUG,
                                 debug ? EGL_TRUE : EGL_FALSE,
                                 EGL_NONE};
    EGLContext context = EGL_NO_CONTEXT;
    if (eglBindAPI(EGL_OPENGL_API)) context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        reason = eglError("Mesa's software rasteriser gives no OpenGL 4.5 core context");
        if (const char* override = std::getenv("MESA_GL_VERSION_OVERRIDE"))
            reason += std::string("; MESA_GL_VERSION_OVERRIDE=") + override + " limits it";
        endSoftwareDisplay();
        return nullptr;
    }
    std::unique_ptr<SoftwareContext> created(new SoftwareContext(display, context));
    if (!created->makeCurrent()) {
        reason = eglError("the software rasteriser's context cannot be made current");
        return nullptr;
    }
    if (!created->learnCaps(reason)) return nullptr;
    if (created->caps().api != GlCaps::Api::Gl45) {
        reason = std::string("Mesa's software rasteriser gives ") + created->caps().name() + ", not OpenGL 4.5 core";
        return nullptr;
    }
    if (!created->caps().packInvert) {
        reason = "the software rasteriser lacks GL_MESA_pack_invert";
        return nullptr;
    }
    created->presenter = FramePresenter::forWindow(window);
    return created;
}

SoftwareContext::~SoftwareContext()
{
    // Its framebuffer objects go with the context.
    presenter.reset();
    forgetIfActive();
    eglDestroyContext(display, context);
    endSoftwareDisplay();
}

bool SoftwareContext::isCurrent() const
{
    return eglGetCurrentContext() == context;
}

bool SoftwareContext::bind()
{
    // A context SDL made current (another window's) would keep the thread's
    // one current context slot.
    if (SDL_GL_GetCurrentContext() != nullptr) SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
    return eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) == EGL_TRUE;
}

void SoftwareContext::release()
{
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool SoftwareContext::stretchTarget(GlStateTracker& tracker, int width, int height)
{
    if (stretchFramebuffer != 0 && stretchWidth == width && stretchHeight == height) return true;
    dropStretchTarget(tracker);
    stretchColor = GlObjects::createRenderbuffer(tracker, GL_RGBA8, width, height);
    stretchFramebuffer = GlObjects::createFramebuffer(tracker, stretchColor, 0);
    stretchWidth = width;
    stretchHeight = height;
    if (stretchFramebuffer != 0) return true;
    // A size the driver refuses: tried again at the next Present, not taken
    // for made.
    glDeleteRenderbuffers(1, &stretchColor);
    stretchColor = 0;
    return false;
}

void SoftwareContext::dropStretchTarget(GlStateTracker& tracker)
{
    if (stretchFramebuffer == 0) return;
    glDeleteFramebuffers(1, &stretchFramebuffer);
    tracker.forgetFramebuffer(stretchFramebuffer);
    glDeleteRenderbuffers(1, &stretchColor);
    stretchFramebuffer = stretchColor = 0;
}

void SoftwareContext::present(GlStateTracker& tracker, GLuint framebuffer, int width, int height)
{
    FramePresenter::Frame frame;
    if (presenter == nullptr || !presenter->beginFrame(frame)) return;
    GLuint shown = framebuffer;
    if (frame.width != width || frame.height != height) {
        if (!stretchTarget(tracker, frame.width, frame.height)) return;
        stretch(tracker, framebuffer, width, height, stretchFramebuffer, frame.width, frame.height);
        shown = stretchFramebuffer;
    }
    // Straight into the window's memory, the top row first.
    tracker.bindReadFramebuffer(shown);
    glPixelStorei(GL_PACK_ROW_LENGTH, frame.pitch / 4);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glReadPixels(0, 0, frame.width, frame.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, frame.pixels);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    tracker.countCall();
    frame.makeOpaque();
    presenter->endFrame();
}
