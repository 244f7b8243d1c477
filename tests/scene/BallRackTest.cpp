// The rack against the recording device: layout and seeded orientations,
// the exact calls of a frame, the constants with and without a drag, and
// shader problems that must stop the program instead of drawing.
#include "app/DragRotation.h"
#include "scene/Ball.h"
#include "scene/BallRack.h"
#include "support/RecordingDevice.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <tarnvale_platform.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

using testing_support::Fail;
using testing_support::RecordedCall;
using testing_support::RecordingDevice;
using testing_support::ptrArg;

namespace fs = std::filesystem;

namespace {

const float rackPositions[16][2] = {{-400, 355}, {-200, 350}, {0, 350},    {200, 350},   {400, 350}, {-300, 175},
                                    {-100, 175}, {100, 175},  {300, 175},  {-200, 0},    {0, 0},     {200, 0},
                                    {-100, -175}, {100, -175}, {0, -350}, {0, -600}};

class BallRackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dragRotation = {};
        tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
        tvplat::clearMessageBoxLog();
    }
    void TearDown() override
    {
        dragRotation = {};
        tvplat::useRealClock();
    }

    // A rack whose random seed is `seed` (the counter's first reading).
    std::unique_ptr<BallRack> makeRack(int64_t seed)
    {
        tvplat::useScriptedClock(seed, 1000, tvplat::ClockStep::PerFrame);
        return std::make_unique<BallRack>(pointer);
    }

    // The sixteen floats that one draw loaded into `firstRegister` for ball
    // `ball` (0-15); the frame's calls must be the only ones recorded.
    std::vector<float> constants(size_t ball, UINT firstRegister) const
    {
        const auto loads = device.callsNamed("SetVertexShaderConstantF");
        const RecordedCall& call = loads.at(1 + 3 * ball + firstRegister / 4);
        EXPECT_EQ(call.args[0], firstRegister);
        return call.data;
    }

    // The centre of ball `ball` in view space: row 3 of world * view, which
    // the transposed load puts in the registers' w components.
    void expectViewCentre(size_t ball, float x, float y, float z) const
    {
        const std::vector<float> c = constants(ball, 0);
        EXPECT_NEAR(c[3], x, 1e-3f) << "ball " << ball + 1;
        EXPECT_NEAR(c[7], y, 1e-3f) << "ball " << ball + 1;
        EXPECT_NEAR(c[11], z, 1e-3f) << "ball " << ball + 1;
    }

    RecordingDevice device;
    IDirect3DDevice9* pointer = &device;
};

// Runs `body` with the working folder switched to a fresh folder holding the
// given shader sources (file name -> text; an empty text copies the real one).
template <typename Body>
void inShaderFolder(const std::vector<std::pair<std::string, std::string>>& files, Body body)
{
    testsupport::TempFolder folder("scene");
    for (const auto& [name, text] : files) {
        if (text.empty())
            fs::copy_file(fs::path(TARNVALE_SOURCE_DIR) / name, folder / name);
        else
            std::ofstream(folder / name) << text;
    }
    folder.enter();
    body();
}

}  // namespace

TEST_F(BallRackTest, LayoutAndOrientationsFromTheCounterSeed)
{
    const int64_t seed = 1234567;
    std::unique_ptr<BallRack> rack = makeRack(seed);
    ASSERT_TRUE(rack->isReady());
    ASSERT_EQ(rack->ballList().size(), 16u);

    // The three numbers of each ball, in creation order: first to z, last to x.
    srand(static_cast<unsigned int>(seed));
    for (size_t i = 0; i < 16; ++i) {
        const Ball* ball = rack->ballList()[i];
        const int r1 = rand() % 100, r2 = rand() % 100, r3 = rand() % 100;
        Matrix4 expected;
        expected.setRotation(AxisAngle(Vector3(0.1f * r3, 0.1f * r2, 0.1f * r1), 45.0f));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(ball->world().at(r, c), expected.at(r, c), 1e-5f) << i;
        EXPECT_EQ(ball->world().at(3, 0), rackPositions[i][0]) << "ball " << i + 1;
        EXPECT_EQ(ball->world().at(3, 1), rackPositions[i][1]) << "ball " << i + 1;
        EXPECT_EQ(ball->world().at(3, 2), 0.0f);
        EXPECT_EQ(ball->triangleCount(), 4224);
        EXPECT_NE(ball->texture(), nullptr) << "ball " << i + 1;
    }

    // Another seed turns the balls differently but puts them in the same places.
    std::unique_ptr<BallRack> other = makeRack(seed + 1);
    int differing = 0;
    for (size_t i = 0; i < 16; ++i) {
        const Matrix4& a = rack->ballList()[i]->world();
        const Matrix4& b = other->ballList()[i]->world();
        differing += std::fabs(a.at(0, 0) - b.at(0, 0)) > 1e-4f;
        for (int c = 0; c < 4; ++c) EXPECT_EQ(a.at(3, c), b.at(3, c));
    }
    EXPECT_GT(differing, 8);

    other.reset();
    rack.reset();
    EXPECT_EQ(device.liveObjects(), 0) << "the rack must release everything it made";
}

