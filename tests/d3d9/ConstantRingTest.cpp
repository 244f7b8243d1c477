// The ring that shader constants are uploaded into: a segment is written
// again only once the frames that read it are finished, and moving on to the
// next segment asks nothing of GL (a fence there would flush the frame being
// recorded in two on llvmpipe).
#include "D3d9TestSupport.h"

#include "platform/d3d9/UniformRing.h"

#include <tarnvale_d3d9.h>

#include <epoxy/gl.h>

#include <algorithm>

using namespace d3d9test;

namespace {

class ConstantRingTest : public DrawingTest {
protected:
    void SetUp() override
    {
        DrawingTest::SetUp();
        if (HasFatalFailure()) return;
        shader = pixelShader(device, colorPixelShader);
        ASSERT_NE(shader, nullptr);
        device->SetPixelShader(shader);
        // One white pixel at (0, 0); each draw moves it with c0.
        const std::vector<Vertex> pixel = quad(-0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0xFFFFFFFF);
        buffer = makeBuffer(pixel.data(), static_cast<UINT>(pixel.size() * sizeof(Vertex)));
        ASSERT_NE(buffer, nullptr);
        device->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    }
    void TearDown() override
    {
        if (device) {
            device->SetStreamSource(0, nullptr, 0, 0);
            device->SetPixelShader(nullptr);
        }
        if (buffer) buffer->Release();
        if (shader) shader->Release();
        DrawingTest::TearDown();
    }

    // Draws the pixel at (x, y): c0 maps pixels to clip space with the
    // origin moved by (x, y).
    HRESULT drawPixelAt(int x, int y)
    {
        const float toClip[4] = {2.0f / width, -2.0f / height, -1.0f + 2.0f * static_cast<float>(x) / width,
                                 1.0f - 2.0f * static_cast<float>(y) / height};
        device->SetVertexShaderConstantF(0, toClip, 1);
        return device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    }

    IDirect3DPixelShader9* shader = nullptr;
    IDirect3DVertexBuffer9* buffer = nullptr;
};

// Every pixel of the back buffer drawn by draws of its own, each with its
// own constants (16 bytes a draw here): more than the ring holds in one
// frame. Had the ring written over constants that earlier draws of the frame
// still had to read, those draws would land on another pixel and leave
// theirs black.
TEST_F(ConstantRingTest, OneFrameMayUploadMoreThanTheRingHolds)
{
    clear();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    for (int round = 0; round < 6; ++round)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) ASSERT_EQ(drawPixelAt(x, y), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const Image image = readBackBuffer(device);
    int black = 0;
    for (UINT y = 0; y < image.height; ++y)
        for (UINT x = 0; x < image.width; ++x)
            if (image.at(x, y) != 0xFFFFFFFFu) ++black;
    EXPECT_EQ(black, 0);
}

// Frames that keep moving the ring on make the same GL calls besides state
// changes every frame (draws, clear, the swap chain's fence and wait):
// leaving a segment makes no fence, and coming round to one that older frames
// used waits for nothing. (State calls do vary: ranges bound before a move
// are bound afresh after it.) That holds while a frame uses less than a
// segment: each frame here uses about half of one, so the ring moves every
// other frame and comes round every few frames.
TEST_F(ConstantRingTest, MovingOnMakesNoFenceAndCostsTheSameEveryFrame)
{
    // Each draw's register takes one slot of the ring: GL places uniform
    // ranges at multiples of an alignment the driver chooses (16 bytes on
    // llvmpipe, 256 on NVIDIA's drivers).
    GLint alignment = 0;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
    const size_t slot = std::max<size_t>(16, static_cast<size_t>(alignment));
    const int drawsPerFrame = static_cast<int>(UniformRing::segmentBytes / 2 / slot);
    ASSERT_GT(drawsPerFrame, 8) << "alignment " << alignment;

    std::vector<uint64_t> calls;
    for (int frame = 0; frame < 16; ++frame) {
        const tvd3d9::DeviceStats before = tvd3d9::deviceStats(device);
        clear();
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        for (int i = 0; i < drawsPerFrame; ++i) ASSERT_EQ(drawPixelAt(i % width, 0), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        const tvd3d9::DeviceStats after = tvd3d9::deviceStats(device);
        calls.push_back((after.glCalls - after.glStateCalls) - (before.glCalls - before.glStateCalls));
    }
    // From the fourth frame on, the swap chain's own wait is part of every
    // frame and nothing else varies.
    for (size_t f = 4; f < calls.size(); ++f) EXPECT_EQ(calls[f], calls[3]) << "frame " << f;
}

}  // namespace
