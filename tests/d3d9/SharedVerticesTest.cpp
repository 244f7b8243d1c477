// A large static vertex buffer drawn as a plain list goes through its
// distinct vertices and an index list. None of that may show: every draw
// must give the pixels the same vertices give from a dynamic buffer (which
// is never shared), whatever range, primitive type, offset or stride, and
// new contents must replace the old.
#include "D3d9TestSupport.h"

#include <tarnvale_d3d9.h>

#include <cstring>
#include <vector>

using namespace d3d9test;

namespace {

class SharedVerticesTest : public DrawingTest {
protected:
    // A grid of cells over the whole back buffer, each cell two triangles
    // written out corner by corner: every inner corner appears six times.
    // The colours vary per corner, so a vertex taken from the wrong place
    // shows in the interpolation.
    static std::vector<Vertex> grid(int cells, uint32_t salt)
    {
        std::vector<Vertex> vertices;
        auto corner = [&](int i, int j) {
            const float x = -0.5f + static_cast<float>(width) * i / cells;
            const float y = -0.5f + static_cast<float>(height) * j / cells;
            const uint32_t c = (static_cast<uint32_t>(i * 37 + j * 91) ^ salt) * 2654435761u;
            return Vertex{x, y, 0.5f, 0xFF000000u | (c >> 8), 0.0f, 0.0f};
        };
        for (int j = 0; j < cells; ++j)
            for (int i = 0; i < cells; ++i) {
                const Vertex a = corner(i, j), b = corner(i + 1, j), c = corner(i + 1, j + 1), d = corner(i, j + 1);
                for (const Vertex& v : {a, b, c, a, c, d}) vertices.push_back(v);
            }
        return vertices;
    }

    IDirect3DVertexBuffer9* buffer(const std::vector<Vertex>& vertices, bool dynamic)
    {
        const UINT bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
        IDirect3DVertexBuffer9* created = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(bytes, dynamic ? D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY : 0, 0,
                                             dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, &created, nullptr),
                  D3D_OK);
        if (created == nullptr) return nullptr;
        void* memory = nullptr;
        EXPECT_EQ(created->Lock(0, 0, &memory, 0), D3D_OK);
        if (memory != nullptr) std::memcpy(memory, vertices.data(), bytes);
        EXPECT_EQ(created->Unlock(), D3D_OK);
        return created;
    }

    // One draw from a cleared back buffer; returns what it shows.
    Image drawn(IDirect3DVertexBuffer9* vertices, D3DPRIMITIVETYPE type, UINT start, UINT primitives,
                UINT offset = 0, UINT stride = sizeof(Vertex))
    {
        clear(D3DCOLOR_XRGB(1, 2, 3));
        device->SetStreamSource(0, vertices, offset, stride);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(device->DrawPrimitive(type, start, primitives), D3D_OK);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        device->SetStreamSource(0, nullptr, 0, 0);
        return readBackBuffer(device);
    }

    uint64_t sharedDraws() { return tvd3d9::deviceStats(device).sharedVertexDraws; }

    void SetUp() override
    {
        DrawingTest::SetUp();
        // No culling: every triangle of every primitive type shows, in the
        // colours of its vertices.
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        colors = pixelShader(device, colorPixelShader);
        ASSERT_NE(colors, nullptr);
        device->SetPixelShader(colors);
    }

    void TearDown() override
    {
        device->SetPixelShader(nullptr);
        if (colors) colors->Release();
        DrawingTest::TearDown();
    }

    IDirect3DPixelShader9* colors = nullptr;
};

constexpr int cells = 24;  // 3456 vertices of 24 bytes: above the size that keeps its copy

TEST_F(SharedVerticesTest, DrawsExactlyAsThePlainListWholeAndInParts)
{
    const std::vector<Vertex> mesh = grid(cells, 0);
    IDirect3DVertexBuffer9* stat = buffer(mesh, false);
    IDirect3DVertexBuffer9* dyn = buffer(mesh, true);
    ASSERT_NE(stat, nullptr);
    ASSERT_NE(dyn, nullptr);
    const UINT triangles = static_cast<UINT>(mesh.size() / 3);
    struct Case {
        D3DPRIMITIVETYPE type;
        UINT start, primitives;
    };
    const Case cases[] = {
        {D3DPT_TRIANGLELIST, 0, triangles},  {D3DPT_TRIANGLELIST, 601, 300},
        {D3DPT_TRIANGLELIST, 3455 - 5, 1},   {D3DPT_TRIANGLESTRIP, 7, 500},
        {D3DPT_TRIANGLEFAN, 100, 40},        {D3DPT_LINELIST, 0, triangles / 2},
        {D3DPT_LINESTRIP, 1000, 200},        {D3DPT_POINTLIST, 0, static_cast<UINT>(mesh.size())},
    };
    for (const Case& c : cases) {
        const uint64_t before = sharedDraws();
        const Image expected = drawn(dyn, c.type, c.start, c.primitives);
        EXPECT_EQ(sharedDraws(), before) << "a dynamic buffer is never shared";
        const Image actual = drawn(stat, c.type, c.start, c.primitives);
        EXPECT_EQ(sharedDraws(), before + 1) << "type " << c.type << " from " << c.start;
        EXPECT_TRUE(actual.pixels == expected.pixels) << "type " << c.type << " from " << c.start;
    }
    // Past the end is refused as before.
    device->SetStreamSource(0, stat, 0, sizeof(Vertex));
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 3, triangles), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    stat->Release();
    dyn->Release();
}

