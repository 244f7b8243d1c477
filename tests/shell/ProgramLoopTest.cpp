// The entry sequence and the message loop, run with the real window and
// application against a recording device (and once against the real device
// where this machine has one), observed through the program hooks.
#include "app/DragRotation.h"
#include "app/WinMain.h"
#include "support/ChildProcess.h"
#include "support/RecordingDevice.h"
#include "support/TempFolder.h"

#include <tarnvale_platform.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using testing_support::RecordingDevice;

namespace {

// A Direct3D object whose every device is the test's recording device.
class FakeDirect3D final : public IDirect3D9 {
public:
    RecordingDevice device;
    ULONG references = 1;

    HRESULT WINAPI QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG WINAPI AddRef() override { return ++references; }
    ULONG WINAPI Release() override { return --references; }
    UINT WINAPI GetAdapterCount() override { return 1; }
    HRESULT WINAPI GetAdapterDisplayMode(UINT, D3DDISPLAYMODE* mode) override
    {
        *mode = {1280, 1024, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    HRESULT WINAPI CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9** result) override
    {
        *result = &device;
        return D3D_OK;
    }
};

FakeDirect3D* fake = nullptr;
IDirect3D9* createFake(UINT) { return fake; }
IDirect3D9* createNothing(UINT) { return nullptr; }

struct LoopProbe {
    std::vector<UINT> toPost;             // (message, wParam, lParam) triples, posted once the window exists
    uint64_t stopAfter = 0;               // afterFrame answers false at this frame (0: never)
    uint64_t frames = 0;
    std::vector<int> pendingAfterFrame;   // queue length after each frame
    std::vector<uint64_t> sleepsAtFrame;  // Sleep calls so far, after each frame
    std::vector<size_t> presentsAtFrame;  // Present calls so far, after each frame
    DragRotation dragAtFrame[8] = {};
};

void postScript(HWND window, void* user)
{
    auto* probe = static_cast<LoopProbe*>(user);
    for (size_t i = 0; i + 2 < probe->toPost.size(); i += 3)
        PostMessageA(window, probe->toPost[i], probe->toPost[i + 1], static_cast<LPARAM>(probe->toPost[i + 2]));
}

bool recordFrame(Application&, IDirect3DDevice9* device, uint64_t frame, void* user)
{
    auto* probe = static_cast<LoopProbe*>(user);
    EXPECT_NE(device, nullptr);
    probe->frames = frame;
    probe->pendingAfterFrame.push_back(tvplat::pendingMessageCount());
    probe->sleepsAtFrame.push_back(tvplat::sleepCallCount());
    if (fake != nullptr && device == &fake->device) probe->presentsAtFrame.push_back(fake->device.count("Present"));
    if (frame < 8) probe->dragAtFrame[frame] = dragRotation;
    if (frame > 1000) return false;  // a loop that does not end is a failure, not a hang
    return probe->stopAfter == 0 || frame < probe->stopAfter;
}

class ProgramLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        tvplat::clearMessageBoxLog();
        tvplat::resetMessageQueue();
        dragRotation = DragRotation{};
        fake = new FakeDirect3D;
    }
    void TearDown() override
    {
        delete fake;
        fake = nullptr;
        tvplat::resetMessageQueue();
        dragRotation = DragRotation{};
    }

    int run(LoopProbe& probe, IDirect3D9* (*createDirect3D)(UINT) = createFake)
    {
        ProgramHooks hooks;
        hooks.windowCreated = postScript;
        hooks.afterFrame = recordFrame;
        hooks.user = &probe;
        hooks.createDirect3D = createDirect3D;
        return runProgram(GetModuleHandleA(NULL), hooks);
    }
};

