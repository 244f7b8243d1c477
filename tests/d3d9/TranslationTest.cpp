// The GL-free parts of the shader path: HLSL semantics, the varying table,
// fixed-function keys and what translation learns about a shader.
#include "D3d9TestSupport.h"

#include "platform/d3d9/FixedFunctionKey.h"
#include "platform/d3d9/FormatTable.h"
#include "platform/d3d9/GlCaps.h"
#include "platform/d3d9/HlslSemantic.h"
#include "platform/d3d9/ShaderTranslator.h"
#include "platform/d3d9/VaryingRegistry.h"

#include <string>

namespace {

TEST(HlslSemantic, NamesMapToDeclarationUsagesWhateverTheirCase)
{
    const struct {
        const char* semantic;
        BYTE usage;
        BYTE index;
    } cases[] = {
        {"POSITION", D3DDECLUSAGE_POSITION, 0},   {"position0", D3DDECLUSAGE_POSITION, 0},
        {"SV_Position", D3DDECLUSAGE_POSITION, 0}, {"POSITIONT", D3DDECLUSAGE_POSITIONT, 0},
        {"texcoord", D3DDECLUSAGE_TEXCOORD, 0},   {"TEXCOORD15", D3DDECLUSAGE_TEXCOORD, 15},
        {"Color1", D3DDECLUSAGE_COLOR, 1},        {"NORMAL", D3DDECLUSAGE_NORMAL, 0},
        {"BLENDINDICES2", D3DDECLUSAGE_BLENDINDICES, 2}, {"TANGENT", D3DDECLUSAGE_TANGENT, 0},
    };
    for (const auto& c : cases) {
        BYTE usage = 0xFF, index = 0xFF;
        ASSERT_TRUE(HlslSemantic::usageOf(c.semantic, usage, index)) << c.semantic;
        EXPECT_EQ(usage, c.usage) << c.semantic;
        EXPECT_EQ(index, c.index) << c.semantic;
    }
    BYTE usage = 0, index = 0;
    for (const char* bad : {"", "TEXCOORD16", "BOGUS", "POSITIONX", "COLOR0000", "7"})
        EXPECT_FALSE(HlslSemantic::usageOf(bad, usage, index)) << bad;

    EXPECT_EQ(HlslSemantic::normalize("texcoord"), "TEXCOORD0");
    EXPECT_EQ(HlslSemantic::normalize("TEXCOORD0"), "TEXCOORD0");
    EXPECT_EQ(HlslSemantic::normalize("color1"), "COLOR1");
    EXPECT_EQ(HlslSemantic::normalize(""), "");
}

TEST(VaryingRegistry, OneSemanticOneLocationUntilTheTableIsFull)
{
    VaryingRegistry registry(12);
    EXPECT_EQ(registry.locationOf("TEXCOORD0"), 0);
    EXPECT_EQ(registry.locationOf("TEXCOORD7"), 7);
    EXPECT_EQ(registry.locationOf("COLOR0"), VaryingRegistry::color0);
    EXPECT_EQ(registry.locationOf("COLOR1"), VaryingRegistry::color1);
    const int fog = registry.locationOf("FOG0");
    EXPECT_EQ(fog, 10);
    EXPECT_EQ(registry.locationOf("NORMAL0"), 11);
    EXPECT_EQ(registry.locationOf("FOG0"), fog);
    EXPECT_EQ(registry.locationOf("TANGENT0"), -1);
    EXPECT_EQ(registry.locationOf("NORMAL0"), 11);
}

TEST(FixedFunctionKey, OnlyStatesThatReachTheResultSplitTheCache)
{
    DWORD states[StateRules::stageCount][StateRules::stageStateCount];
    for (DWORD s = 0; s < StateRules::stageCount; ++s) StateRules::defaultStageStates(s, states[s]);
    const FixedFunctionKey defaults = FixedFunctionKey::fromStates(states);
    EXPECT_EQ(defaults.activeStages(), 1);

    // Stages after the first disabled one do not count.
    states[2][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
    states[3][D3DTSS_COLOROP] = D3DTOP_ADD;
    EXPECT_TRUE(FixedFunctionKey::fromStates(states) == defaults);
    // Nor does a stage constant no argument reads.
    states[0][D3DTSS_CONSTANT] = 0x12345678;
    EXPECT_TRUE(FixedFunctionKey::fromStates(states) == defaults);
    states[0][D3DTSS_COLORARG2] = D3DTA_CONSTANT;
    const FixedFunctionKey readsConstant = FixedFunctionKey::fromStates(states);
    EXPECT_FALSE(readsConstant == defaults);
    states[0][D3DTSS_CONSTANT] = 0x87654321;
    EXPECT_FALSE(FixedFunctionKey::fromStates(states) == readsConstant);

    // Enabling stage 1 makes stage 1's states count.
    states[1][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    const FixedFunctionKey twoStages = FixedFunctionKey::fromStates(states);
    EXPECT_EQ(twoStages.activeStages(), 2);  // stage 2 is disabled: stage 3 still does not count
    EXPECT_NE(FixedFunctionKeyHash()(twoStages), FixedFunctionKeyHash()(defaults));
}

std::vector<uint32_t> spirv(const char* source, const char* profile)
{
    ID3DXBuffer* code = d3d9test::compile(source, profile);
    if (code == nullptr) return {};
    const uint32_t* words = static_cast<const uint32_t*>(code->GetBufferPointer());
    std::vector<uint32_t> module(words, words + code->GetBufferSize() / 4);
    code->Release();
    std::string error;
    EXPECT_EQ(ShaderTranslator::moduleLength(module.data(), error), module.size() - 1) << error;
    module.pop_back();  // the end token
    return module;
}

// Where a context takes only RGBA8 textures (GL ES), texels are converted on
// upload and back when a level is read back: every pixel of every format
// must come back as it was (but for bits the format does not keep), and the
// colours GL sees must be the format's.
TEST(FormatTable, EveryTextureFormatSurvivesTheWayThroughRgba8)
{
    struct Case {
        D3DFORMAT format;
        uint32_t keptBits;  // of a pixel, little-endian
    };
    for (const Case c : {Case{D3DFMT_A8R8G8B8, 0xFFFFFFFFu}, Case{D3DFMT_X8R8G8B8, 0x00FFFFFFu},
                         Case{D3DFMT_A8B8G8R8, 0xFFFFFFFFu}, Case{D3DFMT_X8B8G8R8, 0x00FFFFFFu}, Case{D3DFMT_R5G6B5, 0xFFFFu},
                         Case{D3DFMT_A1R5G5B5, 0xFFFFu}, Case{D3DFMT_X1R5G5B5, 0x7FFFu}, Case{D3DFMT_A4R4G4B4, 0xFFFFu},
                         Case{D3DFMT_A8, 0xFFu}, Case{D3DFMT_L8, 0xFFu}, Case{D3DFMT_A8L8, 0xFFFFu}}) {
        const GlFormat* format = FormatTable::texture(c.format);
        ASSERT_NE(format, nullptr);
        const UINT size = format->bytesPerPixel;
        // Every pixel of the small formats; a spread of the 32-bit ones.
        const uint32_t count = size == 4 ? 65536 : 1u << (8 * size);
        std::vector<uint8_t> pixels(size_t{count} * size), rgba(size_t{count} * 4), back(pixels.size());
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t value = size == 4 ? i * 2654435761u : i;
            for (UINT b = 0; b < size; ++b) pixels[size_t{i} * size + b] = static_cast<uint8_t>(value >> (8 * b));
        }
        FormatTable::toRgba8(*format, pixels.data(), rgba.data(), count);
        FormatTable::fromRgba8(*format, rgba.data(), back.data(), count);
        size_t wrong = 0;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t before = 0, after = 0;
            for (UINT b = 0; b < size; ++b) {
                before |= uint32_t{pixels[size_t{i} * size + b]} << (8 * b);
                after |= uint32_t{back[size_t{i} * size + b]} << (8 * b);
            }
            if ((before & c.keptBits) != (after & c.keptBits) && ++wrong <= 3)
                ADD_FAILURE() << "format " << c.format << ": " << d3d9test::hex(before) << " came back as " << d3d9test::hex(after);
        }
    }
    // What GL sees: R, G, B, A bytes, widened as GL widens them.
    const auto rgbaOf = [](D3DFORMAT f, std::vector<uint8_t> pixel) {
        std::vector<uint8_t> rgba(4);
        FormatTable::toRgba8(*FormatTable::texture(f), pixel.data(), rgba.data(), 1);
        return rgba;
    };
    EXPECT_EQ(rgbaOf(D3DFMT_A8R8G8B8, {0x30, 0x20, 0x10, 0x80}), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80}));
    EXPECT_EQ(rgbaOf(D3DFMT_X8R8G8B8, {0x30, 0x20, 0x10, 0x00}), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0xFF}));
    EXPECT_EQ(rgbaOf(D3DFMT_R5G6B5, {0x1F, 0xF8}), (std::vector<uint8_t>{255, 0, 255, 255}));
    EXPECT_EQ(rgbaOf(D3DFMT_A4R4G4B4, {0x84, 0x2C}), (std::vector<uint8_t>{0xCC, 0x88, 0x44, 0x22}));
    EXPECT_EQ(rgbaOf(D3DFMT_A8, {0x7F}), (std::vector<uint8_t>{0, 0, 0, 0x7F}));
    EXPECT_EQ(rgbaOf(D3DFMT_A8L8, {0x40, 0xC0}), (std::vector<uint8_t>{0x40, 0x40, 0x40, 0xC0}));
}

