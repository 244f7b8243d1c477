#include "CaptureRun.h"

namespace fs = std::filesystem;

CaptureRun CaptureRun::run(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, double timeLimitSeconds)
{
    return run(arguments, testsupport::ChildOptions{folder, environment, timeLimitSeconds});
}

CaptureRun CaptureRun::run(const std::vector<std::string>& arguments, const testsupport::ChildOptions& options)
{
    CaptureRun result;
    static_cast<testsupport::ChildRun&>(result) =
        testsupport::runChild(TARNVALE_BINARY_DIR "/tools/tarnvale-capture", arguments, options);
    return result;
}

nlohmann::json CaptureRun::summary() const
{
    nlohmann::json parsed = nlohmann::json::parse(out, nullptr, false);
    return parsed.is_discarded() ? nlohmann::json() : parsed;
}

std::string CaptureRun::field(const std::string& key) const
{
    const nlohmann::json parsed = summary();
    if (!parsed.is_object() || !parsed.contains(key)) return std::string();
    const nlohmann::json& value = parsed[key];
    return value.is_string() ? value.get<std::string>() : value.dump();
}
