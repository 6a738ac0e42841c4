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

namespace {

// The common case first: a quad whose four turns all go the same way (not
// straight on) is convex, and a quad cannot go round twice. Its normal is
// the cross product of its diagonals. False when that does not settle it.
bool convex_quad(const float *position, size_t stride) {
  const float *p0 = position, *p1 = pov_corner(position, stride, 1), *p2 = pov_corner(position, stride, 2),
              *p3 = pov_corner(position, stride, 3);
  const double a0 = double(p2[0]) - p0[0], a1 = double(p2[1]) - p0[1], a2 = double(p2[2]) - p0[2];
  const double b0 = double(p3[0]) - p1[0], b1 = double(p3[1]) - p1[1], b2 = double(p3[2]) - p1[2];
  const double x = std::fabs(a1 * b2 - a2 * b1), y = std::fabs(a2 * b0 - a0 * b2),
               z = std::fabs(a0 * b1 - a1 * b0);
  const int u = x >= y && x >= z ? 1 : y >= z ? 2 : 0, v = u == 2 ? 0 : u + 1;
  const double x0 = p0[u], y0 = p0[v], x1 = p1[u], y1 = p1[v], x2 = p2[u], y2 = p2[v], x3 = p3[u], y3 = p3[v];
  const double c0 = (x0 - x3) * (y1 - y0) - (y0 - y3) * (x1 - x0);
  const double c1 = (x1 - x0) * (y2 - y1) - (y1 - y0) * (x2 - x1);
  const double c2 = (x2 - x1) * (y3 - y2) - (y2 - y1) * (x3 - x2);
  const double c3 = (x3 - x2) * (y0 - y3) - (y3 - y2) * (x0 - x3);
  return (c0 > 0 && c1 > 0 && c2 > 0 && c3 > 0) || (c0 < 0 && c1 < 0 && c2 < 0 && c3 < 0);
}

} // namespace

bool pov_fan_covers(const float *position, size_t stride, int n) {
  int u, v;
  if (n <= 3 || (n == 4 && convex_quad(position, stride)) || !pov_polygon_axes(position, stride, n, u, v))
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
