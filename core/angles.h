#pragma once

// Degrees and radians. Convert in double, or round the constant to float once:
// float(DEG_TO_RAD) is the float nearest one degree.
constexpr double PI = 3.14159265358979323846;
constexpr double DEG_TO_RAD = PI / 180.0; // one degree in radians
constexpr double RAD_TO_DEG = 180.0 / PI;
