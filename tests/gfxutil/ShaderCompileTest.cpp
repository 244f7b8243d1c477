// Shader compilation: Direct3D 9 style HLSL into SPIR-V that keeps what the
// Direct3D 9 layer binds by (semantics, registers, sampler units), and clean
// failures with "file(line): error: text" messages.
#include <d3dx9.h>
#include <tarnvale_d3dx.h>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// ---- Reading the parts of a SPIR-V module the tests look at --------------

struct Spirv {
    std::vector<uint32_t> words;
    std::map<uint32_t, std::string> names;                          // OpName
    std::map<std::pair<uint32_t, uint32_t>, std::string> memberNames;  // OpMemberName
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> decorations;  // (id, decoration) -> first literal
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint32_t> memberDecorations;  // (type, member, decoration)
    std::map<uint32_t, std::string> semantics;                      // UserSemantic
    std::map<uint32_t, uint32_t> storage;                           // variable -> storage class
    std::map<uint32_t, uint32_t> pointerPointee;                    // pointer type -> type

    static constexpr uint32_t BuiltIn = 11, Location = 30, Binding = 33, Offset = 35, RowMajor = 4, ColMajor = 5;
    static constexpr uint32_t Input = 1, Output = 3;

    static std::string text(const uint32_t* w, const uint32_t* end)
    {
        std::string s;
        for (; w < end; ++w)
            for (int b = 0; b < 4; ++b) {
                char c = static_cast<char>((*w >> (8 * b)) & 0xFF);
                if (!c) return s;
                s += c;
            }
        return s;
    }

    explicit Spirv(ID3DXBuffer* buffer)
    {
        const uint32_t* p = static_cast<const uint32_t*>(buffer->GetBufferPointer());
        words.assign(p, p + buffer->GetBufferSize() / 4);
        for (size_t at = 5; at < words.size() - 1;) {
            const uint32_t* w = &words[at];
            uint32_t count = w[0] >> 16, op = w[0] & 0xFFFF;
            if (count == 0) break;
            const uint32_t* end = w + count;
            if (op == 5) names[w[1]] = text(w + 2, end);
            if (op == 6) memberNames[{w[1], w[2]}] = text(w + 3, end);
            if (op == 71) decorations[{w[1], w[2]}] = count > 3 ? w[3] : 1;
            if (op == 72) memberDecorations[{w[1], w[2], w[3]}] = count > 4 ? w[4] : 1;
            if (op == 5632 && w[2] == 5635) semantics[w[1]] = text(w + 3, end);
            if (op == 59) storage[w[2]] = w[3];
            at += count;
        }
    }

    uint32_t idNamed(const std::string& name) const
    {
        for (const auto& [id, n] : names)
            if (n == name) return id;
        return 0;
    }
    std::optional<uint32_t> decoration(uint32_t id, uint32_t which) const
    {
        auto it = decorations.find({id, which});
        return it == decorations.end() ? std::nullopt : std::optional<uint32_t>(it->second);
    }
    std::optional<uint32_t> memberDecoration(const std::string& block, const std::string& member, uint32_t which) const
    {
        uint32_t type = idNamed(block);
        for (const auto& [key, n] : memberNames)
            if (key.first == type && n == member) {
                auto it = memberDecorations.find({type, key.second, which});
                if (it != memberDecorations.end()) return it->second;
            }
        return std::nullopt;
    }
    // The variable of the given storage class carrying `semantic`, or 0.
    uint32_t variableWithSemantic(uint32_t storageClass, const std::string& semantic) const
    {
        for (const auto& [id, s] : semantics) {
            auto st = storage.find(id);
            if (s == semantic && st != storage.end() && st->second == storageClass) return id;
        }
        return 0;
    }
};

// ---- Sources ---------------------------------------------------------------

const char* const ballVertexShader = R"(
float4x4 worldView : register(c0);
float4x4 worldViewProjection : register(c8);
float4 light : register(c12);

