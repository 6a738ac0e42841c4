// A polygon seen in its own plane: which two axes show it, and whether the
// fan around its first corner covers it exactly.
#include "geometry/pov_mesh_internal.h"

#include <cmath>

namespace {

// Turns whose sine is below this either way count as going straight on: the
// float corners of a straight edge are rarely exactly in line.
const double kStraightSine = 1e-5;

// Whether direction (x, y) lies in the upper half turn, angles [0, 180).
inline bool upper(double x, double y) { return y > 0 || (y == 0 && x > 0); }

} // namespace

bool pov_polygon_axes(const float *position, size_t stride, int n, int &u, int &v) {
  double normal[3] = {0, 0, 0};
  const float *a = pov_corner(position, stride, n - 1);
  for (int i = 0; i < n; ++i) {
    const float *b = pov_corner(position, stride, i);
    for (int k = 0; k < 3; ++k) {
      const int k1 = (k + 1) % 3, k2 = (k + 2) % 3;
      normal[k] += (double(a[k1]) - b[k1]) * (double(a[k2]) + b[k2]);
    }
    a = b;
  }
  const double x = std::fabs(normal[0]), y = std::fabs(normal[1]), z = std::fabs(normal[2]);
  if (!(std::isfinite(x + y + z) && x + y + z > 0))
    return false;
  const int axis = x >= y && x >= z ? 0 : y >= z ? 1 : 2;
  u = (axis + 1) % 3;
  v = (axis + 2) % 3;
  return true;
}

bool pov_fan_covers(const float *position, size_t stride, int n) {
  int u, v;
  if (n <= 3 || (n == 4 && pov_convex_quad(position, stride)) || !pov_polygon_axes(position, stride, n, u, v))
    return true;
  auto edge = [&](int i, double &x, double &y) {
    const float *a = pov_corner(position, stride, i),
                *b = pov_corner(position, stride, i + 1 < n ? i + 1 : 0);
    x = double(b[u]) - a[u];
    y = double(b[v]) - a[v];
    return x != 0 || y != 0;
  };
  double px = 0, py = 0;
  int last = n - 1;
  while (last >= 0 && !edge(last, px, py))
    --last;
  if (last < 0)
    return true;
  // Every turn between edges (repeated corners left out) goes the same way
  // or straight on, and the edges' direction goes round exactly once.
  int sign = 0, winding = 0;
  for (int i = 0; i < n; ++i) {
    double ex, ey;
    if (!edge(i, ex, ey))
      continue;
    const double cross = px * ey - py * ex, dot = px * ex + py * ey;
    const double room = kStraightSine * kStraightSine * (px * px + py * py) * (ex * ex + ey * ey);
    if (cross * cross <= room) {
      if (dot < 0)
        return false; // turning back on itself
    } else {
      const int turn = cross > 0 ? 1 : -1;
      if (sign != 0 && turn != sign)
        return false;
      sign = turn;
    }
    const bool was_upper = upper(px, py), is_upper = upper(ex, ey);
    winding += !was_upper && is_upper && cross > 0 ? 1 : was_upper && !is_upper && cross < 0 ? -1 : 0;
    px = ex;
    py = ey;
  }
  return (winding == 1 || winding == -1) && (sign == 0 || sign == winding);
}
