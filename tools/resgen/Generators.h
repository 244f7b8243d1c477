#pragma once

#include <string>

// Each generator writes its images into outDir (the res/ folder) and returns
// false, having printed the reason, when a file cannot be written.
bool generateBallImages(const std::string& outDir);
bool generateFontSheet(const std::string& outDir);
