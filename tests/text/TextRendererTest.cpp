// The overlay's renderer and font: the projection it loads, the order of its
// bindings, ownership of fonts and labels, and what happens when the sheet
// or the text shader cannot be had.
#include "TextTestSupport.h"

#include <tarnvale_platform.h>

#include <fstream>

using namespace text_test;

namespace {

const std::string kAbsoluteSheet = std::string(TARNVALE_SOURCE_DIR) + "/res/smallfonts128x128.png";

void expectCall(const RecordedCall& call, const std::string& name, std::vector<uintptr_t> args)
{
    EXPECT_EQ(call.name, name);
    EXPECT_EQ(call.args, args) << "arguments of " << name;
}

// Counts its own destruction so that ownership faults show.
struct CountingLabel : TextLabel {
    CountingLabel(BitmapFont* font, std::vector<int>* deaths, int id) : TextLabel(font), deaths(deaths), id(id) {}
    ~CountingLabel() override { deaths->push_back(id); }
    std::vector<int>* deaths;
    int id;
};

}  // namespace

// A renderer without fonts still sets its states and loads the transposed
// projection; a second draw loads exactly the same registers again.
TEST(TextRenderer, DrawSetsStatesAndLoadsTransposedProjection)
{
    Overlay overlay;
    RecordingDevice& device = overlay.device;

    for (int pass = 0; pass < 2; ++pass) {
        device.clearCalls();
        overlay.renderer->draw();
        ASSERT_EQ(device.calls.size(), 4u) << "pass " << pass;
        expectCall(device.calls[0], "SetRenderState", {D3DRS_FILLMODE, D3DFILL_SOLID});
        expectCall(device.calls[1], "SetPixelShader", {0});
        expectCall(device.calls[2], "SetRenderState", {D3DRS_LIGHTING, FALSE});
        expectCall(device.calls[3], "SetVertexShaderConstantF", {0, 4});

        const std::vector<float> expected = {0.001953125f, 0, 0,     0,  //
                                             0, 2.0f / 768.0f, 0, 0,   //
                                             0, 0, 0.01f, 0,            //
                                             0, 0, 0, 1};
        const std::vector<float>& constants = device.calls[3].data;
        ASSERT_EQ(constants.size(), 16u);
        for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(constants[i], expected[i]) << "pass " << pass << " float " << i;
        EXPECT_NEAR(constants[5], 0.0026041667f, 1e-9f);
    }
}

// The font loads its sheet and builds the 20-byte declaration and the
// shader once, at construction, in that order.
TEST(BitmapFont, ConstructionLoadsSheetDeclarationAndShader)
{
    Overlay overlay;
    BitmapFont* font = overlay.addFont();
    RecordingDevice& device = overlay.device;

    EXPECT_TRUE(font->isReady());
    ASSERT_NE(font->sheetTexture(), nullptr);
    EXPECT_EQ(device.count("CreateVertexDeclaration"), 1u);
    EXPECT_EQ(device.count("CreateVertexShader"), 1u);
    ASSERT_FALSE(device.callsNamed("CreateTexture").empty());
    EXPECT_EQ(device.callsNamed("CreateTexture")[0].args[0], 128u);
    EXPECT_EQ(device.callsNamed("CreateTexture")[0].args[1], 128u);

    const std::vector<std::string> names = device.callNames();
    auto position = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    EXPECT_LT(position("CreateTexture"), position("CreateVertexDeclaration"));
    EXPECT_LT(position("CreateVertexDeclaration"), position("CreateVertexShader"));

    // Draw once to learn the declaration object, then read its elements back.
    device.clearCalls();
    font->draw();
    ASSERT_NE(device.declaration, nullptr);
    D3DVERTEXELEMENT9 elements[3] = {};
    UINT count = 0;
    ASSERT_EQ(device.declaration->GetDeclaration(nullptr, &count), D3D_OK);
    ASSERT_EQ(count, 3u);
    device.declaration->GetDeclaration(elements, &count);
    const D3DVERTEXELEMENT9 expected[3] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END(),
    };
    EXPECT_EQ(std::memcmp(elements, expected, sizeof(expected)), 0);
}

// A font without labels binds its sheet, declaration and shader and draws
// nothing; with labels, each draws after the bindings, in the order added.
TEST(BitmapFont, DrawBindsOnceThenDrawsLabelsInOrder)
{
    Overlay overlay;
    BitmapFont* font = overlay.addFont();
    RecordingDevice& device = overlay.device;

    device.clearCalls();
    font->draw();
    ASSERT_EQ(device.calls.size(), 3u);
    expectCall(device.calls[0], "SetTexture", {0, testing_support::ptrArg(font->sheetTexture())});
    EXPECT_EQ(device.calls[1].name, "SetVertexDeclaration");
    EXPECT_NE(device.calls[1].args[0], 0u);
    EXPECT_EQ(device.calls[2].name, "SetVertexShader");
    EXPECT_NE(device.calls[2].args[0], 0u);

    TextLabel* first = overlay.addLabel(font, "FPS: 60", 432, 364);
    TextLabel* second = overlay.addLabel(font, "Debug", -502, 364);
    device.clearCalls();
    font->draw();
    const auto streams = device.callsNamed("SetStreamSource");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].args[1], testing_support::ptrArg(first->buffer()));
    EXPECT_EQ(streams[1].args[1], testing_support::ptrArg(second->buffer()));
    EXPECT_EQ(device.count("SetTexture"), 1u);
    EXPECT_EQ(device.calls[0].name, "SetTexture");
}

