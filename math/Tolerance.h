#pragma once

// Float tolerance tests. All comparisons are strict, and a not-a-number
// operand makes each of them false.

// The fixed tolerance of isNearZero: the float 0.00001 (bits 0x3727C5AC).
constexpr float nearZeroTolerance = 0.00001f;

bool isNearZero(const float& value);
bool isNearlyEqual(const float& a, const float& b, float epsilon);
bool isLessOrNearlyEqual(const float& a, const float& b, float epsilon);
