// End-to-end runs of the built tarnvale-capture: exit status, the JSON line,
// the PNG files it writes, scripted input and the scripted clock.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const toolPath = TARNVALE_BINARY_DIR "/tools/tarnvale-capture";

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class CaptureTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(toolPath)) << toolPath << " is not built";
        dir = fs::temp_directory_path() /
              ("tarnvale-capture-test-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    ToolRun run(const std::string& arguments)
    {
        const fs::path outFile = dir / "stdout.txt";
        const fs::path errFile = dir / "stderr.txt";
        const std::string command = std::string("'") + toolPath + "' " + arguments + " >'" + outFile.string() +
                                    "' 2>'" + errFile.string() + "'";
        ToolRun result;
        const int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = readFile(outFile);
        result.err = readFile(errFile);
        return result;
    }

    std::string png(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

// The value of a top-level "key":value pair, strings without their quotes.
std::string field(const std::string& json, const std::string& key)
{
    std::smatch match;
    const std::regex stringValue("\"" + key + "\":\"((?:[^\"\\\\]|\\\\.)*)\"");
    if (std::regex_search(json, match, stringValue))
        return match[1];
    const std::regex numberValue("\"" + key + "\":(-?[0-9.]+)");
    if (std::regex_search(json, match, numberValue))
        return match[1];
    return "<missing " + key + ">";
}

// Width and height from a PNG file's IHDR chunk; (0, 0) if it is no PNG.
std::pair<uint32_t, uint32_t> pngSize(const std::string& path)
{
    const std::string bytes = readFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto word = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    return {word(16), word(20)};
}

bool isDeviceDescription(const std::string& text)
{
    return text == "HAL, Hardware Vertex Processing (Pure Device)" || text == "HAL, Hardware Vertex Processing" ||
           text == "HAL, Software Vertex Processing" || text == "REF, Software Vertex Processing";
}

}  // namespace

TEST_F(CaptureTool, RunsFramesAndWritesSummaryAndScreenshot)
{
    const ToolRun r = run("--frames 3 --out '" + png("shot.png") + "'");
    ASSERT_EQ(r.status, 0) << r.err;

    // Exactly one line of JSON on stdout.
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(field(r.out, "frames"), "3");
    EXPECT_EQ(field(r.out, "exit"), "frames");
    EXPECT_TRUE(isDeviceDescription(field(r.out, "device"))) << r.out;
    // Three frames of 1/60 s: the frame-rate text is still empty.
    EXPECT_EQ(field(r.out, "fps_text"), "");
    EXPECT_GT(std::stod(field(r.out, "startup_ms")), 0.0);
    EXPECT_GT(std::stod(field(r.out, "median")), 0.0);
    EXPECT_LE(std::stod(field(r.out, "median")), std::stod(field(r.out, "max")));
    EXPECT_LE(std::stod(field(r.out, "p95")), std::stod(field(r.out, "max")));

    EXPECT_EQ(pngSize(png("shot.png")), std::make_pair(1024u, 768u));
}

TEST_F(CaptureTool, ScriptedClockDrivesTheFrameRateText)
{
    // Each frame takes 0.25 s of scripted time. The first frame follows
    // construction at once; frames 2-5 add up to one second, so the text is
    // written on frame 5 with the four frames counted before it.
    ToolRun r = run("--frames 6 --frame-time 0.25");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(field(r.out, "fps_text"), "FPS: 4");

    // A frame longer than a second writes the count at once.
    r = run("--frames 2 --frame-time 1.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(field(r.out, "fps_text"), "FPS: 1");
}

TEST_F(CaptureTool, EscapeKeyQuits)
{
    const ToolRun r = run("--frames 50 --key 27");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(field(r.out, "exit"), "quit");
    const int frames = std::stoi(field(r.out, "frames"));
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 50);

    // A later Esc: the frames before it run.
    const ToolRun later = run("--frames 50 --key 27@5");
    ASSERT_EQ(later.status, 0) << later.err;
    EXPECT_EQ(field(later.out, "exit"), "quit");
    EXPECT_GE(std::stoi(field(later.out, "frames")), 6);
    EXPECT_LT(std::stoi(field(later.out, "frames")), 50);
}

TEST_F(CaptureTool, SameSeedSameImageAndDragTurnsTheRack)
{
    const ToolRun a = run("--frames 2 --seed 42 --out '" + png("a.png") + "'");
    const ToolRun b = run("--frames 2 --seed 42 --out '" + png("b.png") + "'");
    // --frames 1 is stretched until the three drag messages are handled.
    const ToolRun dragged = run("--frames 1 --seed 42 --drag 512,384:602,384 --out '" + png("drag.png") + "'");
    const ToolRun otherSeed = run("--frames 2 --seed 43 --out '" + png("seed.png") + "'");
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    ASSERT_EQ(dragged.status, 0) << dragged.err;
    ASSERT_EQ(otherSeed.status, 0) << otherSeed.err;

    EXPECT_GE(std::stoi(field(dragged.out, "frames")), 3);
    EXPECT_EQ(field(dragged.out, "exit"), "frames");

    const std::string imageA = readFile(png("a.png"));
    ASSERT_FALSE(imageA.empty());
    EXPECT_EQ(imageA, readFile(png("b.png"))) << "the same seed must give the same picture";
    EXPECT_NE(imageA, readFile(png("drag.png"))) << "a 90-pixel drag must turn the rack";
    EXPECT_NE(imageA, readFile(png("seed.png"))) << "another seed must turn the balls differently";
}

TEST_F(CaptureTool, EveryKthFrameIsWrittenBesideTheLast)
{
    const ToolRun r = run("--frames 4 --every 2 --out '" + png("run.png") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(pngSize(png("run-2.png")), std::make_pair(1024u, 768u));
    EXPECT_EQ(pngSize(png("run-4.png")), std::make_pair(1024u, 768u));
    EXPECT_FALSE(fs::exists(png("run-1.png")));
    EXPECT_FALSE(fs::exists(png("run-3.png")));
    EXPECT_EQ(pngSize(png("run.png")), std::make_pair(1024u, 768u));
    // The last frame is frame 4.
    EXPECT_EQ(readFile(png("run.png")), readFile(png("run-4.png")));
}

TEST_F(CaptureTool, DebugModeRuns)
{
    const ToolRun plain = run("--frames 1 --seed 7 --out '" + png("plain.png") + "'");
    const ToolRun debug = run("--frames 1 --seed 7 --debug --out '" + png("debug.png") + "'");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(debug.status, 0) << debug.err;
    // The "Debug mode" label is the only difference.
    EXPECT_NE(readFile(png("plain.png")), readFile(png("debug.png")));
}

TEST_F(CaptureTool, UsageErrorsExitWithTwo)
{
    const char* const bad[] = {
        "--bogus",
        "--frames",
        "--frames 0",
        "--frames abc",
        "--frames 3x",
        "--frame-time -1",
        "--frame-time nan",
        "--seed -5",
        "--drag 1,2",
        "--drag 1,2:3",
        "--drag 1,2:3,4@x",
        "--drag 70000,0:0,0",
        "--key 0",
        "--key 300",
        "--every 2",
        "--real-clock --seed 3",
        "--window=yes",
    };
    for (const char* arguments : bad) {
        const ToolRun r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_TRUE(r.out.empty()) << arguments << ": " << r.out;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << arguments << ": " << r.err;
    }

    const ToolRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
}

TEST_F(CaptureTool, UnwritableOutputIsAFailure)
{
    const std::string path = (dir / "missing-folder" / "shot.png").string();
    const ToolRun r = run("--frames 1 --out '" + path + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
}
