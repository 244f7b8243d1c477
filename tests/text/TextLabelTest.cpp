// Text labels: glyph lookup, the vertices of each character, the vertex
// buffer's life (grown only when needed), the draw call and its states, and
// the failure paths.
#include "TextTestSupport.h"

#include <limits>

using namespace text_test;

namespace {

constexpr uint32_t W = 7, H = 13, T = 128, N = 18;

GlyphCell cellOf(char c)
{
    const int g = TextLabel::glyphIndex(c);
    return TextLabel::glyphCell(g < 0 ? 0u : static_cast<uint32_t>(g), W, H, T, N);
}

void expectVertex(const TextVertex& v, float x, float y, float u, float v0, const std::string& what)
{
    EXPECT_FLOAT_EQ(v.x, x) << what;
    EXPECT_FLOAT_EQ(v.y, y) << what;
    EXPECT_EQ(v.z, 0.0f) << what;
    EXPECT_FLOAT_EQ(v.u, u) << what;
    EXPECT_FLOAT_EQ(v.v, v0) << what;
}

// The six vertices of character i of a label at (x, y) showing cell c.
void expectQuad(const std::vector<TextVertex>& vertices, size_t i, float x, float y, const GlyphCell& c)
{
    ASSERT_GE(vertices.size(), 6 * (i + 1));
    const float left = x - 0.5f + 7.0f * static_cast<float>(i), right = left + 6.0f;
    const float top = y + 11.5f, bottom = y - 0.5f;
    const TextVertex* q = &vertices[6 * i];
    const std::string at = "character " + std::to_string(i);
    expectVertex(q[0], left, top, c.u0, c.v0, at + " top-left");
    expectVertex(q[1], right, top, c.u1, c.v0, at + " top-right");
    expectVertex(q[2], left, bottom, c.u0, c.v1, at + " bottom-left");
    expectVertex(q[3], right, bottom, c.u1, c.v1, at + " bottom-right");
    expectVertex(q[4], left, bottom, c.u0, c.v1, at + " bottom-left again");
    expectVertex(q[5], right, top, c.u1, c.v0, at + " top-right again");
}

struct LabelTest : ::testing::Test {
    Overlay overlay;
    BitmapFont* font = nullptr;
    TextLabel* label = nullptr;

    void SetUp() override
    {
        font = overlay.addFont();
        label = new TextLabel(font);
        font->addLabel(label);
        overlay.device.clearCalls();
    }

    RecordingDevice& device() { return overlay.device; }

    // Primitive count of the one draw call a label draw makes (-1: none).
    long drawnPrimitives()
    {
        device().clearCalls();
        label->draw();
        const auto draws = device().callsNamed("DrawPrimitive");
        if (draws.empty()) return -1;
        EXPECT_EQ(draws.size(), 1u);
        return static_cast<long>(draws[0].args[2]);
    }
};

}  // namespace

TEST(TextLabelGlyphs, IndexCoversSpaceToLowercaseZOnly)
{
    EXPECT_EQ(TextLabel::glyphIndex(' '), 0);
    EXPECT_EQ(TextLabel::glyphIndex('0'), 16);
    EXPECT_EQ(TextLabel::glyphIndex(':'), 26);
    EXPECT_EQ(TextLabel::glyphIndex('A'), 33);
    EXPECT_EQ(TextLabel::glyphIndex('a'), 65);
    EXPECT_EQ(TextLabel::glyphIndex('z'), 90);
    for (const char c : {'\0', '\t', '\x1f', '{', '|', '}', '~', '\x7f', '\x80', '\xe9', '\xff'})
        EXPECT_EQ(TextLabel::glyphIndex(c), -1) << "byte " << static_cast<int>(static_cast<unsigned char>(c));
}

TEST(TextLabelGlyphs, CellsAreTheTopLeftOfEachSevenByThirteenCell)
{
    const GlyphCell space = cellOf(' ');
    EXPECT_FLOAT_EQ(space.u0, 0.0f);
    EXPECT_FLOAT_EQ(space.v0, 0.0f);
    EXPECT_FLOAT_EQ(space.u1, 0.046875f);
    EXPECT_FLOAT_EQ(space.v1, 0.09375f);

    const GlyphCell a = cellOf('A');  // column 15, row 1
    EXPECT_FLOAT_EQ(a.u0, 0.8203125f);
    EXPECT_FLOAT_EQ(a.v0, 0.1015625f);
    EXPECT_FLOAT_EQ(a.u1, 0.8671875f);
    EXPECT_FLOAT_EQ(a.v1, 0.1953125f);

    const GlyphCell z = cellOf('z');  // column 0, row 5
    EXPECT_FLOAT_EQ(z.u0, 0.0f);
    EXPECT_FLOAT_EQ(z.v0, 0.5078125f);
    EXPECT_FLOAT_EQ(z.u1, 0.046875f);
    EXPECT_FLOAT_EQ(z.v1, 0.6015625f);

    // A font claiming zero cells a row must not divide by zero.
    const GlyphCell degenerate = TextLabel::glyphCell(3, W, H, T, 0);
    EXPECT_FLOAT_EQ(degenerate.v0, 39.0f / 128.0f);
}

