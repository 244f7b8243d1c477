// Runs the built tarnvale-capture in a given working folder, with extra
// environment variables, under a time limit, and collects what it did.
#pragma once

#include "support/ChildProcess.h"

#include <filesystem>
#include <string>
#include <vector>

struct CaptureRun : testsupport::ChildRun {
    // Runs the tool; `environment` entries are set ("NAME=value") or, as
    // "NAME" alone, removed. The tool's stdout and stderr are kept.
    static CaptureRun run(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {}, double timeLimitSeconds = 90.0);

    // The value of a top-level field of the JSON summary, strings without
    // their quotes; empty when absent.
    std::string field(const std::string& key) const;
};
