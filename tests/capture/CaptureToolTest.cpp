// End-to-end runs of the built tarnvale-capture: exit status, the JSON line,
// the PNG files it writes, scripted input and the scripted clock.
#include "support/CaptureRun.h"
#include "support/PngFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const toolPath = TARNVALE_BINARY_DIR "/tools/tarnvale-capture";

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Arguments separated by spaces (none of the tests' contain one).
std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> list;
    std::istringstream in(text);
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}

class CaptureTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(toolPath)) << toolPath << " is not built";
        ASSERT_FALSE(dir.path().empty());
    }

    // Runs the tool with `arguments` (and `--out FILE` in the scratch folder
    // when `out` is given).
    CaptureRun run(const std::string& arguments, const std::string& out = "")
    {
        std::vector<std::string> list = words(arguments);
        if (!out.empty()) list.insert(list.end(), {"--out", png(out)});
        return CaptureRun::run({}, list);
    }

    std::string png(const std::string& name) const { return (dir / name).string(); }
    // Width and height of a PNG file the tool wrote; (0, 0) if it is none.
    std::pair<uint32_t, uint32_t> pngSize(const std::string& name) const
    {
        const testsupport::RgbaImage image = testsupport::readPng(png(name));
        return {image.width, image.height};
    }

    testsupport::TempFolder dir{"capture-test"};
};

bool isDeviceDescription(const std::string& text)
{
    return text == "HAL, Hardware Vertex Processing (Pure Device)" || text == "HAL, Hardware Vertex Processing" ||
           text == "HAL, Software Vertex Processing" || text == "REF, Software Vertex Processing";
}

}  // namespace

TEST_F(CaptureTool, RunsFramesAndWritesSummaryAndScreenshot)
{
    const CaptureRun r = run("--frames 3", "shot.png");
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();

    // Exactly one line of JSON on stdout.
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    const nlohmann::json summary = r.summary();
    ASSERT_TRUE(summary.is_object()) << r.out;
    EXPECT_EQ(summary.value("frames", -1), 3);
    EXPECT_EQ(summary.value("exit", ""), "frames");
    EXPECT_TRUE(isDeviceDescription(summary.value("device", ""))) << r.out;
    // Three frames of 1/60 s: the frame-rate text is still empty.
    EXPECT_EQ(summary.value("fps_text", "-"), "");
    EXPECT_GT(summary.value("startup_ms", 0.0), 0.0);
    const nlohmann::json frameMs = summary.value("frame_ms", nlohmann::json::object());
    EXPECT_GT(frameMs.value("median", 0.0), 0.0) << r.out;
    EXPECT_LE(frameMs.value("median", 0.0), frameMs.value("max", -1.0));
    EXPECT_LE(frameMs.value("p95", 0.0), frameMs.value("max", -1.0));

    EXPECT_EQ(pngSize("shot.png"), std::make_pair(1024u, 768u));
}

TEST_F(CaptureTool, ScriptedClockDrivesTheFrameRateText)
{
    // Each frame takes 0.25 s of scripted time. The first frame follows
    // construction at once; frames 2-5 add up to one second, so the text is
    // written on frame 5 with the four frames counted before it.
    CaptureRun r = run("--frames 6 --frame-time 0.25");
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_EQ(r.field("fps_text"), "FPS: 4");

    // A frame longer than a second writes the count at once.
    r = run("--frames 2 --frame-time 1.5");
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_EQ(r.field("fps_text"), "FPS: 1");
}

TEST_F(CaptureTool, EscapeKeyQuits)
{
    const CaptureRun r = run("--frames 50 --key 27");
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_EQ(r.field("exit"), "quit");
    const int frames = r.summary().value("frames", -1);
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 50);

    // A later Esc: the frames before it run. The frame drawn after the key
    // is the last, and the only one read back.
    const CaptureRun later = run("--frames 50 --key 27@5", "quit.png");
    ASSERT_TRUE(later.exitedWith(0)) << later.describe();
    EXPECT_EQ(later.field("exit"), "quit");
    EXPECT_GE(later.summary().value("frames", -1), 6);
    EXPECT_LT(later.summary().value("frames", -1), 50);
    EXPECT_EQ(later.summary().value("read_backs", -1), 1);
    EXPECT_EQ(pngSize("quit.png"), std::make_pair(1024u, 768u));
}

// The rack is drawn from the seed's low 31 bits (as --help says): the
// program seeds rand with the clock's low 32 bits, and the Windows C run
// time's rand never reads the top bit of its state. Seeds 0 and 1, the same
// rack with glibc's rand, differ.
TEST_F(CaptureTool, SameSeedSameImageAndDragTurnsTheRack)
{
    const CaptureRun a = run("--frames 2 --seed 1", "a.png");
    const CaptureRun b = run("--frames 2 --seed 6442450945", "b.png");  // 1 + 2^31 + 2^32
    // --frames 1 is stretched until the three drag messages are handled.
    const CaptureRun dragged = run("--frames 1 --seed 1 --drag 512,384:602,384", "drag.png");
    const CaptureRun otherSeed = run("--frames 2 --seed 0", "seed.png");
    ASSERT_TRUE(a.exitedWith(0)) << a.describe();
    ASSERT_TRUE(b.exitedWith(0)) << b.describe();
    ASSERT_TRUE(dragged.exitedWith(0)) << dragged.describe();
    ASSERT_TRUE(otherSeed.exitedWith(0)) << otherSeed.describe();

    EXPECT_GE(dragged.summary().value("frames", -1), 3);
    EXPECT_EQ(dragged.field("exit"), "frames");

    const std::string imageA = readFile(png("a.png"));
    ASSERT_FALSE(imageA.empty());
    EXPECT_EQ(imageA, readFile(png("b.png"))) << "the same low 31 bits of the seed must give the same picture";
    EXPECT_NE(imageA, readFile(png("drag.png"))) << "a 90-pixel drag must turn the rack";
    EXPECT_NE(imageA, readFile(png("seed.png"))) << "another seed must turn the balls differently";
}

