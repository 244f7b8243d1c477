// Inputs the fuzzers found that crashed the program or made it misbehave,
// replayed through the same entry points the fuzzers use (fuzz/*Case.h).
#include "fuzz/HlslCompileCase.h"
#include "fuzz/PngTextureCase.h"

#include <gtest/gtest.h>

#include <d3dx9.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// A 1 x 1 RGB image whose fourth chunk header claims a 1.9 GB tEXt chunk
// ("sCAL" read as its length) in a file of 123 bytes.
const std::vector<uint8_t> kTextChunkClaimingGigabytes = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53, 0xde, 0x00, 0x00, 0x00,
    0x04, 0x67, 0x41, 0x4d, 0x41, 0x00, 0x00, 0xb1, 0x8f, 0x0b, 0xfc, 0x61, 0x05, 0x00, 0x00, 0x00, 0x03, 0x73,
    0x42, 0x49, 0x54, 0x08, 0x08, 0x08, 0xdb, 0xe1, 0x4f, 0xe0, 0x73, 0x43, 0x41, 0x4c, 0x74, 0x45, 0x58, 0x74,
    0x43, 0x6f, 0x6d, 0x6d, 0x65, 0x6e, 0x74, 0x00, 0x74, 0x69, 0x6e, 0x79, 0xdf, 0xa6, 0xc2, 0x2c, 0x00, 0x00,
    0x00, 0x0c, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0x60, 0x64, 0x62, 0x06, 0x00, 0x00, 0x0e, 0x00, 0x07,
    0xe9, 0x92, 0x37, 0xd4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0xae, 0x78, 0x01, 0x82};

// The current virtual size of this process, in bytes (0 when unknown).
size_t virtualSize()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
    return 0;
}

// Runs the image case with the address space capped at `cap` bytes, then
// ends the process: status 0 when the case's checks held.
[[noreturn]] void loadUnderAddressSpaceCap(const std::vector<uint8_t>& file, size_t cap)
{
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = cap;
    setrlimit(RLIMIT_AS, &limit);
    const std::string problem = fuzzing::runPngTextureCase(file.data(), file.size());
    std::fflush(stderr);
    _exit(problem.empty() ? 0 : 1);
}

std::vector<uint8_t> bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Compiles `source` from memory and returns the result code and the message.
HRESULT compile(const std::string& source, const char* profile, std::string& message)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    HRESULT hr = D3DXCompileShader(source.data(), static_cast<UINT>(source.size()), nullptr, nullptr, "main", profile,
                                   0, &code, &errors, nullptr);
    message = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
    if (code) code->Release();
    if (errors) errors->Release();
    return hr;
}

}  // namespace

TEST(PngFinding, ChunkLongerThanTheFileIsRefusedAsTruncated)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(fuzzing::runPngTextureCase(kTextChunkClaimingGigabytes.data(), kTextChunkClaimingGigabytes.size()), "");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("truncated"), std::string::npos) << said;
}

// The same file must be refused without first asking for the 1.9 GB the
// chunk claims: with the address space capped a few hundred MiB above what
// the process already has, the refusal is still "truncated", not a failed
// allocation.
TEST(PngFindingDeathTest, ChunkLengthIsCheckedBeforeAnythingIsAllocated)
{
    if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space cap";
    const size_t now = virtualSize();
    ASSERT_GT(now, 0u);
    EXPECT_EXIT(loadUnderAddressSpaceCap(kTextChunkClaimingGigabytes, now + (512u << 20)),
                ::testing::ExitedWithCode(0), "file is truncated");
}

// glslang 12's HLSL front end dereferences a null pointer on these sources.
// Each must fail to compile with a message, and the compiler must work for
// the next source.
TEST(HlslFinding, SourcesThatCrashTheCompilerFailCleanly)
{
    const struct {
        const char* what;
        std::string input;  // first byte: the profile selector of the fuzz case
    } findings[] = {
        {"a global redeclared with another type", std::string("\x0a") + "float4 n;float n"},
        {"a uniform redeclared after a static", std::string("\x00", 1) + "static float4 n; float n;"},
        {"a parameter qualifier at the end of the text", std::string("\x01") + "in"},
        {"a qualified type at the end of the text", std::string("\x01") + "in float"},
    };
    for (const auto& finding : findings) {
        SCOPED_TRACE(finding.what);
        ::testing::internal::CaptureStderr();
        const std::vector<uint8_t> input = bytes(finding.input);
        EXPECT_EQ(fuzzing::runHlslCompileCase(input.data(), input.size()), "");

        std::string message;
        EXPECT_EQ(compile(finding.input.substr(1), "ps_2_0", message), E_FAIL);
        ::testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find("memory"), std::string::npos) << message;
        EXPECT_NE(message.find("crashed"), std::string::npos) << message;

        EXPECT_EQ(compile("float4 main() : COLOR0 { return 1; }", "ps_2_0", message), S_OK) << message;
    }
}