// One character: exactly the six vertices of one quad, 120 bytes in a managed
// buffer; the frame-rate label's position gives the documented corners.
TEST_F(LabelTest, OneCharacterBuildsSixVerticesInItsOwnBuffer)
{
    label->setPosition(432, 364);
    label->setText("F");
    const auto creates = device().callsNamed("CreateVertexBuffer");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0].args, (std::vector<uintptr_t>{120, 0, 0, D3DPOOL_MANAGED, 0}));

    const std::vector<TextVertex> vertices = bufferVertices(label->buffer());
    ASSERT_EQ(vertices.size(), 6u);
    expectQuad(vertices, 0, 432, 364, cellOf('F'));
    EXPECT_FLOAT_EQ(vertices[0].x, 431.5f);
    EXPECT_FLOAT_EQ(vertices[0].y, 375.5f);
    EXPECT_FLOAT_EQ(vertices[3].x, 437.5f);
    EXPECT_FLOAT_EQ(vertices[3].y, 363.5f);
}

// Characters advance by the cell width; every byte is a quad, spaces
// included, and bytes without a glyph (even the first) show the blank cell.
TEST_F(LabelTest, CharactersAdvanceByCellWidthWithTheirOwnCells)
{
    label->setPosition(432, 364);
    label->setText("FPS: 9");
    std::vector<TextVertex> vertices = bufferVertices(label->buffer());
    ASSERT_EQ(vertices.size(), 36u);
    const std::string text = "FPS: 9";
    for (size_t i = 0; i < text.size(); ++i) expectQuad(vertices, i, 432, 364, cellOf(text[i]));
    EXPECT_FLOAT_EQ(vertices[6].x, 438.5f);
    EXPECT_FLOAT_EQ(vertices[6].y, 375.5f);

    label->setPosition(0, 0);
    label->setText("ab");
    vertices = bufferVertices(label->buffer());
    EXPECT_FLOAT_EQ(vertices[0].x, -0.5f);
    EXPECT_FLOAT_EQ(vertices[3].x, 5.5f);
    EXPECT_FLOAT_EQ(vertices[0].y, 11.5f);
    EXPECT_FLOAT_EQ(vertices[3].y, -0.5f);
    EXPECT_FLOAT_EQ(vertices[6].x, 6.5f);
    EXPECT_FLOAT_EQ(vertices[9].x, 12.5f);

    const GlyphCell blank = cellOf(' ');
    const std::string odd = std::string("\x80") + "A{\tz ";
    label->setText(odd);
    vertices = bufferVertices(label->buffer());
    expectQuad(vertices, 0, 0, 0, blank);
    expectQuad(vertices, 1, 0, 0, cellOf('A'));
    expectQuad(vertices, 2, 0, 0, blank);
    expectQuad(vertices, 3, 0, 0, blank);
    expectQuad(vertices, 4, 0, 0, cellOf('z'));
    expectQuad(vertices, 5, 0, 0, blank);
    EXPECT_EQ(drawnPrimitives(), 12);
}

// The frame-rate texts grow the buffer only when they outgrow it; a shorter
// text keeps the larger buffer, rewrites only its own bytes and draws its
// own triangles.
TEST_F(LabelTest, BufferGrowsOnlyWhenTooSmall)
{
    const int liveBefore = device().liveObjects();
    label->setPosition(432, 364);
    const std::pair<const char*, long> texts[] = {{"FPS: 9", 12}, {"FPS: 60", 14}, {"FPS: 100", 16}};
    for (const auto& [text, triangles] : texts) {
        label->setText(text);
        EXPECT_EQ(drawnPrimitives(), triangles) << text;
        EXPECT_EQ(bufferBytes(label->buffer()), 120u * std::strlen(text));
        expectQuad(bufferVertices(label->buffer()), std::strlen(text) - 1, 432, 364, cellOf(text[std::strlen(text) - 1]));
    }
    EXPECT_EQ(device().vertexBuffers.size(), 3u);
    EXPECT_EQ(device().liveObjects(), liveBefore + 1);  // the outgrown buffers were released

    IDirect3DVertexBuffer9* large = label->buffer();
    const std::vector<TextVertex> before = bufferVertices(large);
    device().clearCalls();
    label->setText("FPS: 7");
    EXPECT_EQ(device().count("CreateVertexBuffer"), 0u);
    EXPECT_EQ(label->buffer(), large);
    EXPECT_EQ(device().liveObjects(), liveBefore + 1);
    const std::vector<TextVertex> after = bufferVertices(large);
    expectQuad(after, 5, 432, 364, cellOf('7'));
    // The tail beyond the new text is left as it was.
    EXPECT_EQ(std::memcmp(&after[36], &before[36], 12 * sizeof(TextVertex)), 0);
    EXPECT_EQ(drawnPrimitives(), 12);
}

