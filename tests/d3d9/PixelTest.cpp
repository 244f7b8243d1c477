// Pixel tests of the Direct3D 9 conventions the GL device reproduces and of
// the shader bindings, read back through GetBackBuffer /
// CreateOffscreenPlainSurface / GetRenderTargetData / LockRect.
#include "D3d9TestSupport.h"
#include "support/DisplayServer.h"
#include "support/XUser.h"

#include <tarnvale_platform.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace d3d9test;

namespace {

using PixelTest = DrawingTest;

// ---------------------------------------------------------------------------

TEST_F(PixelTest, ClearFillsTheBackBufferAndReadBackIsTopDown)
{
    clear(D3DCOLOR_XRGB(10, 20, 30));
    const D3DRECT top = {0, 0, width, 4};  // the top four rows
    ASSERT_EQ(device->Clear(1, &top, D3DCLEAR_TARGET, D3DCOLOR_XRGB(200, 0, 0), 1.0f, 0), D3D_OK);
    const Image image = readBackBuffer(device);
    ASSERT_EQ(image.width, static_cast<UINT>(width));
    ASSERT_EQ(image.height, static_cast<UINT>(height));
    EXPECT_EQ(image.at(0, 0), 0xFFC80000u) << hex(image.at(0, 0));
    EXPECT_EQ(image.at(width - 1, 3), 0xFFC80000u);
    EXPECT_EQ(image.at(0, 4), 0xFF0A141Eu) << hex(image.at(0, 4));
    EXPECT_EQ(image.at(width - 1, height - 1), 0xFF0A141Eu);
}

// A quad from (x - 0.5, y - 0.5) of exactly W x H pixels maps each texel
// centre onto one pixel centre: with linear filtering any half-pixel error
// would blend neighbouring texels. Row 0 of the texture shows at the top.
TEST_F(PixelTest, TexelsMapOneToOneOntoPixelsAtWholePixelCoordinates)
{
    std::vector<uint32_t> texels(16);
    for (UINT i = 0; i < 16; ++i) texels[i] = 0xFF000000u | (i * 16u << 16) | ((255u - i * 16u) << 8) | (i % 3) * 100u;
    IDirect3DTexture9* texture = makeTexture(4, 4, texels);
    IDirect3DPixelShader9* shader = pixelShader(device, texturePixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    device->SetTexture(0, texture);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    clear();
    ASSERT_EQ(draw(quad(10 - 0.5f, 20 - 0.5f, 14 - 0.5f, 24 - 0.5f, 0.5f, 0xFFFFFFFF)), D3D_OK);
    const Image image = readBackBuffer(device);
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_EQ(image.at(10 + x, 20 + y), texels[y * 4 + x]) << "texel " << x << "," << y << " "
                                                                    << hex(image.at(10 + x, 20 + y));
    // Nothing outside the quad.
    EXPECT_EQ(image.at(9, 20), 0xFF000000u);
    EXPECT_EQ(image.at(14, 20), 0xFF000000u);
    EXPECT_EQ(image.at(10, 19), 0xFF000000u);
    EXPECT_EQ(image.at(10, 24), 0xFF000000u);
    device->SetTexture(0, nullptr);
    device->SetPixelShader(nullptr);
    shader->Release();
    texture->Release();
}

// Constants live in ring memory that is written again once the ring comes
// round. A range bound long ago and never changed since (here the pixel-
// centre shift, set up by the first draw) must survive thousands of uploads.
TEST_F(PixelTest, RangesBoundLongAgoSurviveTheConstantRingComingRound)
{
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    const std::vector<Vertex> vertices = quad(10 - 0.5f, 20 - 0.5f, 14 - 0.5f, 24 - 0.5f, 0.5f, 0xFFFFFFFF);
    IDirect3DVertexBuffer9* buffer =
        makeBuffer(vertices.data(), static_cast<UINT>(vertices.size() * sizeof(Vertex)));
    ASSERT_NE(buffer, nullptr);
    device->SetStreamSource(0, buffer, 0, sizeof(Vertex));

    // Frames of draws whose constants change every time and put the quad far
    // off screen: more uploads than the ring holds, nothing drawn.
    clear();
    for (int frame = 0; frame < 100; ++frame) {
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        for (int i = 0; i < 200; ++i) {
            const float offScreen[4] = {200.0f + static_cast<float>(i % 2), -200.0f, -1.0f, 1.0f};
            device->SetVertexShaderConstantF(0, offScreen, 1);
            // Two programs in turn, as the overlay and the balls are drawn.
            device->SetPixelShader(i % 2 ? nullptr : shader);
            ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
        }
        ASSERT_EQ(device->EndScene(), D3D_OK);
        if (frame < 99) {
            ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        }
    }

    setScreenConstants();
    device->SetPixelShader(shader);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const Image image = readBackBuffer(device);
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_EQ(image.at(10 + x, 20 + y), 0xFFFFFFFFu) << x << "," << y << " " << hex(image.at(10 + x, 20 + y));
    EXPECT_EQ(image.at(9, 20), 0xFF000000u);
    EXPECT_EQ(image.at(14, 23), 0xFF000000u);
    EXPECT_EQ(image.at(10, 24), 0xFF000000u);

    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetPixelShader(nullptr);
    buffer->Release();
    shader->Release();
}

TEST_F(PixelTest, CullModeCountsWindingAsSeenOnScreen)
{
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0);
    // Left: top-left, top-right, bottom-left runs clockwise on screen.
    // Right: top-left, bottom-left, top-right runs counter-clockwise.
    const std::vector<Vertex> both = {
        {4, 4, 0.5f, red, 0, 0},  {28, 4, 0.5f, red, 0, 0},  {4, 28, 0.5f, red, 0, 0},
        {36, 4, 0.5f, red, 0, 0}, {36, 28, 0.5f, red, 0, 0}, {60, 4, 0.5f, red, 0, 0},
    };
    const struct {
        DWORD mode;
        bool left;
        bool right;
    } cases[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
    DWORD initial = 0;
    device->GetRenderState(D3DRS_CULLMODE, &initial);
    EXPECT_EQ(initial, static_cast<DWORD>(D3DCULL_CCW));
    for (const auto& c : cases) {
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        clear();
        ASSERT_EQ(draw(both), D3D_OK);
        const Image image = readBackBuffer(device);
        EXPECT_EQ(image.at(8, 8) == 0xFFFF0000u, c.left) << "cull mode " << c.mode;
        EXPECT_EQ(image.at(40, 8) == 0xFFFF0000u, c.right) << "cull mode " << c.mode;
    }
    device->SetPixelShader(nullptr);
    shader->Release();
}

TEST_F(PixelTest, ClipSpaceDepthRunsFromZeroToOneWithLessEqualByDefault)
{
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    DWORD zenable = 0, zfunc = 0;
    device->GetRenderState(D3DRS_ZENABLE, &zenable);
    device->GetRenderState(D3DRS_ZFUNC, &zfunc);
    EXPECT_EQ(zenable, static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(zfunc, static_cast<DWORD>(D3DCMP_LESSEQUAL));

    clear();
    // z < 0 lies in front of the near plane and is clipped (GL's -1..1 would
    // keep it); z = 0 and z = 1 are inside.
    ASSERT_EQ(draw(quad(0, 0, 16, 16, -0.25f, D3DCOLOR_XRGB(255, 0, 0))), D3D_OK);
    ASSERT_EQ(draw(quad(16, 0, 32, 16, 0.0f, D3DCOLOR_XRGB(0, 255, 0))), D3D_OK);
    // Depth 1.0 against a buffer cleared to 1.0 passes only with LESSEQUAL.
    ASSERT_EQ(draw(quad(32, 0, 48, 16, 1.0f, D3DCOLOR_XRGB(0, 0, 255))), D3D_OK);
    // Nearer first, then farther: the farther one fails the test.
    ASSERT_EQ(draw(quad(0, 20, 16, 36, 0.25f, D3DCOLOR_XRGB(255, 255, 0))), D3D_OK);
    ASSERT_EQ(draw(quad(0, 20, 16, 36, 0.75f, D3DCOLOR_XRGB(0, 255, 255))), D3D_OK);
    Image image = readBackBuffer(device);
    EXPECT_EQ(image.at(8, 8), 0xFF000000u) << hex(image.at(8, 8));
    EXPECT_EQ(image.at(24, 8), 0xFF00FF00u);
    EXPECT_EQ(image.at(40, 8), 0xFF0000FFu);
    EXPECT_EQ(image.at(8, 28), 0xFFFFFF00u);

    // Clear writes depth even with depth writes off, and colour with
    // colour writes off.
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(9, 9, 9), 0.5f, 0), D3D_OK);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN |
                                                       D3DCOLORWRITEENABLE_BLUE | D3DCOLORWRITEENABLE_ALPHA);
    ASSERT_EQ(draw(quad(0, 0, 16, 16, 0.6f, D3DCOLOR_XRGB(255, 0, 0))), D3D_OK);
    ASSERT_EQ(draw(quad(16, 0, 32, 16, 0.4f, D3DCOLOR_XRGB(0, 255, 0))), D3D_OK);
    // Writes stayed off: a second pass at 0.45 still passes against 0.5.
    ASSERT_EQ(draw(quad(16, 0, 32, 16, 0.45f, D3DCOLOR_XRGB(0, 0, 255))), D3D_OK);
    image = readBackBuffer(device);
    EXPECT_EQ(image.at(8, 8), 0xFF090909u) << hex(image.at(8, 8));
    EXPECT_EQ(image.at(24, 8), 0xFF0000FFu) << hex(image.at(24, 8));