struct VS_OUTPUT {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float4 shade : COLOR0;
};

VS_OUTPUT main(float3 position : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0)
{
    VS_OUTPUT o;
    o.position = mul(float4(position, 1.0), worldViewProjection);
    float3 n = mul(float4(normal, 0.0), worldView).xyz;
    o.uv = uv;
    o.shade = float4(saturate(dot(normalize(n), normalize(light.xyz))).xxx, 1.0);
    return o;
}
)";

const char* const ballPixelShader = R"(
sampler2D ballTexture : register(s1);

float4 main(float2 uv : TEXCOORD0, float4 shade : COLOR0) : COLOR
{
    return tex2D(ballTexture, uv) * shade;
}
)";

struct Compiled {
    HRESULT hr = E_FAIL;
    ID3DXBuffer* code = nullptr;
    std::string errors;  // the error buffer's text
    std::string stderrText;
    ~Compiled()
    {
        if (code) code->Release();
    }
};

// Compiles from memory, capturing everything the call reports.
void compile(Compiled& out, const std::string& source, const char* profile, const char* entry = "main",
             const D3DXMACRO* defines = nullptr, DWORD flags = 0, ID3DXInclude* include = nullptr)
{
    ID3DXBuffer* errors = nullptr;
    LPD3DXCONSTANTTABLE table = reinterpret_cast<LPD3DXCONSTANTTABLE>(0x1);
    ::testing::internal::CaptureStderr();
    out.hr = D3DXCompileShader(source.c_str(), static_cast<UINT>(source.size()), defines, include, entry, profile, flags,
                               &out.code, &errors, &table);
    out.stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(SUCCEEDED(out.hr), out.code != nullptr);
    if (errors) {
        const char* text = static_cast<const char*>(errors->GetBufferPointer());
        EXPECT_EQ(errors->GetBufferSize(), std::strlen(text) + 1) << "NUL-terminated text";
        out.errors = text;
        errors->Release();
    }
}

class ShaderFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(scratch.path().empty()); }
    std::string write(const std::string& name, const std::string& text)
    {
        std::string path = folder + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::string makeFolder(const std::string& name)
    {
        std::string path = folder + "/" + name;
        mkdir(path.c_str(), 0700);
        return path;
    }
    // Compiles a file, capturing everything the call reports.
    void compileFile(Compiled& out, const std::string& path, const char* profile, ID3DXInclude* include = nullptr)
    {
        ID3DXBuffer* errors = nullptr;
        ::testing::internal::CaptureStderr();
        out.hr = D3DXCompileShaderFromFileA(path.c_str(), nullptr, include, "main", profile, 0, &out.code, &errors, nullptr);
        out.stderrText = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(SUCCEEDED(out.hr), out.code != nullptr);
        if (errors) {
            out.errors = static_cast<const char*>(errors->GetBufferPointer());
            errors->Release();
        }
    }
    testsupport::TempFolder scratch{"shaders"};
    const std::string folder = scratch.path().string();
};

// ---- Successful compilation -------------------------------------------------

