// Starting the shader compiler ahead of the first compile: the server it
// starts warms up on a shader of its own and then answers the program's
// compiles exactly as a server started by the first compile does.
#include <d3dx9.h>
#include <tarnvale_d3dx.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const vertexSource = R"(
float4x4 worldViewProjection : register(c8);
struct Out { float4 position : POSITION; float2 uv : TEXCOORD0; };
Out main(float3 p : POSITION, float2 uv : TEXCOORD0)
{
    Out o;
    o.position = mul(float4(p, 1.0), worldViewProjection);
    o.uv = uv;
    return o;
}
)";

const char* const brokenSource = "float4 main(float4 p : POSITION) : POSITION { return undefinedName; }";

std::vector<unsigned char> compiled(const char* source, std::string& errors)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* messages = nullptr;
    const HRESULT hr = D3DXCompileShader(source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, "main",
                                         "vs_2_0", 0, &code, &messages, nullptr);
    errors = messages ? static_cast<const char*>(messages->GetBufferPointer()) : "";
    if (messages) messages->Release();
    std::vector<unsigned char> bytes;
    if (SUCCEEDED(hr) && code) {
        const auto* data = static_cast<const unsigned char*>(code->GetBufferPointer());
        bytes.assign(data, data + code->GetBufferSize());
    }
    if (code) code->Release();
    return bytes;
}

// In a copy of this process (which must start a server of its own): start
// the compiler ahead, twice, then compile a good and a broken source. The
// code must be what this process's own compiler made, and the broken
// source's message must still come back.
TEST(CompilerStart, AServerStartedAheadCompilesAsTheFirstCompileWouldHave)
{
    std::string errors;
    const std::vector<unsigned char> expected = compiled(vertexSource, errors);
    ASSERT_FALSE(expected.empty()) << errors;

    EXPECT_EXIT(
        {
            tvd3dx::startShaderCompiler();
            tvd3dx::startShaderCompiler();
            std::string childErrors;
            const bool same = compiled(vertexSource, childErrors) == expected;
            const bool failed = compiled(brokenSource, childErrors).empty();
            const bool told = childErrors.find("undefinedName") != std::string::npos;
            std::exit(same && failed && told ? 0 : 1 + same + 2 * failed + 4 * told);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
