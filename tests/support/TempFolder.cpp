#include "TempFolder.h"

#include <stdlib.h>

#include <vector>

namespace fs = std::filesystem;

namespace testsupport {

TempFolder::TempFolder(const std::string& label)
{
    const std::string pattern = (fs::temp_directory_path() / ("tarnvale-" + label + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) != nullptr) root = name.data();
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    if (!previous.empty()) fs::current_path(previous, ignored);
    if (!root.empty()) fs::remove_all(root, ignored);
}

void TempFolder::enter()
{
    if (previous.empty()) previous = fs::current_path();
    fs::current_path(root);
}

}  // namespace testsupport
