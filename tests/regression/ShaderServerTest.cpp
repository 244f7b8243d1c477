// The shader compiler's server process, which keeps glslang crashes out of
// the program: it is replaced when it has gone, a forked copy of the program
// does not share it, and it holds none of the program's files.
#include <gtest/gtest.h>

#include <d3dx9.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kPixelShader = "float4 main(float2 t : TEXCOORD0) : COLOR0 { return float4(t, 0, 1); }";

HRESULT compile(const char* source, ID3DXInclude* include = nullptr)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    HRESULT hr = D3DXCompileShader(source, static_cast<UINT>(std::strlen(source)), nullptr, include, "main", "ps_2_0",
                                   0, &code, &errors, nullptr);
    if (code) code->Release();
    if (errors) errors->Release();
    return hr;
}

// The child processes of this process.
std::vector<pid_t> children()
{
    std::vector<pid_t> pids;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream list(task.path() / "children");
        pid_t pid;
        while (list >> pid) pids.push_back(pid);
    }
    return pids;
}

// Waits (at most 5 s) until process `pid`, a child of this one, has ended
// and is waiting to be reaped.
void waitUntilEnded(pid_t pid)
{
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const size_t close = text.rfind(')');
        if (close == std::string::npos || text.compare(close + 1, 3, " Z ") == 0) return;
        usleep(10000);
    }
}

class CountingInclude final : public ID3DXInclude {
public:
    HRESULT WINAPI Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID parent, LPCVOID* data, UINT* bytes) override
    {
        names.push_back(name);
        parents.push_back(parent);
        const char* text = std::strcmp(name, "outer.h") == 0 ? outer : std::strcmp(name, "inner.h") == 0 ? inner : nullptr;
        if (!text) return E_FAIL;
        *data = text;
        *bytes = static_cast<UINT>(std::strlen(text));
        ++open;
        return S_OK;
    }
    HRESULT WINAPI Close(LPCVOID data) override
    {
        closed.push_back(data);
        --open;
        return S_OK;
    }
    const char* outer = "#include \"inner.h\"\n";
    const char* inner = "float4 tint() { return float4(1, 0, 0, 1); }\n";
    std::vector<std::string> names;
    std::vector<LPCVOID> parents;
    std::vector<LPCVOID> closed;
    int open = 0;
};

}  // namespace

TEST(ShaderServer, ServerThatHasGoneIsReplacedAndHoldsNoFilesOfTheProgram)
{
    ASSERT_EQ(compile(kPixelShader), S_OK);
    std::vector<pid_t> servers = children();
    ASSERT_EQ(servers.size(), 1u) << "one server process serves every compile";

    // Standard input and output and its socket: nothing else of this process.
    size_t descriptors = 0;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(servers[0]) + "/fd")) {
        (void)fd;
        ++descriptors;
    }
    EXPECT_LE(descriptors, 4u);

    // Killed from outside between two compiles: the next compile is not to
    // blame and succeeds on a new server.
    ASSERT_EQ(kill(servers[0], SIGKILL), 0);
    waitUntilEnded(servers[0]);
    EXPECT_EQ(compile(kPixelShader), S_OK);
    const std::vector<pid_t> now = children();
    ASSERT_EQ(now.size(), 1u) << "the old server is reaped";
    EXPECT_NE(now[0], servers[0]);
}

TEST(ShaderServerDeathTest, ForkedCopyOfTheProgramCompilesOnItsOwn)
{
    ASSERT_EQ(compile(kPixelShader), S_OK);
    EXPECT_EXIT(
        {
            bool ok = true;
            for (int i = 0; i < 3; ++i) ok = ok && compile(kPixelShader) == S_OK;
            _exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(compile(kPixelShader), S_OK) << "the copy must not have used this process's server";
}

// Include files come from the caller's handler in this process, with each
// nested file's parent data and every Open matched by a Close, also on the
// server that replaced one that crashed.
TEST(ShaderServer, IncludeHandlerIsAskedInTheCallersProcess)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(compile("in"), E_FAIL);  // crashes glslang
    ::testing::internal::GetCapturedStderr();

    CountingInclude include;
    ASSERT_EQ(compile("#include \"outer.h\"\nfloat4 main() : COLOR0 { return tint(); }\n", &include), S_OK);
    ASSERT_EQ(include.names, (std::vector<std::string>{"outer.h", "inner.h"}));
    EXPECT_EQ(include.parents[0], nullptr);
    EXPECT_EQ(include.parents[1], include.outer) << "the nested file's parent is the data of the file including it";
    EXPECT_EQ(include.open, 0);
    EXPECT_EQ(include.closed.size(), 2u);
}

// A source that makes glslang's preprocessor expand without end (each macro
// twice the one before, 2^40 terms) is stopped at the compiler's memory
// bound, with a message, and the next compile goes on on a new server.
TEST(ShaderServer, ASourceThatExpandsWithoutEndIsStoppedAtTheMemoryBound)
{
    std::string source = "#define M0 x\n";
    for (int i = 1; i <= 40; ++i)
        source += "#define M" + std::to_string(i) + " (M" + std::to_string(i - 1) + " + M" + std::to_string(i - 1) + ")\n";
    source += "float4 main(float2 t : TEXCOORD0) : COLOR0 { float x = t.x; return float4(M40, 0, 0, 1); }\n";
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCompileShader(source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr, "main", "ps_2_0", 0,
                                &code, &errors, nullptr),
              E_FAIL);
    ::testing::internal::GetCapturedStderr();
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer()))
                  .find("memory: error: the shader compiler took more than 256 MiB of memory for this source"),
              std::string::npos)
        << static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
    EXPECT_EQ(code, nullptr);
    EXPECT_EQ(compile(kPixelShader), S_OK);
}
