// The application object against a recording device and a scripted clock:
// what it builds and in which order, the frame's device calls, the frame
// clock and the frame-rate text, and teardown.
#include "app/Application.h"
#include "app/MainWindow.h"
#include "scene/Ball.h"
#include "scene/BallRack.h"
#include "support/RecordingDevice.h"
#include "support/TempFolder.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"
#include "text/TextRenderer.h"

#include <gtest/gtest.h>

#include <tarnvale_platform.h>


#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testing_support::FakeVertexBuffer;
using testing_support::RecordedCall;
using testing_support::RecordingDevice;

namespace {

const int64_t second = 1000000000;  // scripted clock ticks (ns) per second
const int64_t eighth = second / 8;
const int64_t startReading = 1000 * second;
const char* const deviceText = "REF, Software Vertex Processing";

class ApplicationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { window = new MainWindow(GetModuleHandleA(NULL), "Tarnvale", 1024, 768); }
    static void TearDownTestSuite()
    {
        delete window;
        window = nullptr;
    }

    void SetUp() override
    {
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        tvplat::clearMessageBoxLog();
        // Frames advance the clock only when a test says so.
        tvplat::useScriptedClock(startReading, eighth, tvplat::ClockStep::PerFrame);
    }
    void TearDown() override { tvplat::useRealClock(); }

    std::unique_ptr<Application> make(bool debugMode = false, float width = 1024.0f, float height = 768.0f)
    {
        auto app = std::make_unique<Application>(&device, GetModuleHandleA(NULL), window->handle(),
                                                 std::string(deviceText), width, height, debugMode);
        return app;
    }

    // Runs one frame that took `eighths` eighths of a second of clock time.
    void frame(Application& app, int eighths)
    {
        for (int i = 0; i < eighths; ++i)
            tvplat::advanceScriptedClock();
        app.runFrame();
    }

    static std::string fpsText(const Application& app) { return app.frameRateLabel()->currentText(); }

    static MainWindow* window;
    RecordingDevice device;
};
MainWindow* ApplicationTest::window = nullptr;

size_t indexOf(const std::vector<RecordedCall>& calls, const std::string& name, size_t from = 0)
{
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].name == name)
            return i;
    return calls.size();
}

size_t firstStreamSource(const std::vector<RecordedCall>& calls, const void* buffer)
{
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].name == "SetStreamSource" && calls[i].args.size() > 1 &&
            calls[i].args[1] == testing_support::ptrArg(buffer))
            return i;
    return calls.size();
}

}  // namespace

TEST_F(ApplicationTest, BuildsTheLabelsWithTheirTextsPositionsAndOrder)
{
    struct Case {
        bool debugMode;
        float width, height;
    };
    for (const Case c : {Case{false, 1024.0f, 768.0f}, Case{true, 1024.0f, 768.0f}, Case{true, 800.0f, 600.0f}}) {
        SCOPED_TRACE(std::to_string(c.width) + (c.debugMode ? " debug" : ""));
        auto app = make(c.debugMode, c.width, c.height);
        ASSERT_TRUE(app->isReady());

        const BitmapFont* font = app->overlayFont();
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(app->overlay()->fontList().size(), 1u);
        EXPECT_EQ(app->overlay()->fontList()[0], font);
        EXPECT_EQ(font->glyphWidth(), 7u);
        EXPECT_EQ(font->glyphHeight(), 13u);
        EXPECT_EQ(font->sheetSize(), 128u);
        EXPECT_EQ(font->glyphsPerRow(), 18u);

        const std::vector<TextLabel*>& labels = font->labelList();
        ASSERT_EQ(labels.size(), c.debugMode ? 3u : 2u);
        const float halfWidth = c.width * 0.5f;
        const float halfHeight = c.height * 0.5f;

        // Frame rate near the top-right corner, empty until a second has passed.
        EXPECT_EQ(labels[0], app->frameRateLabel());
        EXPECT_EQ(labels[0]->currentText(), "");
        EXPECT_FLOAT_EQ(labels[0]->positionX(), halfWidth - 80.0f);
        EXPECT_FLOAT_EQ(labels[0]->positionY(), halfHeight - 20.0f);
        // Device description near the bottom-left corner.
        EXPECT_EQ(labels[1]->currentText(), deviceText);
        EXPECT_FLOAT_EQ(labels[1]->positionX(), 10.0f - halfWidth);
        EXPECT_FLOAT_EQ(labels[1]->positionY(), 10.0f - halfHeight);
        if (c.debugMode) {
            EXPECT_EQ(labels[2]->currentText(), "Debug mode");
            EXPECT_FLOAT_EQ(labels[2]->positionX(), 10.0f - halfWidth);
            EXPECT_FLOAT_EQ(labels[2]->positionY(), halfHeight - 20.0f);
        }
    }
    // At 1024 x 768 the labels stand at (432, 364) and (-502, -374).
    auto app = make();
    EXPECT_FLOAT_EQ(app->frameRateLabel()->positionX(), 432.0f);
    EXPECT_FLOAT_EQ(app->overlayFont()->labelList()[1]->positionY(), -374.0f);
    EXPECT_EQ(app->deviceDescription(), deviceText);
}

