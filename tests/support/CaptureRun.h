// Runs the built tarnvale-capture for a test: in a given working folder (the
// test's own when empty), with extra environment variables, under a time
// limit; and reads what it reported on stdout, a one-line JSON summary.
#pragma once

#include "ChildProcess.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

struct CaptureRun : testsupport::ChildRun {
    // Runs the tool; `environment` entries are set ("NAME=value") or, as
    // "NAME" alone, removed. The tool's stdout and stderr are kept.
    static CaptureRun run(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {}, double timeLimitSeconds = 90.0);
    // The same with every option, `whileRunning` included.
    static CaptureRun run(const std::vector<std::string>& arguments, const testsupport::ChildOptions& options);

    // The JSON summary; null when stdout holds none.
    nlohmann::json summary() const;
    // The value of a top-level field of the summary, strings without their
    // quotes; empty when absent.
    std::string field(const std::string& key) const;
};