// The calls of one frame, in order, and the same again on the next frame.
TEST_F(BallRackTest, DrawMakesTheFramesCallsInOrder)
{
    std::unique_ptr<BallRack> rack = makeRack(7);
    device.clearCalls();
    rack->draw();
    const std::vector<RecordedCall> first = device.calls;
    ASSERT_EQ(first.size(), 8u + 16u * 6u);

    auto expectCall = [&](size_t index, const char* name, std::vector<uintptr_t> args) {
        EXPECT_EQ(first[index].name, name) << "call " << index;
        EXPECT_EQ(first[index].args, args) << "call " << index << " " << name;
    };
    expectCall(0, "SetVertexShaderConstantF", {12, 1});
    EXPECT_EQ(std::vector<float>(first[0].data.begin(), first[0].data.begin() + 3), (std::vector<float>{1, 1, -0.6f}));
    expectCall(1, "SetSamplerState", {0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR});
    expectCall(2, "SetSamplerState", {0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR});
    expectCall(3, "SetSamplerState", {0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR});
    expectCall(4, "SetRenderState", {D3DRS_FILLMODE, D3DFILL_SOLID});
    EXPECT_EQ(first[5].name, "SetVertexDeclaration");
    EXPECT_EQ(first[6].name, "SetVertexShader");
    EXPECT_EQ(first[7].name, "SetPixelShader");
    EXPECT_NE(first[5].args[0], 0u);
    EXPECT_NE(first[6].args[0], 0u);
    EXPECT_NE(first[7].args[0], 0u);

    for (size_t i = 0; i < 16; ++i) {
        const Ball* ball = rack->ballList()[i];
        const size_t at = 8 + 6 * i;
        expectCall(at + 0, "SetVertexShaderConstantF", {0, 4});
        expectCall(at + 1, "SetVertexShaderConstantF", {4, 4});
        expectCall(at + 2, "SetVertexShaderConstantF", {8, 4});
        expectCall(at + 3, "SetTexture", {0, ptrArg(ball->texture())});
        expectCall(at + 4, "SetStreamSource", {0, ptrArg(ball->vertexBuffer()), 0, 32});
        expectCall(at + 5, "DrawPrimitive", {D3DPT_TRIANGLELIST, 0, 4224});
    }
    // The cue ball is drawn last.
    EXPECT_EQ(first[8 + 6 * 15 + 4].args[1], ptrArg(rack->ballList()[15]->vertexBuffer()));
    EXPECT_EQ(rack->ballList()[15]->world().at(3, 1), -600.0f);

    // Nothing accumulates from one frame to the next.
    device.clearCalls();
    rack->draw();
    ASSERT_EQ(device.calls.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(device.calls[i].name, first[i].name) << i;
        EXPECT_EQ(device.calls[i].args, first[i].args) << i;
        EXPECT_EQ(device.calls[i].data, first[i].data) << i;
    }
}

TEST_F(BallRackTest, ConstantsWithoutDrag)
{
    std::unique_ptr<BallRack> rack = makeRack(99);
    device.clearCalls();
    rack->draw();

    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(constants(i, 0), constants(i, 4)) << "c0-c3 and c4-c7 of ball " << i + 1;
        expectViewCentre(i, rackPositions[i][0], rackPositions[i][1], 1500.0f);
    }

    // Ball 11 sits at the origin: c0-c3 are its rotation transposed, with the
    // camera distance in the fourth column.
    const Matrix4& world = rack->ballList()[10]->world();
    const std::vector<float> wv = constants(10, 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(wv[4 * r + c], world.at(c, r));
    EXPECT_EQ(wv[12], 0.0f);
    EXPECT_EQ(wv[13], 0.0f);
    EXPECT_EQ(wv[14], 0.0f);
    EXPECT_EQ(wv[15], 1.0f);

    // c8-c11 carry the projection too: the clip w of a point is its view z.
    const std::vector<float> wvp = constants(10, 8);
    EXPECT_NEAR(wvp[15], 1500.0f, 1e-3f);
    EXPECT_NEAR(wvp[11], 1500.0f * 1.25f - 625.0f, 1e-3f);
}