TEST_F(ApplicationTest, BuildsTheOverlayBeforeTheRackAndDrawsNothing)
{
    auto app = make();
    const std::vector<RecordedCall>& calls = device.calls;

    // Only the rack makes a pixel shader; the overlay's sheet texture and
    // the description label's vertices are made before it.
    const size_t pixelShader = indexOf(calls, "CreatePixelShader");
    ASSERT_LT(pixelShader, calls.size());
    const size_t sheet = indexOf(calls, "CreateTexture");
    ASSERT_LT(sheet, pixelShader);
    EXPECT_EQ(calls[sheet].args[0], 128u);
    EXPECT_EQ(calls[sheet].args[1], 128u);
    EXPECT_LT(indexOf(calls, "CreateVertexBuffer"), pixelShader);

    // Construction draws nothing.
    for (const char* name : {"BeginScene", "Clear", "DrawPrimitive", "EndScene", "Present"})
        EXPECT_EQ(device.count(name), 0u) << name;
}

TEST_F(ApplicationTest, FrameDrawsOverlayThenRackBetweenBeginAndEndScene)
{
    auto app = make();
    ASSERT_TRUE(app->isReady());
    const void* descriptionBuffer = app->overlayFont()->labelList()[1]->buffer();
    ASSERT_FALSE(app->rack()->ballList().empty());
    const void* firstBallBuffer = app->rack()->ballList()[0]->vertexBuffer();
    ASSERT_NE(descriptionBuffer, nullptr);
    ASSERT_NE(firstBallBuffer, nullptr);

    for (int n = 0; n < 2; ++n) {
        SCOPED_TRACE("frame " + std::to_string(n + 1));
        device.clearCalls();
        frame(*app, 1);
        const std::vector<RecordedCall>& calls = device.calls;
        ASSERT_GE(calls.size(), 4u);

        EXPECT_EQ(calls[0].name, "BeginScene");
        ASSERT_EQ(calls[1].name, "Clear");
        EXPECT_EQ(calls[1].args, (std::vector<uintptr_t>{0, 0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 0}));
        EXPECT_EQ(calls[1].data, std::vector<float>{1.0f});
        EXPECT_EQ(calls[calls.size() - 2].name, "EndScene");
        EXPECT_EQ(calls.back().name, "Present");
        EXPECT_EQ(calls.back().args, (std::vector<uintptr_t>{0, 0, 0, 0}));
        for (const char* name : {"BeginScene", "Clear", "EndScene", "Present"})
            EXPECT_EQ(device.count(name), 1u) << name;

        // The overlay is drawn before the balls.
        const size_t label = firstStreamSource(calls, descriptionBuffer);
        const size_t ball = firstStreamSource(calls, firstBallBuffer);
        EXPECT_LT(label, ball);
        EXPECT_LT(ball, calls.size());
        EXPECT_GE(device.count("DrawPrimitive"), 17u);  // the description and sixteen balls
    }
}