TEST(ShaderCompile, VertexShaderKeepsSemanticsRegistersAndPosition)
{
    Compiled vs;
    compile(vs, ballVertexShader, "vs_2_0");
    ASSERT_EQ(vs.hr, S_OK) << vs.errors;
    EXPECT_TRUE(vs.errors.empty()) << vs.errors;
    Spirv m(vs.code);
    ASSERT_GE(m.words.size(), 6u);
    EXPECT_EQ(vs.code->GetBufferSize(), m.words.size() * 4);
    EXPECT_EQ(m.words.front(), 0x07230203u);
    EXPECT_EQ(m.words.back(), DWORD(D3DVS_END()));

    // register(cN) -> byte 16 * N of $Global.
    EXPECT_EQ(m.memberDecoration("$Global", "worldView", Spirv::Offset), 0u);
    EXPECT_EQ(m.memberDecoration("$Global", "worldViewProjection", Spirv::Offset), 128u);
    EXPECT_EQ(m.memberDecoration("$Global", "light", Spirv::Offset), 192u);

    // Inputs keep their semantics for binding to the vertex declaration.
    for (const char* s : {"POSITION", "NORMAL", "TEXCOORD0"})
        EXPECT_NE(m.variableWithSemantic(Spirv::Input, s), 0u) << s;
    for (const char* s : {"TEXCOORD0", "COLOR0"}) {
        uint32_t v = m.variableWithSemantic(Spirv::Output, s);
        EXPECT_NE(v, 0u) << s;
        EXPECT_TRUE(m.decoration(v, Spirv::Location).has_value()) << s;
    }
    // The POSITION output is the built-in position, not a varying.
    uint32_t position = m.variableWithSemantic(Spirv::Output, "POSITION");
    ASSERT_NE(position, 0u);
    EXPECT_EQ(m.decoration(position, Spirv::BuiltIn), 0u /* Position */);
    EXPECT_FALSE(m.decoration(position, Spirv::Location).has_value());
}

TEST(ShaderCompile, PixelShaderSamplerUnitAndColourOutput)
{
    Compiled ps;
    compile(ps, ballPixelShader, "ps_2_0");
    ASSERT_EQ(ps.hr, S_OK) << ps.errors;
    Spirv m(ps.code);
    EXPECT_EQ(m.words.back(), DWORD(D3DPS_END()));
    uint32_t sampler = m.idNamed("ballTexture");
    ASSERT_NE(sampler, 0u);
    EXPECT_EQ(m.decoration(sampler, Spirv::Binding), 1u);
    for (const char* s : {"TEXCOORD0", "COLOR0"}) EXPECT_NE(m.variableWithSemantic(Spirv::Input, s), 0u) << s;
    uint32_t colour = m.variableWithSemantic(Spirv::Output, "COLOR");
    ASSERT_NE(colour, 0u);
    EXPECT_EQ(m.decoration(colour, Spirv::Location), 0u);

    // COLOR1 writes render target 1, whatever order the outputs come in.
    Compiled two;
    compile(two,
            "struct O { float4 b : COLOR1; float4 a : COLOR0; };\n"
            "O main() { O o; o.a = 1; o.b = 0.5; return o; }\n",
            "ps_3_0");
    ASSERT_EQ(two.hr, S_OK) << two.errors;
    Spirv t(two.code);
    EXPECT_EQ(t.decoration(t.variableWithSemantic(Spirv::Output, "COLOR1"), Spirv::Location), 1u);
    EXPECT_EQ(t.decoration(t.variableWithSemantic(Spirv::Output, "COLOR0"), Spirv::Location), 0u);
}

TEST(ShaderCompile, SvPositionAndEveryVertexProfileWork)
{
    const char* source = "float4 main(float4 p : POSITION) : SV_Position { return p; }";
    for (const char* profile : {"vs_1_1", "vs_2_0", "vs_3_0"}) {
        Compiled vs;
        compile(vs, source, profile);
        EXPECT_EQ(vs.hr, S_OK) << profile << vs.errors;
    }
    Compiled ps;
    compile(ps, "float4 main() : COLOR0 { return float4(1, 0, 0, 1); }", "ps_3_0");
    EXPECT_EQ(ps.hr, S_OK) << ps.errors;
}

