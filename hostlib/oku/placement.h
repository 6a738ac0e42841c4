// Rotation and placement arithmetic of the scene database. Work is done in
// double precision and only the answers handed to the module are floats.
#pragma once

#include "oku/scene_db.h"

namespace oku {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

// Row-major 3 x 3 matrix acting on column vectors.
struct Mat3 {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

Vec3 to_vec(const ZAL_VECT3 &v);
ZAL_VECT3 to_float(const Vec3 &v);

Vec3 add(const Vec3 &a, const Vec3 &b);
Vec3 sub(const Vec3 &a, const Vec3 &b);
double dot(const Vec3 &a, const Vec3 &b);
Vec3 cross(const Vec3 &a, const Vec3 &b);
double length(const Vec3 &v);

Mat3 multiply(const Mat3 &a, const Mat3 &b);
Mat3 transpose(const Mat3 &a);
Vec3 apply(const Mat3 &a, const Vec3 &v);
bool is_identity(const Mat3 &a); // exactly

// R = Rx(ex) * Ry(ey) * Rz(ez), angles in degrees. Multiples of 90 degrees
// use exact sines and cosines, so quarter turns leave no rounding residue.
Mat3 euler_matrix(const ZAL_VECT3 &degrees);
// The angles (ex, ey, ez) in degrees with euler_matrix(angles) == r.
Vec3 euler_angles(const Mat3 &r);
// A camera or light at `from` looking at `to` with `sky` as the up hint:
// the columns are (f x u, -u, f). False when from == to (no direction).
bool look_at_matrix(const Vec3 &from, const Vec3 &to, const Vec3 &sky, Mat3 &out);
// The host quaternion of R: its usual matrix M(q) is the transpose of R.
// The identity gives exactly (0, 0, 0, 1); otherwise w >= 0.
ZAL_QUAT host_quaternion(const Mat3 &r);

// A node's placement in the scene: where its origin is and how its axes lie.
struct Placement {
  Mat3 r;
  Vec3 pos;
};

// The node's placement given its parent's (identity and origin for the root).
Placement child_placement(const Placement &parent, const _object *node);
// The node's placement, composed from the root down.
Placement scene_placement(const _object *node);

} // namespace oku
