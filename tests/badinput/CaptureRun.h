// Runs the built tarnvale-capture in a given working folder, with extra
// environment variables, under a time limit, and collects what it did.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct CaptureRun {
    bool started = false;    // fork/exec worked
    bool timedOut = false;   // killed at the time limit: a hang
    int exitStatus = -1;     // when it exited
    int signal = 0;          // when a signal ended it: a crash
    double seconds = 0.0;
    std::string out;         // the JSON summary
    std::string err;

    // Runs the tool; `environment` entries are set ("NAME=value") or, as
    // "NAME" alone, removed. The tool's stdout and stderr are kept.
    static CaptureRun run(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {}, double timeLimitSeconds = 90.0);

    // A sanitizer's report in stderr (AddressSanitizer, LeakSanitizer,
    // UndefinedBehaviorSanitizer); empty if there is none.
    std::string sanitizerReport() const;
    // The value of a top-level JSON field of the summary, strings without
    // their quotes; empty when absent.
    std::string field(const std::string& key) const;
    // The stderr lines that contain `text`.
    std::vector<std::string> errLinesWith(const std::string& text) const;
    // For failure messages.
    std::string describe() const;
};