TEST(ShaderCompile, MacrosAndMatrixPackingFlagsApply)
{
    const std::string source = "float4x4 m : register(MATRIX_REGISTER);\n"
                               "float4 main(float4 p : POSITION) : POSITION {\n"
                               "#ifndef SCALE\n#error SCALE is not defined\n#endif\n"
                               "  return mul(p, m) * SCALE; }\n";
    const D3DXMACRO defines[] = {{"MATRIX_REGISTER", "c8"}, {"SCALE", "2.0"}, {nullptr, nullptr}};
    Compiled withMacros;
    compile(withMacros, source, "vs_2_0", "main", defines);
    ASSERT_EQ(withMacros.hr, S_OK) << withMacros.errors;
    Spirv m(withMacros.code);
    EXPECT_EQ(m.memberDecoration("$Global", "m", Spirv::Offset), 128u);
    // HLSL's default column-major packing, and the row-major flag.
    EXPECT_TRUE(m.memberDecoration("$Global", "m", Spirv::RowMajor).has_value());
    Compiled rowMajor;
    compile(rowMajor, source, "vs_2_0", "main", defines, D3DXSHADER_PACKMATRIX_ROWMAJOR);
    ASSERT_EQ(rowMajor.hr, S_OK) << rowMajor.errors;
    EXPECT_TRUE(Spirv(rowMajor.code).memberDecoration("$Global", "m", Spirv::ColMajor).has_value());

    Compiled without;
    compile(without, source, "vs_2_0");
    EXPECT_TRUE(FAILED(without.hr));

    // A macro that cannot be written as one #define line is refused.
    const D3DXMACRO broken[] = {{"SCALE", "2.0\n#error injected"}, {nullptr, nullptr}};
    Compiled bad;
    compile(bad, source, "vs_2_0", "main", broken);
    EXPECT_TRUE(FAILED(bad.hr));
    EXPECT_NE(bad.errors.find("line break"), std::string::npos) << bad.errors;
    const D3DXMACRO badName[] = {{"NOT A NAME", "1"}, {nullptr, nullptr}};
    compile(bad, source, "vs_2_0", "main", badName);
    EXPECT_TRUE(FAILED(bad.hr));
}

TEST(ShaderCompile, ProgramShadersCompile)
{
    struct File {
        const char* path;
        const char* profile;
    };
    for (File f : {File{"superellipsoid.vsh", "vs_2_0"}, File{"superellipsoid.psh", "ps_2_0"},
                   File{"textfont.vsh", "vs_1_1"}}) {
        ID3DXBuffer* code = nullptr;
        ID3DXBuffer* errors = nullptr;
        HRESULT hr = D3DXCompileShaderFromFileA(f.path, nullptr, nullptr, "main", f.profile, 0, &code, &errors, nullptr);
        EXPECT_EQ(hr, S_OK) << f.path << ": " << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        EXPECT_NE(code, nullptr) << f.path;
        if (code) code->Release();
        if (errors) errors->Release();
    }
}

// Compiles done ahead (tvd3dx::Prefetch) come back as the caller's own
// would: the same code, the same messages on stderr and in the buffer. A
// file rewritten after it was compiled ahead is compiled anew.
TEST_F(ShaderFiles, CompilesDoneAheadMatchTheCallersOwn)
{
    const std::string badSource = "float4 main(float4 p : POSITION) : POSITION\n{\n    return p\n}\n";
    const std::string good = write("good.vsh", ballVertexShader);
    const std::string bad = write("bad.vsh", badSource);
    const std::string rewritten = write("rewritten.vsh", ballVertexShader);
    Compiled ownGood, ownBad;
    compileFile(ownGood, good, "vs_2_0");
    compileFile(ownBad, bad, "vs_2_0");
    ASSERT_EQ(ownGood.hr, S_OK) << ownGood.errors;
    ASSERT_TRUE(FAILED(ownBad.hr));

    const tvd3dx::Prefetch prefetch({}, {{good, "main", "vs_2_0"},
                                         {bad, "main", "vs_2_0"},
                                         {rewritten, "main", "vs_2_0"},
                                         {write("never-asked.vsh", ballVertexShader), "main", "vs_2_0"}});
    // Most likely read ahead by now; either way the result must be the new file's.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    write("rewritten.vsh", badSource);

    Compiled aheadGood, aheadBad, aheadRewritten;
    compileFile(aheadGood, good, "vs_2_0");
    compileFile(aheadBad, bad, "vs_2_0");
    compileFile(aheadRewritten, rewritten, "vs_2_0");
    EXPECT_EQ(aheadGood.hr, S_OK);
    ASSERT_NE(aheadGood.code, nullptr);
    const std::string expectedCode(static_cast<const char*>(ownGood.code->GetBufferPointer()), ownGood.code->GetBufferSize());
    EXPECT_EQ(std::string(static_cast<const char*>(aheadGood.code->GetBufferPointer()), aheadGood.code->GetBufferSize()),
              expectedCode);
    EXPECT_EQ(aheadBad.hr, ownBad.hr);
    EXPECT_EQ(aheadBad.errors, ownBad.errors);
    EXPECT_EQ(aheadBad.stderrText, ownBad.stderrText);
    EXPECT_TRUE(FAILED(aheadRewritten.hr)) << "the rewritten source does not compile";
    EXPECT_NE(aheadRewritten.errors.find(rewritten + "(4): error: "), std::string::npos) << aheadRewritten.errors;
}

