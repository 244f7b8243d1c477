#pragma once

#include <vector>

// Stroke outlines of the digits 0-9, drawn as round-capped lines of constant
// width: each digit is a set of polylines in a box 0.6 wide and 1.0 tall
// (x to the right, y downwards). Our own simple design, made for painting
// numbers on the ball images.
struct DigitPoint {
    float x;
    float y;
};
using DigitStroke = std::vector<DigitPoint>;

constexpr float digitWidth = 0.6f;
constexpr float digitHeight = 1.0f;
// Width of a stroke, in the same units.
constexpr float digitStrokeWidth = 0.15f;

// The polylines of one digit (0-9); empty for anything else.
std::vector<DigitStroke> digitStrokes(int digit);