TEST(ShaderTranslator, LearnsInputsConstantsAndSamplersOfAVertexShader)
{
    const std::vector<uint32_t> module = spirv(R"(
        float4x4 wvp : register(c8);
        float4 light : register(c12);
        sampler2D heights : register(s3);
        struct Output { float4 position : POSITION; float2 uv : TEXCOORD0; float4 shade : COLOR0; };
        Output main(float3 p : POSITION, float3 n : NORMAL, float2 uv : TEXCOORD0)
        {
            Output o;
            o.position = mul(float4(p, 1.0), wvp) + tex2Dlod(heights, float4(uv, 0, 0));
            o.uv = uv;
            o.shade = light * dot(n, n);
            return o;
        }
    )", "vs_3_0");
    ASSERT_FALSE(module.empty());
    VaryingRegistry registry;
    TranslatedShader shader;
    std::string error;
    ASSERT_TRUE(ShaderTranslator::translate(module.data(), module.size(), true, GlCaps{}, registry, shader, error)) << error;
    ASSERT_EQ(shader.inputs.size(), 3u);
    EXPECT_EQ(shader.inputs[0].usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(shader.inputs[1].usage, D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(shader.inputs[2].usage, D3DDECLUSAGE_TEXCOORD);
    for (size_t i = 0; i < shader.inputs.size(); ++i) EXPECT_EQ(shader.inputs[i].location, static_cast<int>(i));
    EXPECT_EQ(shader.constantBytes, 13u * 16u);  // c0..c12
    EXPECT_EQ(shader.samplerMask, 1u << 3);
    EXPECT_EQ(shader.varyingMask, (1u << 0) | (1u << VaryingRegistry::color0));
    // The register file's layout is fixed, not left to the driver: an
    // std140 array of registers, c8 read at index 8.
    EXPECT_NE(shader.glsl.find("std140) uniform"), std::string::npos) << shader.glsl;
    EXPECT_NE(shader.glsl.find("vec4 tv_vc0[13];"), std::string::npos) << shader.glsl;
    EXPECT_NE(shader.glsl.find("tv_vc0[8]"), std::string::npos) << shader.glsl;
    // The clip position moves by half a pixel after the shader's own code.
    EXPECT_NE(ShaderTranslator::vertexVariant(shader, 0).find("tv_pixelShift"), std::string::npos);

    // The same code is no pixel shader.
    EXPECT_FALSE(ShaderTranslator::translate(module.data(), module.size(), false, GlCaps{}, registry, shader, error));
    EXPECT_NE(error.find("pixel shader"), std::string::npos);
}

TEST(ShaderTranslator, PixelInputsTakeTheLocationsOfTheirSemantics)
{
    const std::vector<uint32_t> module = spirv(R"(
        float4 k : register(c2);
        float4 main(float4 c : COLOR1, float3 t : TEXCOORD5) : COLOR { return c * k + float4(t, 0); }
    )", "ps_2_0");
    ASSERT_FALSE(module.empty());
    VaryingRegistry registry;
    TranslatedShader shader;
    std::string error;
    ASSERT_TRUE(ShaderTranslator::translate(module.data(), module.size(), false, GlCaps{}, registry, shader, error)) << error;
    EXPECT_EQ(shader.varyingMask, (1u << VaryingRegistry::color1) | (1u << 5));
    EXPECT_EQ(shader.constantBytes, 3u * 16u);
    ASSERT_EQ(shader.pixelInputs.size(), 2u);
    for (const ShaderVarying& input : shader.pixelInputs)
        EXPECT_EQ(input.components, input.location == 5 ? 3 : 4);
    EXPECT_FALSE(shader.opaqueColour);
}

// Registers are placed by register(cN), in whatever order the constants are
// declared (GLSL rejects a block whose member offsets go backwards), and
// each context gets GLSL it takes: layout(binding) and layout(location)
// between stages only where GLSL 4.50 has them, varyings matched by name
// elsewhere, clip-space depth mapped where there is no clip control.
TEST(ShaderTranslator, ConstantsInAnyOrderAndGlslForEveryContext)
{
    const std::vector<uint32_t> module = spirv(R"(
        float4 p3 : register(c3);
        float4 p1 : register(c1);
        float4 p2 : register(c2);
        float4 p0 : register(c0);
        struct Output { float4 position : POSITION; float2 uv : TEXCOORD0; };
        Output main(float3 p : POSITION, float2 uv : TEXCOORD0)
        {
            float4 q = float4(p, 1.0);
            Output o;
            o.position = float4(dot(p0, q), dot(p1, q), dot(p2, q), dot(p3, q));
            o.uv = uv;
            return o;
        }
    )", "vs_1_1");
    ASSERT_FALSE(module.empty());
    GlCaps gl33;
    gl33.api = GlCaps::Api::Gl33;
    gl33.glslVersion = 330;
    gl33.directStateAccess = gl33.persistentConstantRing = gl33.clipControl = false;
    GlCaps es30 = gl33;
    es30.api = GlCaps::Api::Es30;
    es30.es = true;
    es30.glslVersion = 300;
    for (const GlCaps& target : {GlCaps{}, gl33, es30}) {
        VaryingRegistry registry;
        TranslatedShader shader;
        std::string error;
        ASSERT_TRUE(ShaderTranslator::translate(module.data(), module.size(), true, target, registry, shader, error))
            << error;
        EXPECT_EQ(shader.constantBytes, 4u * 16u);
        const std::string glsl = ShaderTranslator::vertexVariant(shader, 0);
        EXPECT_EQ(glsl.find("offset"), std::string::npos) << glsl;
        for (int c = 0; c < 4; ++c) EXPECT_NE(glsl.find("tv_vc0[" + std::to_string(c) + "]"), std::string::npos) << glsl;
        EXPECT_EQ(glsl.rfind(ShaderTranslator::header(target).substr(0, 12), 0), 0u) << glsl;
        const bool bound = target.api == GlCaps::Api::Gl45;
        EXPECT_EQ(glsl.find("binding") != std::string::npos, bound) << glsl;
        EXPECT_NE(glsl.find(bound ? "layout(location = 0) out vec4 tv_v0;" : "\nout vec4 tv_v0;"), std::string::npos) << glsl;
        EXPECT_EQ(glsl.find("2.0 * gl_Position.z - gl_Position.w") != std::string::npos, !target.clipControl) << glsl;
    }
}

// Blending is skipped only for pixel shaders whose colour is opaque on every
// path; any alpha that is not the constant 1 keeps it.
TEST(ShaderTranslator, KnowsWhenAPixelShaderColourIsAlwaysOpaque)
{
    const char* const header = "sampler2D image : register(s0);\nfloat4 k : register(c0);\n";
    const struct {
        const char* body;
        bool opaque;
    } cases[] = {
        {"float4 main(float2 t : TEXCOORD0) : COLOR0 { return float4(tex2D(image, t).rgb * k.x, 1.0); }", true},
        {"float4 main() : COLOR0 { return float4(0.25, 0.5, 0.75, 1.0); }", true},
        {"float4 main(float2 t : TEXCOORD0) : COLOR0 { return tex2D(image, t); }", false},
        {"float4 main(float2 t : TEXCOORD0) : COLOR0 { return float4(tex2D(image, t).rgb, 0.5); }", false},
        {"float4 main(float2 t : TEXCOORD0) : COLOR0 { return t.x > k.y ? float4(t, 0, 1) : k; }", false},
    };
    for (const auto& c : cases) {
        const std::vector<uint32_t> module = spirv((std::string(header) + c.body).c_str(), "ps_2_0");
        ASSERT_FALSE(module.empty()) << c.body;
        VaryingRegistry registry;
        TranslatedShader shader;
        std::string error;
        ASSERT_TRUE(ShaderTranslator::translate(module.data(), module.size(), false, GlCaps{}, registry, shader, error)) << error;
        EXPECT_EQ(shader.opaqueColour, c.opaque) << c.body;
    }
}

}  // namespace
