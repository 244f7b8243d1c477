#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Each generator writes its images into outDir (the res/ folder) and returns
// false, having printed the reason, when a file cannot be written.
bool generateBallImages(const std::string& outDir);
bool generateFontSheet(const std::string& outDir);
// The application icons, drawn from a ball image: outDir/icons/<S>x<S>.png
// at the usual desktop sizes.
bool generateAppIcons(const std::string& outDir);

// One ball image as the file stores it: ballImageSize square, RGBA, the
// design turned by 180 degrees. number 0 is the cue ball.
constexpr uint32_t ballImageSize = 256;
std::vector<uint8_t> paintBall(int number);
