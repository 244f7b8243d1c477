#include "CaptureRun.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

CaptureRun CaptureRun::run(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, double timeLimitSeconds)
{
    CaptureRun result;
    static_cast<testsupport::ChildRun&>(result) = testsupport::runChild(
        TARNVALE_BINARY_DIR "/tools/tarnvale-capture", arguments,
        testsupport::ChildOptions{folder, environment, timeLimitSeconds});
    return result;
}

std::string CaptureRun::field(const std::string& key) const
{
    const nlohmann::json summary = nlohmann::json::parse(out, nullptr, false);
    if (!summary.is_object() || !summary.contains(key)) return std::string();
    const nlohmann::json& value = summary[key];
    return value.is_string() ? value.get<std::string>() : value.dump();
}
