// Rotation arithmetic and the composition of placements down the tree.
#include "oku/placement.h"

#include <cmath>
#include <vector>

namespace oku {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 180.0 / kPi;

// Sine and cosine of an angle in degrees; exact at multiples of 90 degrees.
void sincos_degrees(double degrees, double &s, double &c) {
  const double turn = std::fmod(degrees, 360.0);
  const double quarter = turn / 90.0;
  if (quarter == std::floor(quarter)) {
    static const double sines[] = {0, 1, 0, -1};
    const int k = (static_cast<int>(quarter) % 4 + 4) % 4;
    s = sines[k];
    c = sines[(k + 1) % 4];
    return;
  }
  const double radians = turn / kDegrees;
  s = std::sin(radians);
  c = std::cos(radians);
}

Vec3 scale(const Vec3 &v, double k) { return {v.x * k, v.y * k, v.z * k}; }

// An angle in degrees, with -0 turned into 0.
double degrees_of(double radians) { return radians * kDegrees + 0.0; }

} // namespace

Vec3 to_vec(const ZAL_VECT3 &v) { return {v.x, v.y, v.z}; }
ZAL_VECT3 to_float(const Vec3 &v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

Vec3 add(const Vec3 &a, const Vec3 &b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 sub(const Vec3 &a, const Vec3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(const Vec3 &a, const Vec3 &b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Vec3 &v) { return std::sqrt(dot(v, v)); }

Mat3 multiply(const Mat3 &a, const Mat3 &b) {
  Mat3 out;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return out;
}

Mat3 transpose(const Mat3 &a) {
  Mat3 out;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out.m[i][j] = a.m[j][i];
  return out;
}

Vec3 apply(const Mat3 &a, const Vec3 &v) {
  return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
          a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
          a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}

bool is_identity(const Mat3 &a) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (a.m[i][j] != (i == j ? 1.0 : 0.0))
        return false;
  return true;
}

Mat3 euler_matrix(const ZAL_VECT3 &degrees) {
  double sx, cx, sy, cy, sz, cz;
  sincos_degrees(degrees.x, sx, cx);
  sincos_degrees(degrees.y, sy, cy);
  sincos_degrees(degrees.z, sz, cz);
  Mat3 rx, ry, rz;
  rx.m[1][1] = cx, rx.m[1][2] = -sx, rx.m[2][1] = sx, rx.m[2][2] = cx;
  ry.m[0][0] = cy, ry.m[0][2] = sy, ry.m[2][0] = -sy, ry.m[2][2] = cy;
  rz.m[0][0] = cz, rz.m[0][1] = -sz, rz.m[1][0] = sz, rz.m[1][1] = cz;
  return multiply(rx, multiply(ry, rz));
}

// Rx*Ry*Rz has sin(ey) at (0, 2); its first row and last column then give
// ez and ex. In gimbal lock (ey = +-90) only ex + ez or ex - ez is defined,
// and ez is taken as 0.
Vec3 euler_angles(const Mat3 &r) {
  const double sy = std::fmax(-1.0, std::fmin(1.0, r.m[0][2]));
  if (std::fabs(sy) < 1.0 - 1e-12) {
    return {degrees_of(std::atan2(-r.m[1][2], r.m[2][2])), degrees_of(std::asin(sy)),
            degrees_of(std::atan2(-r.m[0][1], r.m[0][0]))};
  }
  const double sign = sy > 0 ? 1.0 : -1.0;
  return {degrees_of(std::atan2(sign * r.m[1][0], r.m[1][1])), sign * 90.0, 0.0};
}

bool look_at_matrix(const Vec3 &from, const Vec3 &to, const Vec3 &sky, Mat3 &out) {
  const Vec3 d = sub(to, from);
  const double dl = length(d);
  if (!(dl > 0) || !std::isfinite(dl))
    return false;
  const Vec3 f = scale(d, 1.0 / dl);
  // The sky made orthogonal to f; when the sky is (nearly) along f, the
  // scene axis least aligned with f stands in for it.
  Vec3 u = sub(sky, scale(f, dot(sky, f)));
  if (length(u) < 1e-9 * std::fmax(1.0, length(sky))) {
    const Vec3 axes[3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    const Vec3 *best = &axes[0];
    for (const Vec3 &axis : axes)
      if (std::fabs(dot(axis, f)) < std::fabs(dot(*best, f)))
        best = &axis;
    u = sub(*best, scale(f, dot(*best, f)));
  }
  u = scale(u, 1.0 / length(u));
  const Vec3 x = cross(f, u);
  const Vec3 cols[3] = {x, scale(u, -1.0), f};
  for (int j = 0; j < 3; ++j) {
    out.m[0][j] = cols[j].x + 0.0;
    out.m[1][j] = cols[j].y + 0.0;
    out.m[2][j] = cols[j].z + 0.0;
  }
  return true;
}

ZAL_QUAT host_quaternion(const Mat3 &r) {
  if (is_identity(r))
    return {0, 0, 0, 1};
  const Mat3 a = transpose(r); // the quaternion's own matrix M(q)
  double x, y, z, w;
  const double trace = a.m[0][0] + a.m[1][1] + a.m[2][2];
  if (trace > 0) {
    const double s = std::sqrt(trace + 1.0) * 2;
    w = s / 4, x = (a.m[2][1] - a.m[1][2]) / s, y = (a.m[0][2] - a.m[2][0]) / s,
    z = (a.m[1][0] - a.m[0][1]) / s;
  } else if (a.m[0][0] > a.m[1][1] && a.m[0][0] > a.m[2][2]) {
    const double s = std::sqrt(1.0 + a.m[0][0] - a.m[1][1] - a.m[2][2]) * 2;
    w = (a.m[2][1] - a.m[1][2]) / s, x = s / 4, y = (a.m[0][1] + a.m[1][0]) / s,
    z = (a.m[0][2] + a.m[2][0]) / s;
  } else if (a.m[1][1] > a.m[2][2]) {
    const double s = std::sqrt(1.0 + a.m[1][1] - a.m[0][0] - a.m[2][2]) * 2;
    w = (a.m[0][2] - a.m[2][0]) / s, x = (a.m[0][1] + a.m[1][0]) / s, y = s / 4,
    z = (a.m[1][2] + a.m[2][1]) / s;
  } else {
    const double s = std::sqrt(1.0 + a.m[2][2] - a.m[0][0] - a.m[1][1]) * 2;
    w = (a.m[1][0] - a.m[0][1]) / s, x = (a.m[0][2] + a.m[2][0]) / s, y = (a.m[1][2] + a.m[2][1]) / s,
    z = s / 4;
  }
  const double n = std::sqrt(x * x + y * y + z * z + w * w);
  const double k = (w < 0 ? -1.0 : 1.0) / n;
  return {static_cast<float>(x * k + 0.0), static_cast<float>(y * k + 0.0), static_cast<float>(z * k + 0.0),
          static_cast<float>(w * k + 0.0)};
}

Placement child_placement(const Placement &parent, const _object *node) {
  Placement out;
  out.pos = add(apply(parent.r, to_vec(node->position)), parent.pos);
  // look_at and sky are scene coordinates: they give the scene R directly.
  if (node->has_look_at && look_at_matrix(out.pos, to_vec(node->look_at), to_vec(node->sky), out.r))
    return out;
  out.r = multiply(parent.r, euler_matrix(node->rotation));
  return out;
}

Placement scene_placement(const _object *node) {
  std::vector<const _object *> chain;
  for (const _object *n = node; n != nullptr; n = n->parent)
    chain.push_back(n);
  Placement placement; // the scene frame itself
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    placement = child_placement(placement, *it);
  return placement;
}

} // namespace oku