// ---- Failures -----------------------------------------------------------------

// The messages go to the caller who asks for them (and reports them), to
// stderr only when nobody does: never both, or the user reads them twice.
TEST_F(ShaderFiles, SyntaxErrorNamesFileAndLine)
{
    std::string path = write("broken.vsh", "float4 main(float4 p : POSITION) : POSITION\n{\n    return p\n}\n");
    Compiled out;
    compileFile(out, path, "vs_2_0");
    EXPECT_EQ(out.hr, E_FAIL);
    EXPECT_EQ(out.code, nullptr);
    EXPECT_NE(out.errors.find(path + "(4): error: "), std::string::npos) << out.errors;
    EXPECT_EQ(out.stderrText, "");
    EXPECT_EQ(out.errors.find("compilation errors"), std::string::npos) << "summary lines are dropped";

    ID3DXBuffer* code = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCompileShaderFromFileA(path.c_str(), nullptr, nullptr, "main", "vs_2_0", 0, &code, nullptr, nullptr),
              E_FAIL);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), out.errors);
}

// Windows editors open a UTF-8 file with a byte-order mark; it is no part
// of the source, in the file compiled or in a file it includes.
TEST_F(ShaderFiles, AByteOrderMarkIsSkipped)
{
    const std::string mark = "\xEF\xBB\xBF";
    write("registers.h", mark + "float4x4 wvp : register(c8);\n");
    const std::string path = write("marked.vsh", mark + "#include \"registers.h\"\n"
                                                        "float4 main(float3 p : POSITION) : POSITION\n"
                                                        "{ return mul(float4(p, 1), wvp); }\n");
    Compiled file, memory, markLater;
    compileFile(file, path, "vs_2_0");
    EXPECT_EQ(file.hr, S_OK) << file.errors;
    compile(memory, mark + ballPixelShader, "ps_2_0");
    EXPECT_EQ(memory.hr, S_OK) << memory.errors;
    // Only at the start: elsewhere those bytes are not HLSL.
    compile(markLater, std::string(ballPixelShader) + mark, "ps_2_0");
    EXPECT_TRUE(FAILED(markLater.hr));
}

