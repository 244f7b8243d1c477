// What every bad-input run must show, whatever was broken: it ended by
// itself, in time, without a signal or a sanitizer report; and the two
// outcomes the program may have.
#pragma once

#include "BrokenFiles.h"
#include "support/CaptureRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace badinput {

// Frames each run draws: enough to show the loop runs, few to stay fast.
constexpr int frames = 3;

inline std::vector<std::string> captureArguments(const std::vector<std::string>& extra = {})
{
    std::vector<std::string> arguments = {"--frames", std::to_string(frames), "--seed", "7"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// No crash, no hang, no sanitizer report.
inline ::testing::AssertionResult endedCleanly(const CaptureRun& run)
{
    if (!run.started) return ::testing::AssertionFailure() << "the capture tool could not be started";
    if (run.timedOut) return ::testing::AssertionFailure() << "hang: " << run.describe();
    if (run.signal != 0) return ::testing::AssertionFailure() << "crash: " << run.describe();
    const std::string report = run.sanitizerReport();
    if (!report.empty()) return ::testing::AssertionFailure() << "sanitizer report:\n" << report;
    return ::testing::AssertionSuccess();
}

// The demo ran: exit status 0 after the requested frames.
inline ::testing::AssertionResult ranAllFrames(const CaptureRun& run)
{
    ::testing::AssertionResult clean = endedCleanly(run);
    if (!clean) return clean;
    if (run.exitStatus != 0 || run.field("frames") != std::to_string(frames) || run.field("exit") != "frames")
        return ::testing::AssertionFailure() << "expected " << frames << " frames and exit 0: " << run.describe();
    return ::testing::AssertionSuccess();
}

// The start failed in order: status 1, no frame drawn; and the summary
// accounts for the time it took as for a start: the steps taken lie within
// the time to the failure.
inline ::testing::AssertionResult failedToStart(const CaptureRun& run)
{
    ::testing::AssertionResult clean = endedCleanly(run);
    if (!clean) return clean;
    if (run.exitStatus != 1 || run.field("exit") != "failed" || run.field("frames") != "0")
        return ::testing::AssertionFailure() << "expected a failed start (status 1, no frame): " << run.describe();
    const nlohmann::json summary = run.summary();
    const nlohmann::json steps = summary.value("startup", nlohmann::json::object());
    double stepsMs = 0.0;
    for (const char* step : {"window_ms", "device_ms", "shader_compile_ms", "shader_create_ms", "image_decode_ms",
                             "texture_upload_ms", "mesh_ms", "program_link_ms", "first_frame_ms"})
        stepsMs += steps.value(step, 0.0);
    const double startupMs = summary.value("startup_ms", 0.0);
    if (startupMs <= 0.0 || stepsMs > startupMs + 0.01)
        return ::testing::AssertionFailure() << "start-up steps of " << stepsMs << " ms in a start-up of " << startupMs
                                             << " ms: " << run.out;
    return ::testing::AssertionSuccess();
}

// A line of stderr names `file` and says something about it.
inline ::testing::AssertionResult named(const CaptureRun& run, const std::string& file)
{
    for (const std::string& line : run.errLinesWith(file)) {
        const size_t at = line.find(file);
        if (line.find_first_not_of(" :", at + file.size()) != std::string::npos) return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no message names " << file << "; stderr:\n" << run.err;
}

}  // namespace badinput