TEST_F(CaptureTool, EveryKthFrameIsWrittenBesideTheLast)
{
    const CaptureRun r = run("--frames 4 --every 2", "run.png");
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_EQ(pngSize("run-2.png"), std::make_pair(1024u, 768u));
    EXPECT_EQ(pngSize("run-4.png"), std::make_pair(1024u, 768u));
    EXPECT_FALSE(fs::exists(png("run-1.png")));
    EXPECT_FALSE(fs::exists(png("run-3.png")));
    EXPECT_EQ(pngSize("run.png"), std::make_pair(1024u, 768u));
    // The last frame is frame 4, read back once.
    EXPECT_EQ(readFile(png("run.png")), readFile(png("run-4.png")));
    EXPECT_EQ(r.summary().value("read_backs", -1), 2);

    // Only the frames written are read back: the last, or none.
    EXPECT_EQ(run("--frames 5", "last.png").summary().value("read_backs", -1), 1);
    EXPECT_EQ(run("--frames 5").summary().value("read_backs", -1), 0);
}

TEST_F(CaptureTool, DebugModeRuns)
{
    const CaptureRun plain = run("--frames 1 --seed 7", "plain.png");
    const CaptureRun debug = run("--frames 1 --seed 7 --debug", "debug.png");
    ASSERT_TRUE(plain.exitedWith(0)) << plain.describe();
    ASSERT_TRUE(debug.exitedWith(0)) << debug.describe();
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
        const CaptureRun r = run(arguments);
        EXPECT_TRUE(r.exitedWith(2)) << arguments << ": " << r.describe();
        EXPECT_TRUE(r.out.empty()) << arguments << ": " << r.out;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << arguments << ": " << r.err;
    }

    const CaptureRun help = run("--help");
    EXPECT_TRUE(help.exitedWith(0)) << help.describe();
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
}

// The names in the scratch folder, for what a run left there.
std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An output that cannot be written is a failure, found before the first
// frame where it can be, else at the first write that fails, which ends the
// run. A file is replaced only by a whole new image: a write that fails (a
// full disk) leaves the old file as it was and nothing of the new one.
TEST_F(CaptureTool, OutputThatCannotBeWrittenIsAFailureFoundAtOnce)
{
    const std::string missing = png("missing-folder/shot.png");
    CaptureRun r = CaptureRun::run({}, {"--frames", "300", "--out", missing});
    EXPECT_TRUE(r.exitedWith(1)) << r.describe();
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << "no frame was drawn: " << r.out;

    // The second numbered file cannot be written (a folder has its name).
    fs::create_directory(png("run-2.png"));
    r = CaptureRun::run({}, {"--frames", "300", "--every", "1", "--out", png("run.png")});
    EXPECT_TRUE(r.exitedWith(1)) << r.describe();
    EXPECT_EQ(r.field("frames"), "2") << "the run stops at the first failed write";
    EXPECT_EQ(r.field("exit"), "failed");
    EXPECT_NE(r.field("error").find("run-2.png"), std::string::npos) << r.out;
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"run-1.png", "run-2.png"}));

    // 64 KiB of room where a frame takes more.
    const std::string kept = "the image of an earlier run";
    std::ofstream(png("keep.png"), std::ios::binary) << kept;
    testsupport::ChildOptions full;
    full.fileSizeLimit = 64 << 10;
    for (const char* name : {"keep.png", "new.png"}) {
        r = CaptureRun::run({"--frames", "1", "--out", png(name)}, full);
        EXPECT_TRUE(r.exitedWith(1)) << r.describe();
        EXPECT_EQ(r.field("exit"), "failed") << r.out;
    }
    EXPECT_EQ(readFile(png("keep.png")), kept);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"keep.png", "run-1.png", "run-2.png"}));
}

// What the tool prints on stdout must arrive: a full device or a closed
// stream is a failure, not a success nobody heard of.
TEST_F(CaptureTool, StdoutThatCannotBeWrittenIsAFailure)
{
    for (const char* target : {"/dev/full", "-"}) {
        testsupport::ChildOptions options;
        options.standardOutput = target;
        const CaptureRun help = CaptureRun::run({"--help"}, options);
        EXPECT_TRUE(help.exitedWith(1)) << target << ": " << help.describe();
        EXPECT_NE(help.err.find("cannot write the usage"), std::string::npos) << help.err;
        const CaptureRun frames = CaptureRun::run({"--frames", "1"}, options);
        EXPECT_TRUE(frames.exitedWith(1)) << target << ": " << frames.describe();
        EXPECT_NE(frames.err.find("cannot write the summary"), std::string::npos) << frames.err;
    }
}
