// A folder of the test's own in the system's temporary folder: a new name
// each time (tests of several users and processes run side by side), removed
// with everything in it when the object goes. It can also be the working
// folder while the object lives.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class TempFolder {
public:
    // "tarnvale-<label>-XXXXXX"; an empty path when it cannot be made.
    explicit TempFolder(const std::string& label);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::filesystem::path operator/(const std::string& name) const { return root / name; }
    // Makes it the working folder; the one before comes back with the object.
    void enter();

private:
    std::filesystem::path root;
    std::filesystem::path previous;
};

}  // namespace testsupport