// Fonts draw in the order they were added, each after the renderer's states.
TEST(TextRenderer, FontsDrawInOrderAdded)
{
    Overlay overlay;
    BitmapFont* first = overlay.addFont();
    BitmapFont* second = overlay.addFont();
    ASSERT_NE(first->sheetTexture(), second->sheetTexture());

    overlay.device.clearCalls();
    overlay.renderer->draw();
    const auto textures = overlay.device.callsNamed("SetTexture");
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_EQ(textures[0].args[1], testing_support::ptrArg(first->sheetTexture()));
    EXPECT_EQ(textures[1].args[1], testing_support::ptrArg(second->sheetTexture()));
    ASSERT_GT(overlay.device.calls.size(), 4u);
    EXPECT_EQ(overlay.device.calls[3].name, "SetVertexShaderConstantF");
    EXPECT_EQ(overlay.device.calls[4].name, "SetTexture");
}

// Deleting the renderer deletes every font, and each font every label
// (including labels that never built a buffer), exactly once and in order,
// and every Direct3D object made for the overlay is released.
TEST(TextRenderer, DestructionDeletesFontsLabelsAndReleasesEverything)
{
    Overlay overlay;
    std::vector<int> deaths;
    BitmapFont* first = overlay.addFont();
    BitmapFont* second = overlay.addFont();
    int id = 0;
    for (BitmapFont* font : {first, second}) {
        auto* built = new CountingLabel(font, &deaths, id++);
        font->addLabel(built);
        built->setText("FPS: 100");
        auto* empty = new CountingLabel(font, &deaths, id++);
        font->addLabel(empty);
        empty->setPosition(10, 10);
    }
    overlay.renderer->draw();
    EXPECT_GT(overlay.device.liveObjects(), 0);

    overlay.renderer.reset();
    EXPECT_EQ(deaths, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(overlay.device.liveObjects(), 0);
}

// A sheet that cannot be loaded leaves no texture; the labels still draw,
// with no texture bound.
TEST(BitmapFont, MissingSheetDrawsLabelsUntextured)
{
    Overlay overlay;
    BitmapFont* font = overlay.addFont("res\\no-such-sheet.png");
    EXPECT_EQ(font->sheetTexture(), nullptr);
    EXPECT_TRUE(font->isReady());
    overlay.addLabel(font, "Hi", 0, 0);

    overlay.device.clearCalls();
    overlay.renderer->draw();
    const auto textures = overlay.device.callsNamed("SetTexture");
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0].args[1], 0u);
    EXPECT_EQ(overlay.device.count("DrawPrimitive"), 1u);

    overlay.renderer.reset();
    EXPECT_EQ(overlay.device.liveObjects(), 0);
}

// A missing or broken "textfont.vsh": no shader is created from a buffer
// that was never produced, the user is told which file and why, the font is
// not ready and draws no label, and nothing leaks.
TEST(BitmapFont, MissingOrBrokenShaderIsReportedAndNotUsed)
{
    ScratchFolder scratch;
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "broken" : "missing");
        if (broken) std::ofstream(scratch / "textfont.vsh") << "float4 main( : POSITION { return 0; }\n";
        tvplat::clearMessageBoxLog();

        Overlay overlay;
        BitmapFont* font = overlay.addFont(kAbsoluteSheet);
        EXPECT_FALSE(font->isReady());
        EXPECT_EQ(overlay.device.count("CreateVertexShader"), 0u);

        ASSERT_EQ(tvplat::messageBoxCount(), 1);
        const tvplat::MessageBoxRecord box = tvplat::messageBoxAt(0);
        EXPECT_STREQ(box.caption, "Error");
        const std::string text = box.text;
        EXPECT_EQ(text.rfind("textfont.vsh", 0), 0u) << text;
        EXPECT_TRUE(text.compare(12, 2, ": ") == 0 || text.compare(12, 1, "(") == 0) << text;
        EXPECT_GT(text.size(), std::string("textfont.vsh: ").size()) << text;

        overlay.addLabel(font, "FPS: 1", 0, 0);
        overlay.device.clearCalls();
        overlay.renderer->draw();
        EXPECT_EQ(overlay.device.count("DrawPrimitive"), 0u);

        overlay.renderer.reset();
        EXPECT_EQ(overlay.device.liveObjects(), 0);
    }
}

// The device refusing the compiled shader is reported as well, and the
// compiled code is still released (no leak under the sanitizers).
TEST(BitmapFont, RefusedShaderIsReported)
{
    tvplat::clearMessageBoxLog();
    Overlay overlay;
    overlay.device.inject(testing_support::Fail::CreateVertexShader, 1);
    BitmapFont* font = overlay.addFont();
    EXPECT_FALSE(font->isReady());
    EXPECT_EQ(overlay.device.count("CreateVertexShader"), 1u);
    ASSERT_EQ(tvplat::messageBoxCount(), 1);
    EXPECT_EQ(std::string(tvplat::messageBoxAt(0).text).rfind("textfont.vsh", 0), 0u);
    overlay.renderer.reset();
    EXPECT_EQ(overlay.device.liveObjects(), 0);
}
