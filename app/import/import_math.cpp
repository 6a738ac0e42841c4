// Placement arithmetic of the scene import and the numbers it writes.
#include "app/import/import_parts.h"
#include "core/ascii_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace bf::import {

namespace {

Vec3 column(const Mat3 &m, int j) { return {m.m[0][j], m.m[1][j], m.m[2][j]}; }
Vec3 scaled(const Vec3 &v, double k) { return {v.x * k, v.y * k, v.z * k}; }

} // namespace

Affine to_affine(const aiMatrix4x4 &m) {
  Affine a;
  const ai_real *rows[3] = {m[0], m[1], m[2]};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      a.l.m[i][j] = rows[i][j];
  a.t = {m.a4, m.b4, m.c4};
  return a;
}

Affine compose(const Affine &outer, const Affine &inner) {
  return {oku::multiply(outer.l, inner.l), oku::add(oku::apply(outer.l, inner.t), outer.t)};
}

// Beyond 1e30 the scene's float numbers overflow once placed and scaled.
bool finite(const Affine &a) {
  const auto fits = [](double v) { return std::fabs(v) < 1e30; }; // false for NaN
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (!fits(a.l.m[i][j]))
        return false;
  return fits(a.t.x) && fits(a.t.y) && fits(a.t.z);
}

Vec3 place(const Affine &a, const Vec3 &p) { return oku::add(oku::apply(a.l, p), a.t); }

// Gram-Schmidt on the columns: l = q * u with u upper triangular. The third
// axis is the cross product of the first two, so q never mirrors; a mirror
// shows as a negative last entry of the shape.
void split(const Mat3 &l, Mat3 &rotation, Mat3 &shape) {
  const Vec3 c0 = column(l, 0), c1 = column(l, 1);
  const double n0 = oku::length(c0);
  const Vec3 q0 = n0 > 0 ? scaled(c0, 1 / n0) : Vec3{};
  const Vec3 r1 = oku::sub(c1, scaled(q0, oku::dot(q0, c1)));
  const double n1 = oku::length(r1);
  rotation = Mat3();
  shape = l;
  if (!(n0 > 1e-30) || !(n1 > 1e-30 * n0) || !std::isfinite(n0 * n1))
    return; // flattened: the whole map stays in the shape
  const Vec3 q1 = scaled(r1, 1 / n1);
  const Vec3 q2 = oku::cross(q0, q1);
  const Vec3 q[3] = {q0, q1, q2};
  for (int j = 0; j < 3; ++j)
    rotation.m[0][j] = q[j].x, rotation.m[1][j] = q[j].y, rotation.m[2][j] = q[j].z;
  shape = oku::multiply(oku::transpose(rotation), l);
  // What rounding leaves of an identity (or a pure rotation's) shape.
  bool near_identity = true;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      near_identity = near_identity && std::fabs(shape.m[i][j] - (i == j ? 1 : 0)) < 1e-6;
  if (near_identity)
    shape = Mat3();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < i; ++j)
      shape.m[i][j] = 0; // below the diagonal only rounding
}

double tidy(double v) {
  if (!std::isfinite(v) || std::fabs(v) < 1e-12)
    return 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", v);
  return std::strtod(text, nullptr) + 0.0;
}

ojson number(double v) {
  v = tidy(v);
  if (v == std::floor(v) && std::fabs(v) < 1e9)
    return static_cast<long long>(v);
  return v;
}

ojson vec_json(const Vec3 &v) { return ojson::array({number(v.x), number(v.y), number(v.z)}); }

ojson matrix_json(const Mat3 &m) {
  ojson rows = ojson::array();
  for (const auto &row : m.m)
    rows.push_back(ojson::array({number(row[0]), number(row[1]), number(row[2])}));
  return rows;
}

bool colour_json(double r, double g, double b, ojson &out) {
  if (!std::isfinite(r) || !std::isfinite(g) || !std::isfinite(b))
    return false;
  const auto unit = [](double v) { return number(std::fmin(1.0, std::fmax(0.0, v))); };
  out = ojson::array({unit(r), unit(g), unit(b)});
  return true;
}

bool is_gltf(const ModelFile &model) {
  const std::string ext = zal::ascii_lower(std::filesystem::path(model.path()).extension().string());
  return ext == ".gltf" || ext == ".glb";
}

double display_value(double linear) { return std::pow(std::fmin(1.0, std::fmax(0.0, linear)), 1 / 2.2); }

void Bounds::add(const Vec3 &p) {
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
    return;
  if (empty) {
    low = high = p;
    empty = false;
    return;
  }
  low = {std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z)};
  high = {std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z)};
}

Vec3 Bounds::centre() const { return empty ? Vec3{} : scaled(oku::add(low, high), 0.5); }

double Bounds::radius() const { return empty ? 0 : oku::length(oku::sub(high, low)) / 2; }

} // namespace bf::import