// Writing to a buffer after its first draw: the next draws show the new
// vertices, and a read-only lock gives back exactly what was written.
TEST_F(SharedVerticesTest, NewContentsReplaceTheSharedForm)
{
    const std::vector<Vertex> first = grid(cells, 0);
    std::vector<Vertex> second = first;
    const std::vector<Vertex> other = grid(cells, 0x5A5A5A);
    // Only the middle third changes, written through a lock of that range.
    const size_t from = second.size() / 3, to = 2 * second.size() / 3;
    std::copy(other.begin() + from, other.begin() + to, second.begin() + from);

    IDirect3DVertexBuffer9* stat = buffer(first, false);
    IDirect3DVertexBuffer9* dyn = buffer(second, true);
    ASSERT_NE(stat, nullptr);
    ASSERT_NE(dyn, nullptr);
    const UINT triangles = static_cast<UINT>(first.size() / 3);
    const uint64_t before = sharedDraws();
    drawn(stat, D3DPT_TRIANGLELIST, 0, triangles);
    ASSERT_EQ(sharedDraws(), before + 1);

    void* memory = nullptr;
    ASSERT_EQ(stat->Lock(static_cast<UINT>(from * sizeof(Vertex)), static_cast<UINT>((to - from) * sizeof(Vertex)),
                         &memory, 0),
              D3D_OK);
    std::memcpy(memory, second.data() + from, (to - from) * sizeof(Vertex));
    ASSERT_EQ(stat->Unlock(), D3D_OK);

    const Image expected = drawn(dyn, D3DPT_TRIANGLELIST, 0, triangles);
    const Image actual = drawn(stat, D3DPT_TRIANGLELIST, 0, triangles);
    EXPECT_TRUE(actual.pixels == expected.pixels);
    EXPECT_EQ(sharedDraws(), before + 2) << "the new contents are shared again";

    ASSERT_EQ(stat->Lock(0, 0, &memory, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(std::memcmp(memory, second.data(), second.size() * sizeof(Vertex)), 0);
    ASSERT_EQ(stat->Unlock(), D3D_OK);
    stat->Release();
    dyn->Release();
}

// The form is built for the offset and stride of the first draw; a draw
// with another offset or stride reads the original buffer, correctly.
TEST_F(SharedVerticesTest, OtherOffsetsAndStridesReadTheOriginal)
{
    const std::vector<Vertex> mesh = grid(cells, 7);
    IDirect3DVertexBuffer9* stat = buffer(mesh, false);
    IDirect3DVertexBuffer9* dyn = buffer(mesh, true);
    ASSERT_NE(stat, nullptr);
    ASSERT_NE(dyn, nullptr);
    const UINT triangles = static_cast<UINT>(mesh.size() / 3);
    drawn(stat, D3DPT_TRIANGLELIST, 0, triangles);
    const uint64_t shared = sharedDraws();

    // One vertex in by offset: the same picture as starting one vertex in.
    const UINT one = sizeof(Vertex);
    Image expected = drawn(dyn, D3DPT_TRIANGLELIST, 0, triangles - 1, one);
    Image actual = drawn(stat, D3DPT_TRIANGLELIST, 0, triangles - 1, one);
    EXPECT_TRUE(actual.pixels == expected.pixels);
    // Every second vertex, by a doubled stride.
    expected = drawn(dyn, D3DPT_TRIANGLELIST, 0, triangles / 2, 0, 2 * one);
    actual = drawn(stat, D3DPT_TRIANGLELIST, 0, triangles / 2, 0, 2 * one);
    EXPECT_TRUE(actual.pixels == expected.pixels);
    EXPECT_EQ(sharedDraws(), shared);

    // And back to the form's own offset and stride.
    expected = drawn(dyn, D3DPT_TRIANGLELIST, 0, triangles);
    actual = drawn(stat, D3DPT_TRIANGLELIST, 0, triangles);
    EXPECT_TRUE(actual.pixels == expected.pixels);
    EXPECT_EQ(sharedDraws(), shared + 1);
    stat->Release();
    dyn->Release();
}

// Where nearly every vertex is distinct, sharing would only add an index
// list: the buffer is drawn as it is.
TEST_F(SharedVerticesTest, MostlyDistinctVerticesAreDrawnAsTheyAre)
{
    std::vector<Vertex> mesh = grid(cells, 3);
    for (size_t i = 0; i < mesh.size(); ++i) mesh[i].u = static_cast<float>(i);  // unused by the shaders
    IDirect3DVertexBuffer9* stat = buffer(mesh, false);
    IDirect3DVertexBuffer9* dyn = buffer(mesh, true);
    ASSERT_NE(stat, nullptr);
    ASSERT_NE(dyn, nullptr);
    const UINT triangles = static_cast<UINT>(mesh.size() / 3);
    const uint64_t before = sharedDraws();
    const Image expected = drawn(dyn, D3DPT_TRIANGLELIST, 0, triangles);
    const Image actual = drawn(stat, D3DPT_TRIANGLELIST, 0, triangles);
    EXPECT_TRUE(actual.pixels == expected.pixels);
    EXPECT_EQ(sharedDraws(), before);
    stat->Release();
    dyn->Release();
}

}  // namespace
