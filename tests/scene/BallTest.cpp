// One ball against the recording device: the uploaded mesh, its texture,
// placement, and what it owns when a resource cannot be had.
#include "scene/Ball.h"
#include "scene/SuperellipsoidMesh.h"
#include "support/RecordingDevice.h"

#include <gtest/gtest.h>

#include <cstring>

using testing_support::Fail;
using testing_support::RecordingDevice;

namespace {

const char* const ballImage = "res\\3-ball.png";

void expectRow(const Matrix4& m, int row, float a, float b, float c, float d)
{
    EXPECT_FLOAT_EQ(m.at(row, 0), a) << "row " << row;
    EXPECT_FLOAT_EQ(m.at(row, 1), b) << "row " << row;
    EXPECT_FLOAT_EQ(m.at(row, 2), c) << "row " << row;
    EXPECT_FLOAT_EQ(m.at(row, 3), d) << "row " << row;
}

}  // namespace

TEST(Ball, UploadsItsMeshOnceAndLoadsItsImage)
{
    RecordingDevice device;
    IDirect3DDevice9* pointer = &device;
    {
        Ball ball(pointer, ballImage, 100.0f, 1.0f, 1.0f, 64);
        EXPECT_EQ(ball.triangleCount(), 4224);
        EXPECT_EQ(ball.vertexStride(), 32u);
        for (int r = 0; r < 4; ++r) expectRow(ball.world(), r, r == 0, r == 1, r == 2, r == 3);

        const auto creates = device.callsNamed("CreateVertexBuffer");
        ASSERT_EQ(creates.size(), 1u);
        EXPECT_EQ(creates[0].args, (std::vector<uintptr_t>{405504u, 0u, 0u, D3DPOOL_MANAGED, 0u}));
        ASSERT_EQ(device.vertexBuffers.size(), 1u);
        const auto* buffer = device.vertexBuffers[0];
        EXPECT_EQ(ball.vertexBuffer(), static_cast<IDirect3DVertexBuffer9*>(device.vertexBuffers[0]));
        EXPECT_EQ(buffer->lockCount, 1);
        EXPECT_EQ(buffer->unlockCount, 1);

        std::vector<BallVertex> expected;
        ASSERT_TRUE(generateSuperellipsoid(64, 100.0f, 1.0f, 1.0f, expected));
        ASSERT_EQ(buffer->bytes.size(), expected.size() * sizeof(BallVertex));
        EXPECT_EQ(std::memcmp(buffer->bytes.data(), expected.data(), buffer->bytes.size()), 0);

        ASSERT_NE(ball.texture(), nullptr) << "the image should load from the working folder";
        ASSERT_EQ(device.texturesCreated.size(), 1u);
        EXPECT_EQ(device.texturesCreated[0]->levels[0].width, 256u);
    }
    EXPECT_EQ(device.liveObjects(), 0);
}

TEST(Ball, TranslateAddsAndSetRotationStartsOver)
{
    RecordingDevice device;
    IDirect3DDevice9* pointer = &device;
    Ball ball(pointer, ballImage, 100.0f, 1.0f, 1.0f, 8);

    ball.translate(Vector3(-200.0f, 350.0f, 0.0f));
    for (int r = 0; r < 3; ++r) expectRow(ball.world(), r, r == 0, r == 1, r == 2, 0.0f);
    expectRow(ball.world(), 3, -200.0f, 350.0f, 0.0f, 1.0f);
    ball.translate(Vector3(1.0f, 1.0f, 1.0f));
    expectRow(ball.world(), 3, -199.0f, 351.0f, 1.0f, 1.0f);

    // A quarter turn about +y replaces everything, translation included.
    ball.setRotation(AxisAngle(Vector3(0.0f, 3.0f, 0.0f), 3.0f * 1.5707964f));
    EXPECT_NEAR(ball.world().at(0, 2), 1.0f, 1e-6f);
    EXPECT_NEAR(ball.world().at(2, 0), -1.0f, 1e-6f);
    expectRow(ball.world(), 3, 0.0f, 0.0f, 0.0f, 1.0f);
    ball.translate(Vector3(5.0f, 6.0f, 7.0f));
    expectRow(ball.world(), 3, 5.0f, 6.0f, 7.0f, 1.0f);
}

// What a ball holds when something cannot be had, and that it releases
// exactly that: never a pointer it did not get.
TEST(Ball, FailuresLeaveOnlyWhatWasGot)
{
    RecordingDevice device;
    IDirect3DDevice9* pointer = &device;

    {  // A missing image: no texture, the mesh still there.
        Ball ball(pointer, "res\\no-such-ball.png", 100.0f, 1.0f, 1.0f, 16);
        EXPECT_EQ(ball.texture(), nullptr);
        EXPECT_NE(ball.vertexBuffer(), nullptr);
        EXPECT_EQ(device.liveObjects(), 1);
    }
    EXPECT_EQ(device.liveObjects(), 0);
    EXPECT_EQ(device.destroyedObjects(), 1);

    {  // No vertex buffer: no lock, no triangles.
        device.inject(Fail::CreateVertexBuffer, 1);
        Ball ball(pointer, ballImage, 100.0f, 1.0f, 1.0f, 16);
        EXPECT_EQ(ball.vertexBuffer(), nullptr);
        EXPECT_EQ(ball.triangleCount(), 0);
        EXPECT_NE(ball.texture(), nullptr);
    }
    EXPECT_EQ(device.liveObjects(), 0);

    {  // A buffer that cannot be locked holds no mesh and is given back at once.
        device.inject(Fail::LockVertexBuffer, 1);
        const size_t before = device.vertexBuffers.size();
        Ball ball(pointer, "res\\no-such-ball.png", 100.0f, 1.0f, 1.0f, 16);
        EXPECT_EQ(device.vertexBuffers.size(), before + 1);
        EXPECT_EQ(ball.vertexBuffer(), nullptr);
        EXPECT_EQ(ball.triangleCount(), 0);
        EXPECT_EQ(device.liveObjects(), 0);
    }

    {  // A tessellation the generator rejects: the device is not even asked.
        device.clearCalls();
        Ball ball(pointer, "res\\no-such-ball.png", 100.0f, 1.0f, 1.0f, 6);
        EXPECT_EQ(device.count("CreateVertexBuffer"), 0u);
        EXPECT_EQ(ball.vertexBuffer(), nullptr);
        EXPECT_EQ(ball.triangleCount(), 0);
    }
    EXPECT_EQ(device.liveObjects(), 0);
}