    // Only the red channel when only red is enabled.
    device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED);
    ASSERT_EQ(draw(quad(32, 0, 48, 16, 0.1f, D3DCOLOR_XRGB(255, 255, 255))), D3D_OK);
    image = readBackBuffer(device);
    EXPECT_EQ(image.at(40, 8), 0xFFFF0909u) << hex(image.at(40, 8));
    device->SetPixelShader(nullptr);
    shader->Release();
}

TEST_F(PixelTest, AlphaBlendingWithSourceAlpha)
{
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    clear(D3DCOLOR_XRGB(0, 0, 200));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(draw(quad(0, 0, 16, 16, 0.5f, D3DCOLOR_ARGB(64, 255, 0, 0))), D3D_OK);
    // Defaults ONE / ZERO replace.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    ASSERT_EQ(draw(quad(16, 0, 32, 16, 0.5f, D3DCOLOR_ARGB(64, 255, 0, 0))), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_TRUE(near(image.at(8, 8), 0xFF400096u)) << hex(image.at(8, 8));
    EXPECT_EQ(image.at(24, 8), 0xFFFF0000u) << hex(image.at(24, 8));
    device->SetPixelShader(nullptr);
    shader->Release();
}

TEST_F(PixelTest, SamplerAddressingAndFiltering)
{
    // Two texels: black, white.
    IDirect3DTexture9* texture = makeTexture(2, 1, {0xFF000000u, 0xFFFFFFFFu});
    IDirect3DPixelShader9* shader = pixelShader(device, texturePixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    device->SetTexture(0, texture);
    // u runs 0..2 over 8 pixels: each texel covers two pixels per repeat.
    const auto strip = quad(0 - 0.5f, 0 - 0.5f, 8 - 0.5f, 1 - 0.5f, 0.5f, 0xFFFFFFFF, 0.0f, 0.0f, 2.0f, 1.0f);
    const auto pattern = [&](DWORD address) {
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
        clear(D3DCOLOR_XRGB(1, 2, 3));
        EXPECT_EQ(draw(strip), D3D_OK);
        const Image image = readBackBuffer(device);
        std::string bits;
        for (UINT x = 0; x < 8; ++x) bits += image.at(x, 0) == 0xFFFFFFFFu ? 'W' : image.at(x, 0) == 0xFF000000u ? 'B' : '?';
        return bits;
    };
    DWORD address = 0, minFilter = 0;
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &address);
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &minFilter);
    EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(minFilter, static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(pattern(D3DTADDRESS_WRAP), "BBWWBBWW");
    EXPECT_EQ(pattern(D3DTADDRESS_MIRROR), "BBWWWWBB");
    EXPECT_EQ(pattern(D3DTADDRESS_CLAMP), "BBWWWWWW");

    // Linear filtering between the two texel centres gives grey.
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    clear();
    ASSERT_EQ(draw(quad(0 - 0.5f, 0 - 0.5f, 1 - 0.5f, 1 - 0.5f, 0.5f, 0xFFFFFFFF, 0.5f, 0.5f, 0.5f, 0.5f)), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_TRUE(near(image.at(0, 0), 0xFF808080u, 2)) << hex(image.at(0, 0));
    device->SetTexture(0, nullptr);
    device->SetPixelShader(nullptr);
    shader->Release();
    texture->Release();
}

TEST_F(PixelTest, FillModeWireframeDrawsEdgesOnly)
{
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    clear();
    ASSERT_EQ(draw(quad(4, 4, 40, 40, 0.5f, D3DCOLOR_XRGB(0, 255, 0))), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_EQ(image.at(22, 30), 0xFF000000u) << "inside a face";
    int lit = 0;
    for (UINT x = 6; x < 38; ++x) lit += image.at(x, 4) == 0xFF00FF00u || image.at(x, 3) == 0xFF00FF00u;
    EXPECT_GT(lit, 20) << "the top edge";
    device->SetPixelShader(nullptr);
    shader->Release();
}

TEST_F(PixelTest, ViewportLimitsClearAndDrawingAndMapsClipSpaceIntoIt)
{
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);
    clear();
    const D3DVIEWPORT9 viewport = {8, 16, 32, 16, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0), D3D_OK);
    // The screen shader's pixel coordinates are now viewport-relative.
    setScreenConstants(32, 16);
    ASSERT_EQ(draw(quad(-0.5f, -0.5f, 2 - 0.5f, 1 - 0.5f, 0.5f, D3DCOLOR_XRGB(255, 0, 0))), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_EQ(image.at(7, 16), 0xFF000000u);
    EXPECT_EQ(image.at(8, 15), 0xFF000000u);
    EXPECT_EQ(image.at(8, 16), 0xFFFF0000u) << hex(image.at(8, 16));
    EXPECT_EQ(image.at(9, 16), 0xFFFF0000u);
    EXPECT_EQ(image.at(10, 16), 0xFF0000FFu);
    EXPECT_EQ(image.at(8, 17), 0xFF0000FFu);
    EXPECT_EQ(image.at(39, 31), 0xFF0000FFu);
    EXPECT_EQ(image.at(40, 31), 0xFF000000u);
    EXPECT_EQ(image.at(39, 32), 0xFF000000u);
    device->SetPixelShader(nullptr);
    shader->Release();
}

// ---------------------------------------------------------------------------
// Shader bindings.

TEST_F(PixelTest, VertexInputsBindBySemanticWhateverTheDeclarationOrder)
{
    // The declaration lists texture coordinates, colour, position; the
    // shader declares position, colour, texture coordinates.
    struct Shuffled {
        float u, v;
        D3DCOLOR color;
        float x, y, z;
    };
    const D3DVERTEXELEMENT9 shuffled[] = {
        {0, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 8, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* other = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(shuffled, &other), D3D_OK);
    IDirect3DPixelShader9* shader = pixelShader(device, R"(
        sampler2D tex : register(s0);
        float4 main(float4 c : COLOR0, float2 uv : TEXCOORD0) : COLOR { return tex2D(tex, uv) * c; }
    )");
    ASSERT_NE(shader, nullptr);
    IDirect3DTexture9* texture = makeTexture(2, 1, {0xFFFFFFFFu, 0xFF808080u});
    device->SetPixelShader(shader);
    device->SetTexture(0, texture);
    device->SetVertexDeclaration(other);
    const D3DCOLOR color = D3DCOLOR_XRGB(255, 128, 0);
    const Shuffled tl{0, 0, color, -0.5f, -0.5f, 0.5f}, tr{1, 0, color, 3.5f, -0.5f, 0.5f};
    const Shuffled bl{0, 1, color, -0.5f, 3.5f, 0.5f}, br{1, 1, color, 3.5f, 3.5f, 0.5f};
    const Shuffled vertices[] = {tl, tr, bl, br, bl, tr};
    IDirect3DVertexBuffer9* buffer = makeBuffer(vertices, sizeof vertices);
    device->SetStreamSource(0, buffer, 0, sizeof(Shuffled));
    clear();
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    device->EndScene();
    const Image image = readBackBuffer(device);
    EXPECT_EQ(image.at(0, 0), 0xFFFF8000u) << hex(image.at(0, 0));  // white texel x colour
    EXPECT_TRUE(near(image.at(3, 0), 0xFF804000u)) << hex(image.at(3, 0));
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetVertexDeclaration(declaration);
    buffer->Release();
    other->Release();
    texture->Release();
    shader->Release();
}

TEST_F(PixelTest, VertexOutputsMeetPixelInputsBySemantic)
{
    // The vertex shader writes TEXCOORD1 before COLOR0; the pixel shader
    // reads them the other way round, and a TEXCOORD2 nobody writes (zero).
    IDirect3DVertexShader9* vs = vertexShader(device, R"(
        float4 toClip : register(c0);
        struct Output { float4 position : POSITION; float4 t1 : TEXCOORD1; float4 c0 : COLOR0; };
        Output main(float3 p : POSITION)
        {
            Output o;
            o.position = float4(p.xy * toClip.xy + toClip.zw, p.z, 1.0);
            o.t1 = float4(1.0, 0.0, 0.0, 1.0);
            o.c0 = float4(0.0, 1.0, 0.0, 1.0);
            return o;
        }
    )");
    IDirect3DPixelShader9* ps = pixelShader(device, R"(
        float4 main(float4 c : COLOR0, float4 t2 : TEXCOORD2, float4 t1 : TEXCOORD1) : COLOR
        {
            return float4(t1.r, c.g, 0.5 + t2.b, 1.0);
        }
    )");
    ASSERT_NE(vs, nullptr);
    ASSERT_NE(ps, nullptr);
    device->SetVertexShader(vs);
    device->SetPixelShader(ps);
    clear();
    ASSERT_EQ(draw(quad(0, 0, 8, 8, 0.5f, 0)), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_TRUE(near(image.at(4, 4), 0xFFFFFF80u)) << hex(image.at(4, 4));
    device->SetVertexShader(screenShader);
    device->SetPixelShader(nullptr);
    vs->Release();
    ps->Release();
}

TEST_F(PixelTest, ConstantRegistersReachTheShadersAtTheirRegisters)
{
    // A row-vector world-view-projection matrix in c8..c11 (transposed, as
    // the program loads it) and a colour in c12; a pixel-shader colour in c3.
    IDirect3DVertexShader9* vs = vertexShader(device, R"(
        float4x4 wvp : register(c8);
        float4 tint : register(c12);
        struct Output { float4 position : POSITION; float4 color : COLOR0; };
        Output main(float3 p : POSITION)
        {
            Output o;
            o.position = mul(float4(p, 1.0), wvp);
            o.color = tint;
            return o;
        }
    )");
    IDirect3DPixelShader9* ps = pixelShader(device, R"(
        float4 k : register(c3);
        float4 main(float4 c : COLOR0) : COLOR { return c * k; }
    )");
    ASSERT_NE(vs, nullptr);
    ASSERT_NE(ps, nullptr);
    // Pixels to clip space, moved 20 pixels right: columns of the matrix.
    const float w = width, h = height;
    const float transposed[16] = {
        2 / w, 0, 0, -1 + 40 / w,  // c8: x
        0, -2 / h, 0, 1,           // c9: y
        0, 0, 1, 0,                // c10: z
        0, 0, 0, 1,                // c11: w
    };
    const float tint[4] = {1.0f, 0.5f, 1.0f, 1.0f};
    const float k[4] = {0.5f, 1.0f, 0.0f, 1.0f};
    ASSERT_EQ(device->SetVertexShaderConstantF(8, transposed, 4), D3D_OK);
    ASSERT_EQ(device->SetVertexShaderConstantF(12, tint, 1), D3D_OK);
    ASSERT_EQ(device->SetPixelShaderConstantF(3, k, 1), D3D_OK);
    device->SetVertexShader(vs);
    device->SetPixelShader(ps);
    clear();
    ASSERT_EQ(draw(quad(-0.5f, -0.5f, 4 - 0.5f, 4 - 0.5f, 0.5f, 0)), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_EQ(image.at(2, 2), 0xFF000000u);
    EXPECT_TRUE(near(image.at(20, 0), 0xFF808000u)) << hex(image.at(20, 0));
    EXPECT_TRUE(near(image.at(23, 3), 0xFF808000u));
    EXPECT_EQ(image.at(24, 0), 0xFF000000u);
    device->SetVertexShader(screenShader);
    device->SetPixelShader(nullptr);
    vs->Release();
    ps->Release();
}

TEST_F(PixelTest, SamplerOneReadsTextureStageOne)
{
    IDirect3DTexture9* red = makeTexture(1, 1, {0xFFFF0000u});
    IDirect3DTexture9* green = makeTexture(1, 1, {0xFF00FF00u});
    IDirect3DPixelShader9* ps = pixelShader(device, R"(
        sampler2D first : register(s0);
        sampler2D second : register(s1);
        float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(second, uv) + tex2D(first, uv) * 0.25; }
    )");
    ASSERT_NE(ps, nullptr);
    device->SetPixelShader(ps);
    device->SetTexture(0, red);
    device->SetTexture(1, green);
    clear();
    ASSERT_EQ(draw(quad(0, 0, 8, 8, 0.5f, 0)), D3D_OK);
    const Image image = readBackBuffer(device);
    EXPECT_TRUE(near(image.at(4, 4), 0xFF40FF00u)) << hex(image.at(4, 4));
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    device->SetPixelShader(nullptr);
    ps->Release();
    red->Release();
    green->Release();
}

// ---------------------------------------------------------------------------
// Fixed-function texture stages (no pixel shader).

class FixedFunctionTest : public PixelTest {
protected:
    uint32_t drawWith(DWORD colorOp, DWORD arg1, DWORD arg2, bool withTexture = true)
    {
        device->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, arg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
        device->SetTexture(0, withTexture ? texture : nullptr);
        clear();
        EXPECT_EQ(draw(quad(0, 0, 8, 8, 0.5f, diffuse)), D3D_OK);
        return readBackBuffer(device).at(4, 4);
    }

    void SetUp() override
    {
        PixelTest::SetUp();
        if (HasFatalFailure()) return;
        texture = makeTexture(1, 1, {0xFFFF8000u});
    }
    void TearDown() override
    {
        if (device) device->SetTexture(0, nullptr);
        if (texture) texture->Release();
        PixelTest::TearDown();
    }

    IDirect3DTexture9* texture = nullptr;
    const D3DCOLOR diffuse = D3DCOLOR_ARGB(128, 128, 255, 64);
};

TEST_F(FixedFunctionTest, StageZeroOperationsAndArguments)
{
    DWORD op = 0, arg1 = 0, arg2 = 0, alphaOp = 0, stage1 = 0;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &op);
    device->GetTextureStageState(0, D3DTSS_COLORARG1, &arg1);
    device->GetTextureStageState(0, D3DTSS_COLORARG2, &arg2);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &stage1);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(arg1, static_cast<DWORD>(D3DTA_TEXTURE));
    EXPECT_EQ(arg2, static_cast<DWORD>(D3DTA_CURRENT));
    EXPECT_EQ(alphaOp, static_cast<DWORD>(D3DTOP_SELECTARG1));
    EXPECT_EQ(stage1, static_cast<DWORD>(D3DTOP_DISABLE));

    // Texture (255, 128, 0) and diffuse (128, 255, 64); CURRENT in stage 0
    // is the diffuse colour.
    EXPECT_TRUE(near(drawWith(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT), 0xFF808000u));
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE), 0xFFFF8000u);
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE), 0xFF80FF40u);
    EXPECT_TRUE(near(drawWith(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE), 0xFFFFFF40u));
    EXPECT_EQ(drawWith(D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_DIFFUSE), 0xFF80FF40u);
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_TEXTURE), 0xFF80FF40u);
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE), 0xFF007FFFu);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_XRGB(1, 2, 3));
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE), 0xFF010203u);
    // No texture bound: TEXTURE reads (0, 0, 0, 1).
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, false), 0xFF000000u);
}