TEST_F(ProgramLoop, OneMessagePerFrameAndNoFrameAfterTheQuitMessage)
{
    LoopProbe probe;
    for (UINT i = 0; i < 5; ++i)
        probe.toPost.insert(probe.toPost.end(), {WM_USER + i, 0, 0});
    probe.toPost.insert(probe.toPost.end(), {WM_KEYDOWN, VK_ESCAPE, 0x00010001});
    const uint64_t sleepsBefore = tvplat::sleepCallCount();

    EXPECT_EQ(run(probe), 0);
    // Five messages, then Esc: six turns with a frame each; the seventh turn
    // removes WM_QUIT and runs no frame.
    EXPECT_EQ(probe.frames, 6u);
    EXPECT_EQ(probe.pendingAfterFrame, (std::vector<int>{5, 4, 3, 2, 1, 1}));
    EXPECT_EQ(probe.presentsAtFrame, (std::vector<size_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(fake->device.count("Present"), 6u);
    // One Sleep(0) after each frame, none before the first.
    ASSERT_EQ(probe.sleepsAtFrame.size(), 6u);
    for (size_t i = 0; i < probe.sleepsAtFrame.size(); ++i)
        EXPECT_EQ(probe.sleepsAtFrame[i] - sleepsBefore, i) << "after frame " << i + 1;
    EXPECT_EQ(tvplat::pendingMessageCount(), 0);
    // Orderly teardown: every resource the components made is released, and
    // the Direct3D object too.
    EXPECT_EQ(fake->device.liveObjects(), 0);
    EXPECT_EQ(fake->references, 0u);
}

TEST_F(ProgramLoop, CloseEndsTheLoopAndEachFrameSeesTheDragOfOneMessage)
{
    LoopProbe probe;
    probe.toPost = {WM_LBUTTONDOWN, MK_LBUTTON, (20u << 16) | 10u,   //
                    WM_MOUSEMOVE,   MK_LBUTTON, (20u << 16) | 60u,   //
                    WM_MOUSEMOVE,   MK_LBUTTON, (25u << 16) | 100u,  //
                    WM_LBUTTONUP,   0,          (25u << 16) | 100u,  //
                    WM_CLOSE,       0,          0};
    EXPECT_EQ(run(probe), 0);
    EXPECT_EQ(probe.frames, 5u);
    EXPECT_TRUE(probe.dragAtFrame[1].dragging);
    EXPECT_EQ(probe.dragAtFrame[1].yawDegrees, 0);
    EXPECT_EQ(probe.dragAtFrame[2].yawDegrees, 50);
    EXPECT_EQ(probe.dragAtFrame[3].yawDegrees, 90);
    EXPECT_EQ(probe.dragAtFrame[3].pitchDegrees, -5);
    EXPECT_FALSE(probe.dragAtFrame[4].dragging);
    EXPECT_EQ(probe.dragAtFrame[4].yawDegrees, 90);
}

TEST_F(ProgramLoop, AHookCanEndTheRunWhichThenExitsNormally)
{
    LoopProbe probe;
    probe.stopAfter = 3;
    EXPECT_EQ(run(probe), 0);
    EXPECT_EQ(probe.frames, 3u);
    EXPECT_EQ(fake->device.count("Present"), 3u);
    EXPECT_EQ(fake->device.liveObjects(), 0);
}

TEST_F(ProgramLoop, NoDeviceEndsTheStartWithStatusOneAndNoFrame)
{
    LoopProbe probe;
    EXPECT_EQ(run(probe, createNothing), 1);
    EXPECT_EQ(probe.frames, 0u);
    ASSERT_GE(tvplat::messageBoxCount(), 1);
    EXPECT_STREQ(tvplat::messageBoxAt(0).caption, "Error");
}

// Run from a folder without the shader sources and images: the application
// cannot be built, has said why, and the start fails after an orderly
// teardown instead of running frames without its shaders.
TEST_F(ProgramLoop, AnApplicationThatIsNotReadyEndsTheStartWithStatusOne)
{
    LoopProbe probe;
    int status = 0;
    {
        testsupport::TempFolder empty("shell-empty");
        empty.enter();
        status = run(probe);
    }

    EXPECT_EQ(status, 1);
    EXPECT_EQ(probe.frames, 0u);
    EXPECT_GE(tvplat::messageBoxCount(), 1);
    EXPECT_EQ(fake->device.liveObjects(), 0);
    EXPECT_EQ(fake->references, 0u);
}

// The whole program on this machine's real device (offscreen; Mesa's
// software rasteriser where there is no GPU): Esc after a few frames ends it
// with status 0.
bool pressEscapeAtFrame3(Application&, IDirect3DDevice9*, uint64_t frame, void* user)
{
    *static_cast<uint64_t*>(user) = frame;
    if (frame == 3) PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    return frame < 100;
}

TEST(ProgramOnRealDevice, RunsFramesAndQuitsOnEscape)
{
    tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
    tvplat::clearMessageBoxLog();
    tvplat::resetMessageQueue();
    uint64_t frames = 0;
    ProgramHooks hooks;
    hooks.afterFrame = pressEscapeAtFrame3;
    hooks.user = &frames;
    const int status = runProgram(GetModuleHandleA(NULL), hooks);
    EXPECT_EQ(status, 0) << (tvplat::messageBoxCount() > 0 ? tvplat::messageBoxAt(tvplat::messageBoxCount() - 1).text
                                                           : "no message box");
    EXPECT_EQ(frames, 4u);  // the Esc message is handled in the fourth turn, which still runs its frame
    tvplat::resetMessageQueue();
    dragRotation = DragRotation{};
}

// A start without a window fails: the window layer gives the reason, first
// (what the display libraries said while looking is part of it, not a line
// ahead of it), the device set-up reports, the status is 1. That is so for a
// video driver that cannot start, and for no display at all or one that does
// not answer, where SDL would fall back to its offscreen driver and the
// program would run unseen, for ever; that driver only when asked for by
// name. No XDG_RUNTIME_DIR either: the Wayland library has its say.
TEST(ProgramStart, FailsWithStatusOneWhenNoWindowCanOpen)
{
    if (testsupport::isTestChild()) {
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        std::exit(runProgram(GetModuleHandleA(NULL), ProgramHooks{}));
    }
    const struct {
        std::vector<std::string> environment;
        const char* reason;
    } starts[] = {
        {{"SDL_VIDEODRIVER=no-such-driver"}, ""},
        {{"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"},
         "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"},
        {{"SDL_VIDEODRIVER", "DISPLAY=:65000", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"},
         "no display answers (DISPLAY=:65000)"},
    };
    for (const auto& start : starts) {
        const testsupport::ChildRun run = testsupport::runThisTestInChild(start.environment);
        EXPECT_TRUE(run.exitedWith(1)) << start.environment[0] << ": " << run.describe();
        const size_t firstLineEnd = run.err.find('\n');
        EXPECT_NE(run.err.substr(0, firstLineEnd).find(std::string("cannot open a window: ") + start.reason),
                  std::string::npos)
            << run.err;
        // The device set-up's message box, after it.
        EXPECT_NE(run.err.find("Error: Couldn't create even a REF device", firstLineEnd), std::string::npos) << run.err;
    }
}

}  // namespace
