// The entry sequence and the message loop, run with the real window, device
// and application (offscreen), observed through the program hooks.
#include "app/DragRotation.h"
#include "app/WinMain.h"

#include <tarnvale_platform.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct LoopProbe {
    std::vector<UINT> toPost;           // posted to the window before the device exists
    uint64_t stopAfter = 0;             // afterFrame answers false at this frame (0: never)
    uint64_t frames = 0;
    std::vector<int> pendingAfterFrame;  // queue length after each frame
    std::vector<uint64_t> sleepsAtFrame; // Sleep calls so far, after each frame
    DragRotation dragAtFrame[8] = {};
};

void postScript(HWND window, void* user)
{
    auto* probe = static_cast<LoopProbe*>(user);
    for (size_t i = 0; i < probe->toPost.size(); i += 3)
        PostMessageA(window, probe->toPost[i], probe->toPost[i + 1], static_cast<LPARAM>(probe->toPost[i + 2]));
}

bool recordFrame(Application&, IDirect3DDevice9* device, uint64_t frame, void* user)
{
    auto* probe = static_cast<LoopProbe*>(user);
    EXPECT_NE(device, nullptr);
    probe->frames = frame;
    probe->pendingAfterFrame.push_back(tvplat::pendingMessageCount());
    probe->sleepsAtFrame.push_back(tvplat::sleepCallCount());
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
    }
    void TearDown() override
    {
        tvplat::resetMessageQueue();
        dragRotation = DragRotation{};
    }

    // Runs the program; skips the test when this machine gives no device
    // (the device set-up then says so in its message boxes).
    int run(LoopProbe& probe)
    {
        ProgramHooks hooks;
        hooks.windowCreated = postScript;
        hooks.afterFrame = recordFrame;
        hooks.user = &probe;
        const int status = runProgram(GetModuleHandleA(NULL), hooks);
        if (status != 0 && probe.frames == 0 && tvplat::messageBoxCount() > 0) noDevice = true;
        return status;
    }

    bool noDevice = false;
};

TEST_F(ProgramLoop, OneMessagePerFrameAndNoFrameAfterTheQuitMessage)
{
    LoopProbe probe;
    for (UINT i = 0; i < 5; ++i)
        probe.toPost.insert(probe.toPost.end(), {WM_USER + i, 0, 0});
    probe.toPost.insert(probe.toPost.end(), {WM_KEYDOWN, VK_ESCAPE, 0x00010001});
    const int status = run(probe);
    if (noDevice) GTEST_SKIP() << "no Direct3D device here: " << tvplat::messageBoxAt(0).text;

    EXPECT_EQ(status, 0);
    // Five messages, then Esc: six turns with a frame each; the seventh turn
    // removes WM_QUIT and runs no frame.
    EXPECT_EQ(probe.frames, 6u);
    EXPECT_EQ(probe.pendingAfterFrame, (std::vector<int>{5, 4, 3, 2, 1, 1}));
    // One Sleep(0) between consecutive frames.
    for (size_t i = 1; i < probe.sleepsAtFrame.size(); ++i)
        EXPECT_EQ(probe.sleepsAtFrame[i] - probe.sleepsAtFrame[i - 1], 1u) << "frame " << i + 1;
    EXPECT_EQ(tvplat::pendingMessageCount(), 0);
}

TEST_F(ProgramLoop, CloseEndsTheLoopAndTheDragIsSeenBetweenFrames)
{
    LoopProbe probe;
    probe.toPost = {WM_LBUTTONDOWN, MK_LBUTTON, (20u << 16) | 10u,  //
                    WM_MOUSEMOVE,   MK_LBUTTON, (20u << 16) | 100u, //
                    WM_LBUTTONUP,   0,          (20u << 16) | 100u, //
                    WM_CLOSE,       0,          0};
    const int status = run(probe);
    if (noDevice) GTEST_SKIP() << "no Direct3D device here";

    EXPECT_EQ(status, 0);
    EXPECT_EQ(probe.frames, 4u);
    EXPECT_TRUE(probe.dragAtFrame[1].dragging);
    EXPECT_EQ(probe.dragAtFrame[1].yawDegrees, 0);
    EXPECT_EQ(probe.dragAtFrame[2].yawDegrees, 90);  // one message, then one frame
    EXPECT_FALSE(probe.dragAtFrame[3].dragging);
    EXPECT_EQ(probe.dragAtFrame[3].yawDegrees, 90);
}

TEST_F(ProgramLoop, AHookCanEndTheRunWhichThenExitsNormally)
{
    LoopProbe probe;
    probe.stopAfter = 3;
    const int status = run(probe);
    if (noDevice) GTEST_SKIP() << "no Direct3D device here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(probe.frames, 3u);
}

std::string selfPath()
{
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// Runs this test binary again with one test selected and extra environment;
// returns the exit status and what it wrote.
int runChild(const std::string& environment, const std::string& filter, std::string& output)
{
    const std::string command =
        environment + " '" + selfPath() + "' --gtest_filter=" + filter + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, count);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A start without a window (the video driver cannot start) fails: the device
// set-up reports it, the window layer gives SDL's reason, the status is 1.
TEST(ProgramStart, FailsWithStatusOneWhenNoWindowCanOpen)
{
    if (std::getenv("TARNVALE_TEST_CHILD") != nullptr) {
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        std::exit(runProgram(GetModuleHandleA(NULL), ProgramHooks{}));
    }
    std::string output;
    const int status = runChild("TARNVALE_TEST_CHILD=1 SDL_VIDEODRIVER=no-such-driver TARNVALE_MESSAGEBOX=stderr",
                                "ProgramStart.FailsWithStatusOneWhenNoWindowCanOpen", output);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("cannot open a window"), std::string::npos) << output;
    EXPECT_NE(output.find("Error: "), std::string::npos) << output;  // the device set-up's message box
}

}  // namespace