TEST_F(BallRackTest, DragTurnsTheWholeRackAboutTheOrigin)
{
    std::unique_ptr<BallRack> rack = makeRack(5);

    dragRotation.pitchDegrees = 90;  // dragged up: +y turns towards +z, away from the camera
    device.clearCalls();
    rack->draw();
    expectViewCentre(2, 0.0f, 0.0f, 1500.0f + 350.0f);   // ball 3
    expectViewCentre(15, 0.0f, 0.0f, 1500.0f - 600.0f);  // the cue ball comes nearer
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(constants(i, 0), constants(i, 4));

    dragRotation = {};
    dragRotation.yawDegrees = 90;  // dragged right: +x turns towards +z
    device.clearCalls();
    rack->draw();
    expectViewCentre(4, 0.0f, 350.0f, 1500.0f + 400.0f);  // ball 5
    expectViewCentre(0, 0.0f, 355.0f, 1500.0f - 400.0f);  // ball 1

    // Pitch first, then yaw: ball 3 goes to +z, then round to -x.
    dragRotation.pitchDegrees = 90;
    device.clearCalls();
    rack->draw();
    expectViewCentre(2, -350.0f, 0.0f, 1500.0f);

    // A drag never changes the balls themselves.
    EXPECT_EQ(rack->ballList()[2]->world().at(3, 1), 350.0f);
}

// With an all-zero axis the angle stays 45 and the rotation formula leaves
// cos 45 on the diagonal: that ball is drawn at about half size, unturned.
TEST_F(BallRackTest, ZeroAxisBallIsScaledByCos45)
{
    const int64_t seed = 811446;  // ball 11 draws 0, 0, 0 (the 31st to 33rd numbers)

    std::unique_ptr<BallRack> rack = makeRack(seed);
    const Matrix4& world = rack->ballList()[10]->world();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(world.at(r, c), r == c ? 0.5253220f : 0.0f, 1e-6f);
    device.clearCalls();
    rack->draw();
    EXPECT_NEAR(constants(10, 0)[0], 0.5253220f, 1e-6f);
}

TEST_F(BallRackTest, BallWithoutMeshIsSkipped)
{
    device.inject(Fail::CreateVertexBuffer, 1);  // ball 1 gets no buffer
    std::unique_ptr<BallRack> rack = makeRack(3);
    ASSERT_TRUE(rack->isReady());
    ASSERT_EQ(rack->ballList()[0]->vertexBuffer(), nullptr);
    device.clearCalls();
    rack->draw();
    EXPECT_EQ(device.count("DrawPrimitive"), 15u);
    for (const RecordedCall& call : device.callsNamed("SetStreamSource")) EXPECT_NE(call.args[1], 0u);
}

// A missing or broken shader, or one the device refuses: the user is told
// which file and why, the rack reports it is not ready and draws nothing,
// and everything it did get is released.
TEST_F(BallRackTest, ShaderProblemsAreReportedAndStopTheRack)
{
    auto expectStopped = [&](const char* file, const char* what) {
        SCOPED_TRACE(what);
        std::unique_ptr<BallRack> rack = std::make_unique<BallRack>(pointer);
        EXPECT_FALSE(rack->isReady());
        ASSERT_EQ(tvplat::messageBoxCount(), 1);
        const tvplat::MessageBoxRecord box = tvplat::messageBoxAt(0);
        EXPECT_STREQ(box.caption, "Error");
        const std::string text = box.text;
        // Named first, once: "file: why" or the compiler's "file(line): why".
        const size_t named = std::strlen(file);
        EXPECT_EQ(text.rfind(file, 0), 0u) << text;
        EXPECT_TRUE(text.compare(named, 2, ": ") == 0 || text.compare(named, 1, "(") == 0) << text;
        EXPECT_NE(text.rfind(std::string(file) + ": " + file, 0), 0u) << "the file named twice: " << text;
        EXPECT_GT(text.size(), std::strlen(file) + 8) << "the message should say why: " << text;
        device.clearCalls();
        rack->draw();
        EXPECT_TRUE(device.calls.empty());
        rack.reset();
        EXPECT_EQ(device.liveObjects(), 0);
        tvplat::clearMessageBoxLog();
    };

    inShaderFolder({{"superellipsoid.psh", ""}}, [&] {
        expectStopped("superellipsoid.vsh", "missing vertex shader");
        EXPECT_EQ(device.count("CreateVertexShader"), 0u) << "no shader from a null buffer";
    });
    inShaderFolder({{"superellipsoid.vsh", ""}, {"superellipsoid.psh", "float4 main() : COLOR0 { return oops; }\n"}},
                   [&] { expectStopped("superellipsoid.psh", "pixel shader that does not compile"); });
    inShaderFolder({{"superellipsoid.vsh", ""}, {"superellipsoid.psh", ""}}, [&] {
        device.inject(Fail::CreateVertexShader, 1);
        expectStopped("superellipsoid.vsh", "vertex shader refused by the device");
    });

    IDirect3DDevice9* noDevice = nullptr;
    BallRack orphan(noDevice);
    EXPECT_FALSE(orphan.isReady());
    orphan.draw();
    EXPECT_EQ(orphan.ballList()[0]->triangleCount(), 0);
}