TEST_F(ShaderFiles, StageMismatchesAndBadProfilesFail)
{
    Compiled out;
    compile(out, ballPixelShader, "vs_2_0");  // pixel code as a vertex shader: no position
    EXPECT_TRUE(FAILED(out.hr));
    EXPECT_NE(out.errors.find("memory: error: the vertex shader has no POSITION output"), std::string::npos) << out.errors;

    compile(out, ballVertexShader, "ps_2_0");  // vertex code as a pixel shader: POSITION output
    EXPECT_TRUE(FAILED(out.hr));
    EXPECT_NE(out.errors.find("'POSITION'"), std::string::npos) << out.errors;

    // A pixel shader that writes no colour (its pixels would be whatever the
    // driver leaves), or only depth.
    for (const char* source : {"void main() {}", "float main() : DEPTH { return 0.5; }"}) {
        compile(out, source, "ps_2_0");
        EXPECT_TRUE(FAILED(out.hr)) << source;
        EXPECT_NE(out.errors.find("memory: error: the pixel shader has no COLOR0 output"), std::string::npos)
            << out.errors;
    }

    for (const char* profile : {"vs_4_0", "ps_5_0", "cs_2_0", "VS_2_0", "", "vs_2_0 "}) {
        compile(out, ballVertexShader, profile);
        EXPECT_TRUE(FAILED(out.hr)) << profile;
        EXPECT_NE(out.errors.find(std::string("unknown profile '") + profile + "'"), std::string::npos) << out.errors;
    }

    compile(out, ballVertexShader, "vs_2_0", "vertexMain");
    EXPECT_TRUE(FAILED(out.hr));
    EXPECT_NE(out.errors.find("entry point 'vertexMain' not found"), std::string::npos) << out.errors;

    // Other functions may be overloaded, the entry point may not: an HLSL
    // error at the second definition, not whatever the code generator makes
    // of two entry points.
    compile(out, std::string(ballPixelShader) + "float4 main(float4 c : COLOR0) : COLOR0 { return c; }\n", "ps_2_0");
    EXPECT_TRUE(FAILED(out.hr));
    EXPECT_NE(out.errors.find("memory(8): error: 'main' : the entry point is defined more than once "
                              "(another definition's body begins at line 5)"),
              std::string::npos)
        << out.errors;
    compile(out, "float4 f(float4 c) { return c; } float4 f(float2 c) { return c.xyxy; }\n"
                 "float4 main(float4 c : COLOR0) : COLOR0 { return f(c) + f(c.xy); }\n",
            "ps_2_0");
    EXPECT_EQ(out.hr, S_OK) << out.errors;
}

// A shader beyond what its profile allows is refused with the limit it
// exceeds, before any driver sees it; the same source compiles for a profile
// that allows it, and what the code does not use does not count.
TEST(ShaderCompile, ShadersBeyondTheirProfileAreRefused)
{
    const struct {
        const char* source;
        const char* refusedIn;
        const char* message;
        const char* acceptedIn;  // null: none
    } cases[] = {
        {"static float big[100000];\n"
         "float4 main(float2 t : TEXCOORD0) : COLOR0\n"
         "{ big[(int)(t.x * 100)] = t.y; return float4(big[(int)(t.y * 100)], 0, 0, 1); }\n",
         "ps_2_0", "ps_2_0 has 12 temporary registers; array 'big' alone needs at least 25000", nullptr},
        {"float4 k[40] : register(c0);\n"
         "float4 main(float2 t : TEXCOORD0) : COLOR0 { return k[(int)(t.x * 40)]; }\n",
         "ps_2_0", "ps_2_0 has 32 constant registers (c0 to c31); 'k' reaches c39", "ps_3_0"},
        // Loops unroll where the profile has none.
        {"float4 main(float2 t : TEXCOORD0) : COLOR0\n"
         "{ float4 c = float4(t, 0, 1); for (int i = 0; i < 100; i++) c = sin(c * 1.01); return c; }\n",
         "ps_2_0", "ps_2_0 has 64 arithmetic instruction slots; the shader needs at least 200", "ps_3_0"},
        {"sampler2D s : register(s0);\n"
         "float4 main(float2 t : TEXCOORD0) : COLOR0\n"
         "{ float4 c = 0; for (int i = 0; i < 40; i++) c += tex2D(s, t + i * 0.01); return c; }\n",
         "ps_2_0", "ps_2_0 has 32 texture instruction slots; the shader needs at least 40", "ps_2_a"},
        {"float4 main(float4 p : POSITION) : POSITION\n"
         "{ for (int i = 200; i > 0; i--) p = normalize(p) * 2; return p; }\n",
         "vs_1_1", "vs_1_1 has 128 instruction slots; the shader needs at least 400", "vs_2_0"},
    };
    for (const auto& c : cases) {
        Compiled out;
        compile(out, c.source, c.refusedIn);
        EXPECT_TRUE(FAILED(out.hr)) << c.source;
        EXPECT_NE(out.errors.find(std::string("memory: error: ") + c.message), std::string::npos) << out.errors;
        if (c.acceptedIn == nullptr) continue;
        compile(out, c.source, c.acceptedIn);
        EXPECT_EQ(out.hr, S_OK) << c.acceptedIn << ": " << out.errors;
    }

    // At the limits, and beyond them only in what the code leaves unused.
    for (const char* source :
         {"float4 k[32] : register(c0); float4 unused[300] : register(c40); static float4 a[12];\n"
          "float4 main(float2 t : TEXCOORD0) : COLOR0\n"
          "{ a[0] = k[31]; for (int i = 1; i < 12; i++) a[i] = a[i - 1] * t.x; return a[11]; }\n"}) {
        Compiled out;
        compile(out, source, "ps_2_0");
        EXPECT_EQ(out.hr, S_OK) << out.errors;
    }
}

