// Angle constants of the whole program: pi and the factors between degrees
// and radians, as the doubles every computation uses (the projection's
// results depend on these exact values). No arrays; units as named.
#pragma once

namespace sci {

constexpr double kPi = 3.141592653589793;       // the double nearest to pi
constexpr double kHalfPi = 1.5707963267948966;  // the double nearest to pi / 2, = kPi / 2 exactly
// Degrees -> radians and back: pi / 180 = 0.017453292519943295 and
// 180 / pi = 57.29577951308232, each rounded once to the nearest double.
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

}  // namespace sci