// A label draws with the eight states in a fixed order, then one stream
// binding and one draw of two triangles per character.
TEST_F(LabelTest, DrawSetsStatesThenOneDrawCall)
{
    label->setText("Debug mode");
    device().clearCalls();
    label->draw();
    using S = std::vector<uintptr_t>;
    const std::vector<std::pair<std::string, S>> expected = {
        {"SetTextureStageState", S{0, D3DTSS_COLOROP, D3DTOP_SELECTARG1}},
        {"SetTextureStageState", S{0, D3DTSS_COLORARG1, D3DTA_TEXTURE}},
        {"SetRenderState", S{D3DRS_ALPHABLENDENABLE, TRUE}},
        {"SetRenderState", S{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}},
        {"SetRenderState", S{D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}},
        {"SetTextureStageState", S{0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}},
        {"SetTextureStageState", S{0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}},
        {"SetTextureStageState", S{0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}},
        {"SetStreamSource", S{0, testing_support::ptrArg(label->buffer()), 0, 20}},
        {"DrawPrimitive", S{D3DPT_TRIANGLELIST, 0, 20}},
    };
    ASSERT_EQ(device().calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(device().calls[i].name, expected[i].first) << "call " << i;
        EXPECT_EQ(device().calls[i].args, expected[i].second) << "call " << i;
    }
}

// A new label, a label whose text became empty, and a position set on an
// empty label build and draw nothing; the stored position is used by the
// next non-empty text.
TEST_F(LabelTest, EmptyLabelsBuildAndDrawNothing)
{
    EXPECT_EQ(drawnPrimitives(), -1);
    EXPECT_TRUE(device().calls.empty());

    label->setText("");
    label->setPosition(-502, -374);
    EXPECT_EQ(device().count("CreateVertexBuffer"), 0u);
    EXPECT_EQ(label->buffer(), nullptr);
    EXPECT_EQ(drawnPrimitives(), -1);

    label->setText("Tarnval");
    const std::vector<TextVertex> vertices = bufferVertices(label->buffer());
    ASSERT_EQ(vertices.size(), 42u);
    for (size_t i = 0; i < 7; ++i) expectQuad(vertices, i, -502, -374, cellOf("Tarnval"[i]));

    label->setText("");
    EXPECT_EQ(drawnPrimitives(), -1);
    EXPECT_TRUE(device().calls.empty());
}

// Buffers that cannot be created or locked are never written through nor
// drawn; the label recovers at the next change.
TEST_F(LabelTest, FailedBufferCreationOrLockDrawsNothing)
{
    device().inject(testing_support::Fail::CreateVertexBuffer, 1);
    label->setText("FPS: 60");
    EXPECT_EQ(label->buffer(), nullptr);
    EXPECT_EQ(drawnPrimitives(), -1);
    EXPECT_TRUE(device().calls.empty());

    label->setPosition(1, 2);
    ASSERT_NE(label->buffer(), nullptr);
    EXPECT_EQ(drawnPrimitives(), 14);

    device().inject(testing_support::Fail::LockVertexBuffer, 1);
    label->setText("FPS: 61");
    EXPECT_EQ(drawnPrimitives(), -1);
    label->setText("FPS: 62");
    EXPECT_EQ(drawnPrimitives(), 14);
    expectQuad(bufferVertices(label->buffer()), 6, 1, 2, cellOf('2'));

    // Growing fails after the old buffer went: nothing left to draw.
    device().inject(testing_support::Fail::CreateVertexBuffer, 1);
    label->setText("FPS: 1000");
    EXPECT_EQ(label->buffer(), nullptr);
    EXPECT_EQ(drawnPrimitives(), -1);
}

// A text whose vertices would not fit a 32-bit buffer size is refused
// outright rather than wrapping the size.
TEST_F(LabelTest, AbsurdlyLongTextIsRefused)
{
    label->setText("FPS: 60");
    auto* buffer = dynamic_cast<FakeVertexBuffer*>(label->buffer());
    ASSERT_NE(buffer, nullptr);
    const int locks = buffer->lockCount;
    const std::string huge(static_cast<size_t>(TextLabel::maxLength) + 1, 'x');
    device().clearCalls();
    label->setText(huge);
    EXPECT_EQ(device().count("CreateVertexBuffer"), 0u);
    EXPECT_EQ(buffer->lockCount, locks);
    EXPECT_EQ(drawnPrimitives(), -1);
    EXPECT_LE(static_cast<uint64_t>(TextLabel::maxLength) * 120u, std::numeric_limits<uint32_t>::max());

    label->setText("ok");
    EXPECT_EQ(drawnPrimitives(), 4);
}

// Destroying a label releases its buffer once.
TEST_F(LabelTest, DestructionReleasesTheBuffer)
{
    const int before = device().liveObjects();
    label->setText("FPS: 100");
    EXPECT_EQ(device().liveObjects(), before + 1);
    overlay.renderer.reset();
    EXPECT_EQ(device().liveObjects(), 0);
}