TEST_F(ShaderFiles, MissingOversizedAndNullInputsFail)
{
    Compiled out;
    compileFile(out, folder + "/nothing-here.vsh", "vs_2_0");
    EXPECT_EQ(out.hr, D3DERR_NOTFOUND);
    EXPECT_NE(out.errors.find("nothing-here.vsh: error: cannot open"), std::string::npos) << out.errors;

    // A 17 MiB source is refused without being compiled.
    std::string huge(17u << 20, ' ');
    auto start = std::chrono::steady_clock::now();
    compile(out, huge, "vs_2_0");
    EXPECT_EQ(out.hr, D3DXERR_INVALIDDATA);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang, not a speed test

    ID3DXBuffer* code = reinterpret_cast<ID3DXBuffer*>(0x1);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(FAILED(D3DXCompileShaderFromFileA(nullptr, nullptr, nullptr, "main", "vs_2_0", 0, &code, nullptr, nullptr)));
    EXPECT_EQ(code, nullptr);
    code = reinterpret_cast<ID3DXBuffer*>(0x1);
    EXPECT_TRUE(FAILED(D3DXCompileShader(ballVertexShader, 10, nullptr, nullptr, nullptr, "vs_2_0", 0, &code, nullptr, nullptr)));
    EXPECT_EQ(code, nullptr);
    ::testing::internal::GetCapturedStderr();
}

TEST_F(ShaderFiles, IncludesResolveFromTheIncludingFilesFolder)
{
    makeFolder("lib");
    write("lib/transform.h", "#include \"registers.h\"\nfloat4 transform(float3 p) { return mul(float4(p, 1), wvp); }\n");
    write("lib/registers.h", "float4x4 wvp : register(c8);\n");
    // The including file names the header with a Windows separator.
    std::string path = write("main.vsh", "#include \"lib\\transform.h\"\n"
                                         "float4 main(float3 p : POSITION) : POSITION { return transform(p); }\n");
    Compiled out;
    compileFile(out, path, "vs_2_0");
    ASSERT_EQ(out.hr, S_OK) << out.errors;
    EXPECT_EQ(Spirv(out.code).memberDecoration("$Global", "wvp", Spirv::Offset), 128u);

    // An error inside an included file names that file and its line.
    write("lib/faulty.h", "float4 helper()\n{ return undefinedThing; }\n");
    path = write("uses-faulty.vsh", "#include \"lib/faulty.h\"\nfloat4 main() : POSITION { return helper(); }\n");
    Compiled faulty;
    compileFile(faulty, path, "vs_2_0");
    EXPECT_TRUE(FAILED(faulty.hr));
    EXPECT_NE(faulty.errors.find("lib/faulty.h(2): error: "), std::string::npos) << faulty.errors;

    Compiled missing;
    compileFile(missing, write("needs-missing.vsh", "#include \"absent.h\"\n"), "vs_2_0");
    EXPECT_TRUE(FAILED(missing.hr));
    EXPECT_NE(missing.errors.find("absent.h"), std::string::npos) << missing.errors;
}