TEST_F(FixedFunctionTest, AlphaOperationDrivesBlendingAsTheTextLabelsUseIt)
{
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTexture(0, texture);
    clear(D3DCOLOR_XRGB(0, 0, 0));
    ASSERT_EQ(draw(quad(0, 0, 8, 8, 0.5f, diffuse)), D3D_OK);
    // Texture alpha 1 x diffuse alpha 0.5: half the texture's colour.
    EXPECT_TRUE(near(readBackBuffer(device).at(4, 4), 0xFF804000u)) << hex(readBackBuffer(device).at(4, 4));
}

TEST_F(FixedFunctionTest, DiffuseIsWhiteWhenTheVertexShaderWritesNoColour)
{
    IDirect3DVertexShader9* vs = vertexShader(device, R"(
        float4 toClip : register(c0);
        float4 main(float3 p : POSITION) : POSITION { return float4(p.xy * toClip.xy + toClip.zw, p.z, 1.0); }
    )");
    ASSERT_NE(vs, nullptr);
    device->SetVertexShader(vs);
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TEXTURE), 0xFFFFFFFFu);
    // No texture coordinates either: the stage samples at (0, 0).
    EXPECT_EQ(drawWith(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE), 0xFFFF8000u);
    device->SetVertexShader(screenShader);
    vs->Release();
}

