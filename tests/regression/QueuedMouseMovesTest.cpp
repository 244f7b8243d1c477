// The soak's queued mouse moves (tarnvale-capture --mouse-moves): all are
// queued at once and the message loop takes exactly one per frame, so a run
// lasts until the last of them has been handled.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

const char* const kTool = TARNVALE_BINARY_DIR "/tools/tarnvale-capture";

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun capture(const std::string& arguments)
{
    ToolRun run;
    const std::string command = std::string("'") + kTool + "' " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

int frames(const std::string& json)
{
    std::smatch match;
    return std::regex_search(json, match, std::regex("\"frames\":([0-9]+)")) ? std::stoi(match[1]) : -1;
}

}  // namespace

TEST(QueuedMouseMoves, EachFrameTakesOneMessage)
{
    if (!fs::exists(kTool)) GTEST_SKIP() << kTool << " is not built";
    // Press, 30 moves and release: 32 messages queued before the first
    // frame, so the 32nd frame takes the last.
    ToolRun now = capture("--frames 1 --mouse-moves 30");
    ASSERT_EQ(now.status, 0) << now.out;
    EXPECT_EQ(frames(now.out), 32) << now.out;

    // Queued after frame 5: frames 6 to 37 take them.
    ToolRun later = capture("--frames 1 --mouse-moves 30@5");
    ASSERT_EQ(later.status, 0) << later.out;
    EXPECT_EQ(frames(later.out), 37) << later.out;

    for (const char* bad : {"0", "1000001", "x", "5@", "-3"})
        EXPECT_EQ(capture(std::string("--mouse-moves ") + bad).status, 2) << bad;
}
