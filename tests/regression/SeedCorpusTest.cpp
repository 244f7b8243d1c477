// The fuzzers' committed seeds replayed through the fuzz cases: every seed
// is a valid input (images load, shaders compile), so the checks the fuzzers
// rely on hold on them, and a change that starts refusing good input shows.
// Image seeds named "refused-..." are findings the loader must refuse.
#include "fuzz/HlslCompileCase.h"
#include "fuzz/PngTextureCase.h"
#include "fuzz/TextLabelCase.h"
#include "support/RecordingDevice.h"

#include <gtest/gtest.h>

#include <d3dx9.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> seeds(const char* folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(TARNVALE_SOURCE_DIR) / "fuzz" / "corpus" / folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

std::vector<uint8_t> contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(SeedCorpus, EveryImageSeedLoads)
{
    const auto files = seeds("png");
    ASSERT_GE(files.size(), 20u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> data = contents(file);
        EXPECT_EQ(fuzzing::runPngTextureCase(data.data(), data.size()), "");
        testing_support::RecordingDevice device;
        IDirect3DTexture9* texture = nullptr;
        const bool refused = file.filename().string().rfind("refused-", 0) == 0;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(D3DXCreateTextureFromFileInMemory(&device, data.data(), static_cast<UINT>(data.size()), &texture),
                  refused ? D3DXERR_INVALIDDATA : D3D_OK);
        ::testing::internal::GetCapturedStderr();
        if (texture) texture->Release();
    }
}

TEST(SeedCorpus, EveryShaderSeedCompiles)
{
    const auto files = seeds("hlsl");
    ASSERT_GE(files.size(), 4u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> data = contents(file);
        ASSERT_GT(data.size(), 1u);
        EXPECT_EQ(fuzzing::runHlslCompileCase(data.data(), data.size()), "");

        static const char* const profiles[] = {"vs_2_0", "ps_2_0", "vs_1_1", "vs_2_0"};
        const D3DXMACRO macros[] = {{"SCALE", "2.0"}, {nullptr, nullptr}};
        fuzzing::MemoryInclude include;
        ID3DXBuffer* code = nullptr;
        ID3DXBuffer* errors = nullptr;
        EXPECT_EQ(D3DXCompileShader(reinterpret_cast<const char*>(data.data() + 1), static_cast<UINT>(data.size() - 1),
                                    (data[0] & 8) ? macros : nullptr, &include, "main", profiles[data[0] & 3], 0, &code,
                                    &errors, nullptr),
                  S_OK)
            << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        if (code) code->Release();
        if (errors) errors->Release();
    }
}

TEST(SeedCorpus, EveryLabelSeedPassesItsChecks)
{
    const auto files = seeds("label");
    ASSERT_GE(files.size(), 5u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<uint8_t> data = contents(file);
        EXPECT_EQ(fuzzing::runTextLabelCase(data.data(), data.size()), "");
    }
}