// ---------------------------------------------------------------------------
// Objects the application released while the device still uses them.

TEST_F(PixelTest, BoundObjectsOutliveTheirLastApplicationReference)
{
    IDirect3DTexture9* texture = makeTexture(1, 1, {0xFF3366CCu});
    IDirect3DPixelShader9* shader = pixelShader(device, texturePixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetTexture(0, texture);
    device->SetPixelShader(shader);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(shader->Release(), 0u);
    clear();
    ASSERT_EQ(draw(quad(0, 0, 8, 8, 0.5f, 0)), D3D_OK);
    EXPECT_EQ(readBackBuffer(device).at(4, 4), 0xFF3366CCu);
    // GetTexture hands out a reference again.
    IDirect3DBaseTexture9* again = nullptr;
    ASSERT_EQ(device->GetTexture(0, &again), D3D_OK);
    EXPECT_EQ(again, static_cast<IDirect3DBaseTexture9*>(texture));
    EXPECT_EQ(again->Release(), 0u);
    device->SetTexture(0, nullptr);  // the texture goes now
    device->SetPixelShader(nullptr);
}

// ---------------------------------------------------------------------------
// Presentation.

// On a real window that the user resizes (through the X server): the back
// buffer keeps its size and content, and Present shows it stretched over the
// whole new client area; back at the old size, frames go straight to the
// window again.
class PresentOnXServer : public DrawingTest {
protected:
    void SetUp() override
    {
        if (!testsupport::isTestChild()) return;
        windowStyle = WS_POPUP | WS_VISIBLE;
        DrawingTest::SetUp();
    }

    // Pumps the window's messages until its client area is width x height.
    bool resized(testsupport::XUser& user, int newWidth, int newHeight)
    {
        user.resize(testsupport::xWindowOf(tvplat::sdlWindow(window)), newWidth, newHeight);
        return testsupport::waitFor([&] {
            MSG msg{};
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            RECT client{};
            return GetClientRect(window, &client) && client.right == newWidth && client.bottom == newHeight;
        });
    }
    // Blue, the left half red, the top quarter green.
    void drawPicture()
    {
        clear(D3DCOLOR_XRGB(0, 0, 255));
        EXPECT_EQ(draw(quad(-0.5f, -0.5f, 32 - 0.5f, 48 - 0.5f, 0.5f, D3DCOLOR_XRGB(255, 0, 0))), D3D_OK);
        EXPECT_EQ(draw(quad(-0.5f, -0.5f, 64 - 0.5f, 12 - 0.5f, 0.5f, D3DCOLOR_XRGB(0, 255, 0))), D3D_OK);
    }
};

// Every window pixel whose neighbourhood in the back buffer is of one colour
// shows that colour: the back buffer stretched over the whole window,
// whatever filter blends the edges between colours. A driver may put the
// frame on the window a little after Present returns (Vulkan's presentation
// under zink does), so the window is looked at until it shows the frame or
// a few seconds have passed.
void expectStretched(SDL_Window* sdl, const Image& back)
{
    ASSERT_FALSE(back.pixels.empty());
    const auto clamp = [](int v, UINT size) { return std::clamp(v, 0, static_cast<int>(size) - 1); };
    testsupport::RgbaImage shown;
    size_t checked = 0;
    std::vector<std::string> wrong;
    const auto showsFrame = [&] {
        shown = testsupport::shownIn(sdl);
        checked = 0;
        wrong.clear();
        for (uint32_t y = 0; y < shown.height; ++y)
            for (uint32_t x = 0; x < shown.width; ++x) {
                const int sx = static_cast<int>(std::floor((x + 0.5) * back.width / shown.width - 0.5));
                const int sy = static_cast<int>(std::floor((y + 0.5) * back.height / shown.height - 0.5));
                const uint32_t colour = back.at(clamp(sx, back.width), clamp(sy, back.height));
                bool uniform = true;
                for (int ny = sy - 1; ny <= sy + 2; ++ny)
                    for (int nx = sx - 1; nx <= sx + 2; ++nx)
                        uniform = uniform && back.at(clamp(nx, back.width), clamp(ny, back.height)) == colour;
                if (!uniform) continue;
                ++checked;
                const uint8_t* p = shown.at(x, y);
                const uint32_t seen = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
                if (seen != (colour | 0xFF000000u) && wrong.size() < 5)
                    wrong.push_back("window pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                                    hex(seen) + ", the back buffer " + hex(colour) + " there");
            }
        return !shown.empty() && wrong.empty();
    };
    testsupport::waitFor(showsFrame);
    ASSERT_FALSE(shown.empty()) << shown.error;
    EXPECT_GT(checked, size_t{shown.width} * shown.height / 2);
    for (const std::string& pixel : wrong) ADD_FAILURE() << pixel;
}

TEST_F(PresentOnXServer, AfterAResizeTheBackBufferKeepsItsSizeAndIsStretchedOverTheWindow)
{
    if (!testsupport::onOwnXServer()) return;
    testsupport::XUser user;
    ASSERT_TRUE(user.connected()) << user.error();
    SDL_Window* sdl = tvplat::sdlWindow(window);
    IDirect3DPixelShader9* shader = pixelShader(device, colorPixelShader);
    ASSERT_NE(shader, nullptr);
    device->SetPixelShader(shader);

    ASSERT_TRUE(resized(user, 100, 80));
    // Present notices the new size; the next frames go to an offscreen
    // buffer of the back buffer's size, stretched at Present.
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    drawPicture();
    const Image image = readBackBuffer(device);
    ASSERT_EQ(image.width, static_cast<UINT>(width));
    ASSERT_EQ(image.height, static_cast<UINT>(height));
    EXPECT_EQ(image.at(0, 0), 0xFF00FF00u) << hex(image.at(0, 0));
    EXPECT_EQ(image.at(31, 12), 0xFFFF0000u) << hex(image.at(31, 12));
    EXPECT_EQ(image.at(32, 12), 0xFF0000FFu) << hex(image.at(32, 12));
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(sdl, &drawableWidth, &drawableHeight);
    EXPECT_EQ(drawableWidth, 100);
    EXPECT_EQ(drawableHeight, 80);
    expectStretched(sdl, image);

    // Back to the original size: straight to the window again.
    ASSERT_TRUE(resized(user, width, height));
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    clear(D3DCOLOR_XRGB(0, 255, 0));
    EXPECT_EQ(readBackBuffer(device).at(5, 5), 0xFF00FF00u);
    drawPicture();
    const Image again = readBackBuffer(device);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    expectStretched(sdl, again);
    device->SetPixelShader(nullptr);
    shader->Release();
}

}  // namespace
