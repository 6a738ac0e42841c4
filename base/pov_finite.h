// Numbers that reach the scene text must be finite: POV-Ray reads neither
// "inf" nor "nan". Values that the writers compute with a division, a
// tangent or a large factor go through these before they are printed.
#pragma once

#include <cfloat>

// v as a float: beyond the float range it becomes the largest float of its
// sign, and NaN becomes 0.
inline float pov_finite(double v) {
  if (!(v == v))
    return 0.0f;
  if (v > FLT_MAX)
    return FLT_MAX;
  if (v < -FLT_MAX)
    return -FLT_MAX;
  return static_cast<float>(v);
}
// The same bounds, v kept in double precision.
inline double pov_finite_double(double v) {
  if (!(v == v))
    return 0.0;
  return v > FLT_MAX ? FLT_MAX : v < -FLT_MAX ? -FLT_MAX : v;
}