TEST_F(ApplicationTest, FrameRateTextIsWrittenOnceASecondWithoutCarry)
{
    auto app = make();
    const std::string empty;

    // Frames of 0.25 s: the fourth brings the total to one second and
    // writes the three frames counted before it.
    for (int n = 1; n <= 3; ++n) {
        frame(*app, 2);
        EXPECT_EQ(fpsText(*app), empty) << "frame " << n;
    }
    frame(*app, 2);
    EXPECT_EQ(fpsText(*app), "FPS: 3");
    const FakeVertexBuffer* buffer = dynamic_cast<const FakeVertexBuffer*>(app->frameRateLabel()->buffer());
    ASSERT_NE(buffer, nullptr);
    const int writes = buffer->lockCount;

    // The count restarts: four frames later the text is written again, and
    // not in between.
    for (int n = 5; n <= 7; ++n) {
        frame(*app, 2);
        EXPECT_EQ(buffer->lockCount, writes) << "frame " << n;
    }
    frame(*app, 2);
    EXPECT_EQ(buffer->lockCount, writes + 1);
    EXPECT_EQ(fpsText(*app), "FPS: 3");

    // Eight frames of 0.125 s: seven counted.
    for (int n = 0; n < 7; ++n)
        frame(*app, 1);
    EXPECT_EQ(fpsText(*app), "FPS: 3");
    frame(*app, 1);
    EXPECT_EQ(fpsText(*app), "FPS: 7");

    // 0.75 + 0.5 s passes the second with a quarter to spare; the spare
    // quarter is dropped, so the next 0.75 s does not reach a second.
    frame(*app, 6);
    frame(*app, 4);
    EXPECT_EQ(fpsText(*app), "FPS: 1");
    frame(*app, 6);
    EXPECT_EQ(fpsText(*app), "FPS: 1");
    const int before = buffer->lockCount;
    frame(*app, 2);
    EXPECT_EQ(buffer->lockCount, before + 1);
    EXPECT_EQ(fpsText(*app), "FPS: 1");
}

TEST_F(ApplicationTest, FirstFrameOverASecondWritesZero)
{
    auto app = make();
    frame(*app, 12);
    EXPECT_EQ(fpsText(*app), "FPS: 0");
    // The frame after an update starts a new count.
    frame(*app, 9);
    EXPECT_EQ(fpsText(*app), "FPS: 0");
}

TEST_F(ApplicationTest, FirstFrameIsTimedFromTheEndOfConstruction)
{
    // Every counter reading advances the clock by 0.25 s, so each reading
    // before the application's last one in construction (the rack's seed)
    // would lengthen the first frame, and an unset counter would make it
    // last a thousand seconds.
    tvplat::useScriptedClock(startReading, 2 * eighth, tvplat::ClockStep::PerReading);
    auto app = make();
    for (int n = 1; n <= 3; ++n) {
        app->runFrame();
        EXPECT_EQ(fpsText(*app), "") << "frame " << n;
    }
    app->runFrame();
    EXPECT_EQ(fpsText(*app), "FPS: 3");
}

TEST_F(ApplicationTest, TeardownReleasesEverythingOnce)
{
    auto app = make(true);
    frame(*app, 1);
    EXPECT_GT(device.liveObjects(), 0);
    app.reset();
    EXPECT_EQ(device.liveObjects(), 0);
    EXPECT_EQ(device.destroyedObjects(), device.createdObjects());
}

TEST_F(ApplicationTest, MissingShaderLeavesTheApplicationNotReadyAndUndrawn)
{
    const fs::path repository = fs::current_path();

    // Each run lacks one of the shader sources.
    for (const char* missing : {"superellipsoid.psh", "superellipsoid.vsh", "textfont.vsh"}) {
        SCOPED_TRACE(missing);
        testsupport::TempFolder scratch("app-test");
        fs::create_directory_symlink(repository / "res", scratch / "res");
        for (const char* shader : {"superellipsoid.vsh", "superellipsoid.psh", "textfont.vsh"})
            if (std::string(shader) != missing)
                fs::create_symlink(repository / shader, scratch / shader);

        scratch.enter();
        tvplat::clearMessageBoxLog();
        {
            auto app = make();
            EXPECT_FALSE(app->isReady());
            // The user was told, naming the file.
            ASSERT_GE(tvplat::messageBoxCount(), 1);
            EXPECT_NE(std::string(tvplat::messageBoxAt(0).text).find(missing), std::string::npos)
                << tvplat::messageBoxAt(0).text;

            device.clearCalls();
            frame(*app, 1);
            EXPECT_TRUE(device.calls.empty());
        }
        EXPECT_EQ(device.liveObjects(), 0);
    }
}
