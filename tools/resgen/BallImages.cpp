// Placeholder: replaced by the ball image generator.
#include "Generators.h"
bool generateBallImages(const std::string&) { return true; }
