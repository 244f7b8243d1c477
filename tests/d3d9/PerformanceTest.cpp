// The device's frame costs, measured with its own counters and with a count
// of the process's C++ allocations: a repeated frame makes no GL state call,
// constants travel only when they change and only as far as the shaders
// read, programs link once, and a frame allocates nothing.
#include "D3d9TestSupport.h"

#include <tarnvale_d3d9.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
// Set on the thread whose allocations are counted: a driver's own threads
// (a Vulkan driver compiling pipelines under zink) are not the layer's.
thread_local bool countingAllocations = false;
std::atomic<long> allocations{0};
}  // namespace

// Every operator new of the test program goes through here, so a test can
// count the allocations made between two points. All the plain forms are
// replaced together, so each delete matches its new.
namespace {
void* countedAllocation(std::size_t size)
{
    if (countingAllocations) allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size)
{
    if (void* p = countedAllocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    if (void* p = countedAllocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocation(size);
}
// The replacements below pair malloc with free throughout; GCC cannot see
// that once it inlines operator new into a caller, and warns of a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

using namespace d3d9test;

namespace {

class PerformanceTest : public DrawingTest {
protected:
    void SetUp() override
    {
        DrawingTest::SetUp();
        if (HasFatalFailure()) return;
        colorShader = pixelShader(device, colorPixelShader);
        ASSERT_NE(colorShader, nullptr);
        texture = makeTexture(2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});
        const auto a = quad(0, 0, 16, 16, 0.5f, D3DCOLOR_ARGB(255, 200, 100, 50));
        const auto b = quad(16, 0, 32, 16, 0.5f, D3DCOLOR_ARGB(128, 50, 100, 200));
        std::vector<Vertex> both(a);
        both.insert(both.end(), b.begin(), b.end());
        buffer = makeBuffer(both.data(), static_cast<UINT>(both.size() * sizeof(Vertex)));
    }
    void TearDown() override
    {
        if (device) {
            device->SetStreamSource(0, nullptr, 0, 0);
            device->SetTexture(0, nullptr);
            device->SetPixelShader(nullptr);
        }
        if (buffer) buffer->Release();
        if (texture) texture->Release();
        if (colorShader) colorShader->Release();
        DrawingTest::TearDown();
    }

    // One frame the way the program draws one: states set again every frame
    // with the values they already have, an overlay-like fixed-function draw,
    // then a pixel-shader draw.
    void frame(bool withShaderPass = true)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
        device->BeginScene();
        const float toClip[4] = {2.0f / width, -2.0f / height, -1.0f, 1.0f};
        device->SetVertexShaderConstantF(0, toClip, 1);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        device->SetPixelShader(nullptr);
        device->SetTexture(0, texture);
        device->SetVertexDeclaration(declaration);
        device->SetVertexShader(screenShader);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetStreamSource(0, buffer, 0, sizeof(Vertex));
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
        if (withShaderPass) {
            device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
            device->SetPixelShader(colorShader);
            EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2), D3D_OK);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    IDirect3DPixelShader9* colorShader = nullptr;
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* buffer = nullptr;
};

tvd3d9::DeviceStats operator-(const tvd3d9::DeviceStats& a, const tvd3d9::DeviceStats& b)
{
    return {a.frames - b.frames,
            a.drawCalls - b.drawCalls,
            a.glStateCalls - b.glStateCalls,
            a.constantUploadBytes - b.constantUploadBytes,
            a.programBinds - b.programBinds,
            a.glCalls - b.glCalls,
            a.programLinks - b.programLinks};
}

TEST_F(PerformanceTest, ARepeatedFrameMakesNoStateCallAtAll)
{
    frame(false);
    frame(false);
    const tvd3d9::DeviceStats before = tvd3d9::deviceStats(device);
    frame(false);
    const tvd3d9::DeviceStats cost = tvd3d9::deviceStats(device) - before;
    EXPECT_EQ(cost.frames, 1u);
    EXPECT_EQ(cost.drawCalls, 1u);
    EXPECT_EQ(cost.glStateCalls, 0u);
    EXPECT_EQ(cost.programBinds, 0u);
    EXPECT_EQ(cost.constantUploadBytes, 0u);
    EXPECT_EQ(cost.programLinks, 0u);
    // Besides the draw: the clear, the swap's fence and the wait for the
    // frame two back.
    EXPECT_LE(cost.glCalls, 5u);
}

TEST_F(PerformanceTest, TwoPassesPerFrameCostTheSameEveryFrameAndLinkOnce)
{
    frame();
    EXPECT_EQ(tvd3d9::deviceStats(device).programLinks, 2u);
    frame();  // the second pass's sampler change reaches the first pass here
    const tvd3d9::DeviceStats first = tvd3d9::deviceStats(device);
    frame();
    const tvd3d9::DeviceStats second = tvd3d9::deviceStats(device);
    frame();
    const tvd3d9::DeviceStats third = tvd3d9::deviceStats(device);
    const tvd3d9::DeviceStats a = second - first;
    const tvd3d9::DeviceStats b = third - second;
    EXPECT_EQ(a.programLinks, 0u);
    EXPECT_EQ(b.programLinks, 0u);
    EXPECT_EQ(a.drawCalls, 2u);
    // Only what really changes between the passes: the program each way.
    EXPECT_EQ(a.programBinds, 2u);
    EXPECT_EQ(b.programBinds, 2u);
    EXPECT_EQ(a.glStateCalls, b.glStateCalls);
    EXPECT_EQ(b.glStateCalls, 2u);
    EXPECT_EQ(b.constantUploadBytes, 0u);
}

TEST_F(PerformanceTest, ConstantsTravelOnlyWhenChangedAndOnlyAsFarAsTheShadersRead)
{
    frame(false);
    frame(false);
    auto drawOnce = [&]() {
        const tvd3d9::DeviceStats before = tvd3d9::deviceStats(device);
        device->BeginScene();
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
        device->EndScene();
        return tvd3d9::deviceStats(device) - before;
    };
    // The screen shader reads c0 only: 16 bytes.
    const float same[4] = {2.0f / width, -2.0f / height, -1.0f, 1.0f};
    device->SetVertexShaderConstantF(0, same, 1);
    EXPECT_EQ(drawOnce().constantUploadBytes, 0u);
    const float moved[4] = {2.0f / width, -2.0f / height, -0.5f, 1.0f};
    device->SetVertexShaderConstantF(0, moved, 1);
    tvd3d9::DeviceStats cost = drawOnce();
    EXPECT_EQ(cost.constantUploadBytes, 16u);
    EXPECT_EQ(cost.glStateCalls, 1u);  // the new range of the constant buffer, or the program's uniforms
    // Registers no bound shader reads wait until one does.
    const float far[4] = {1, 2, 3, 4};
    device->SetVertexShaderConstantF(100, far, 1);
    device->SetPixelShaderConstantF(7, far, 1);
    EXPECT_EQ(drawOnce().constantUploadBytes, 0u);

    IDirect3DVertexShader9* wide = vertexShader(device, R"(
        float4 toClip : register(c0);
        float4 extra : register(c100);
        struct Output { float4 position : POSITION; float4 color : COLOR0; };
        Output main(float3 p : POSITION)
        {
            Output o;
            o.position = float4(p.xy * toClip.xy + toClip.zw, p.z, 1.0);
            o.color = extra;
            return o;
        }
    )");
    ASSERT_NE(wide, nullptr);
    device->SetVertexShader(wide);
    EXPECT_EQ(drawOnce().constantUploadBytes, 101u * 16u);
    EXPECT_EQ(drawOnce().constantUploadBytes, 0u);
    // Back to the narrow shader: what is bound already covers it.
    device->SetVertexShader(screenShader);
    EXPECT_EQ(drawOnce().constantUploadBytes, 0u);
    device->SetVertexShader(nullptr);
    wide->Release();
}

TEST_F(PerformanceTest, AFrameAllocatesNothing)
{
    frame();
    frame();
    frame();
    allocations = 0;
    countingAllocations = true;
    for (int i = 0; i < 5; ++i) frame();
    // State that changes every frame as well: constants and a texture.
    for (int i = 0; i < 5; ++i) {
        const float toClip[4] = {2.0f / width, -2.0f / height, -1.0f + i * 0.01f, 1.0f};
        device->SetVertexShaderConstantF(0, toClip, 1);
        device->SetTexture(1, i % 2 ? texture : nullptr);
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    countingAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    device->SetTexture(1, nullptr);
}

TEST_F(PerformanceTest, FixedFunctionProgramsAreCachedByTheirStates)
{
    frame(false);
    const uint64_t links = tvd3d9::deviceStats(device).programLinks;
    // A new combination links once; going back to a known one links nothing.
    for (int i = 0; i < 3; ++i) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        device->EndScene();
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        device->EndScene();
    }
    EXPECT_EQ(tvd3d9::deviceStats(device).programLinks, links + 1);
    // States of disabled stages do not make new programs.
    device->SetTextureStageState(3, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->BeginScene();
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    device->EndScene();
    EXPECT_EQ(tvd3d9::deviceStats(device).programLinks, links + 1);
}

}  // namespace