TEST_F(ShaderFiles, IncludeLoopFailsInsteadOfHanging)
{
    write("a.h", "#include \"b.h\"\n");
    write("b.h", "#include \"a.h\"\n");
    std::string path = write("loop.vsh", "#include \"a.h\"\nfloat4 main() : POSITION { return 0; }\n");
    auto start = std::chrono::steady_clock::now();
    Compiled out;
    compileFile(out, path, "vs_2_0");
    EXPECT_TRUE(FAILED(out.hr));
    EXPECT_NE(out.errors.find("#include loop"), std::string::npos) << out.errors;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang, not a speed test
}

// An include handler of the caller's is asked instead of the file system,
// and every Open is matched by a Close.
class MemoryInclude : public ID3DXInclude {
public:
    HRESULT WINAPI Open(D3DXINCLUDE_TYPE type, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override
    {
        requests.push_back(std::string(type == D3DXINC_LOCAL ? "local:" : "system:") + name);
        if (std::strcmp(name, "constants.h") != 0) return E_FAIL;
        *data = text;
        *bytes = static_cast<UINT>(std::strlen(text));
        ++open;
        return S_OK;
    }
    HRESULT WINAPI Close(LPCVOID data) override
    {
        EXPECT_EQ(data, text);
        --open;
        return S_OK;
    }
    const char* text = "float4 offset : register(c3);\n";
    std::vector<std::string> requests;
    int open = 0;
};

TEST(ShaderCompile, CallersIncludeHandlerIsUsed)
{
    MemoryInclude handler;
    Compiled out;
    compile(out,
            "#include \"constants.h\"\n#include <constants.h>\n"
            "float4 main(float4 p : POSITION) : POSITION { return p + offset; }\n",
            "vs_2_0", "main", nullptr, 0, &handler);
    // The second #include repeats a declaration: an error, but after both
    // files were asked for by their kinds.
    ASSERT_GE(handler.requests.size(), 2u);
    EXPECT_EQ(handler.requests[0], "local:constants.h");
    EXPECT_EQ(handler.requests[1], "system:constants.h");
    EXPECT_EQ(handler.open, 0);

    Compiled refused;
    compile(refused, "#include \"other.h\"\nfloat4 main() : POSITION { return 0; }\n", "vs_2_0", "main", nullptr, 0,
            &handler);
    EXPECT_TRUE(FAILED(refused.hr));
    EXPECT_EQ(handler.requests.back(), "local:other.h") << "a refused local include is not asked again as system";
}

// ---- ID3DXBuffer --------------------------------------------------------------

TEST(D3DXBuffer, CountsReferencesAndAnswersItsInterfaces)
{
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(64, &buffer), S_OK);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetBufferSize(), 64u);
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer->GetBufferPointer());
    for (int i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], 0);

    void* asUnknown = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_IUnknown, &asUnknown), S_OK);
    EXPECT_EQ(asUnknown, static_cast<IUnknown*>(buffer));
    void* asBuffer = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_ID3DXBuffer, &asBuffer), S_OK);
    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(buffer->QueryInterface(IID_IDirect3DTexture9, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(buffer->AddRef(), 4u);
    EXPECT_EQ(buffer->Release(), 3u);
    EXPECT_EQ(buffer->Release(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);

    EXPECT_EQ(D3DXCreateBuffer(0, &buffer), S_OK);
    EXPECT_NE(buffer->GetBufferPointer(), nullptr);
    EXPECT_EQ(buffer->GetBufferSize(), 0u);
    buffer->Release();
    EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
}

}  // namespace
