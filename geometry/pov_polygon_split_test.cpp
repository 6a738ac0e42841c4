// Which polygons keep their fan, and that the split of the others covers
// each polygon exactly: every triangle turns the polygon's way, lies inside
// it, and together they have its area.
#include "geometry/pov_mesh_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

struct Point {
  double x, y;
};

double twice_area(const std::vector<Point> &p) {
  double a = 0;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    a += (p[j].x - p[i].x) * (p[j].y + p[i].y);
  return a;
}

bool inside(const std::vector<Point> &p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    if ((p[i].y > y) != (p[j].y > y) && x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
      in = !in;
  return in;
}

// The polygon in a tilted plane, as a mesh would hold it: (x, y) goes to
// x u + y v + o.
std::vector<float> in_space(const std::vector<Point> &p, bool tilted) {
  const double u[3] = {0, 0.6, 0.8}, v[3] = {0.36, 0.64, -0.48}, o[3] = {-1.146, 2, 3};
  std::vector<float> out;
  for (const Point &q : p)
    for (int k = 0; k < 3; ++k)
      out.push_back(tilted ? float(q.x * u[k] + q.y * v[k] + o[k]) : float(k == 0 ? q.x : k == 1 ? q.y : 0));
  return out;
}

std::vector<int> split(const std::vector<float> &positions) {
  PovSplitScratch scratch;
  std::vector<int> triangles;
  pov_split_polygon(positions.data(), 3 * sizeof(float), int(positions.size() / 3), &scratch, &triangles);
  return triangles;
}

// Checks that the triangles cover the polygon exactly (up to slivers that
// the corners' rounding to float may turn over): each turns the polygon's
// way and lies inside it (of a large polygon, its largest triangles and a
// sample of the rest), and they add up to its area.
void expect_cover(const std::vector<Point> &p, const std::vector<int> &t, const char *name) {
  const double whole = twice_area(p), sliver = 1e-7 * std::fabs(whole);
  ASSERT_FALSE(t.empty()) << name;
  std::vector<std::pair<double, size_t>> by_area;
  double sum = 0;
  for (size_t i = 0; i + 2 < t.size(); i += 3) {
    const double a = twice_area({p[size_t(t[i])], p[size_t(t[i + 1])], p[size_t(t[i + 2])]});
    sum += a;
    ASSERT_TRUE(std::fabs(a) <= sliver || a * whole > 0)
        << name << ": triangle " << i / 3 << " is turned over";
    by_area.push_back({std::fabs(a), i});
  }
  EXPECT_NEAR(sum, whole, std::fabs(whole) * 1e-6) << name;
  const size_t largest = std::min<size_t>(by_area.size(), 500);
  std::partial_sort(by_area.begin(), by_area.begin() + long(largest), by_area.end(), std::greater<>());
  for (size_t k = 0; k < by_area.size(); k += k < largest ? 1 : by_area.size() / 500 + 1) {
    const size_t i = by_area[k].second;
    if (by_area[k].first <= sliver)
      continue;
    const Point &a = p[size_t(t[i])], &b = p[size_t(t[i + 1])], &c = p[size_t(t[i + 2])];
    ASSERT_TRUE(inside(p, (a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3))
        << name << ": triangle " << i / 3 << " lies outside";
  }
}

// What a polygon gets: its fan, a split that covers it, or (crossing
// itself, it has no cover) at most n - 2 triangles all the same.
enum Expect { kFan, kCover, kCrossing };

struct Case {
  const char *name;
  std::vector<Point> corners;
  Expect expect;
};

TEST(PolygonSplit, FanOnlyWhereItCoversSplitEverywhereElse) {
  const double nan = std::nan("");
  const Case cases[] = {
      {"square", {{0, 0}, {2, 0}, {2, 2}, {0, 2}}, kFan},
      {"clockwise pentagon", {{0, 0}, {0, 2}, {1, 3}, {2, 2}, {2, 0}}, kFan},
      {"corner twice", {{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}}, kFan},
      {"corner on an edge", {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, kFan},
      {"nearly straight edge", {{0, 0}, {1, 1e-9}, {2, 0}, {2, 2}, {0, 2}}, kFan},
      {"all in line", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, kFan},
      {"not a number", {{0, 0}, {2, 0}, {nan, 1}, {1, 0.5}, {0, 2}}, kFan},
      {"L", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, kCover},
      {"L from its notch", {{1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 1}}, kCover},
      {"clockwise arrow", {{0, 0}, {1, 3}, {2, 0}, {1, 1}}, kCover},
      {"ring with a seam",
       {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}, {1, 1}, {1, 3}, {3, 3}, {3, 1}, {1, 1}},
       kCover},
      {"spike", {{0, 0}, {2, 0}, {2, 1}, {3, 1}, {2, 1}, {2, 2}, {0, 2}}, kCover},
      {"comb",
       {{0, 0}, {5, 0}, {5, 3}, {4, 3}, {4, 1}, {3, 1}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}},
       kCover},
      {"notch in line with a corner", {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 1}, {1, 2}, {0, 2}}, kCover},
      {"bow tie", {{0, 0}, {3, 3}, {3, 0}, {0, 1}}, kCrossing},
      {"star drawn in one line", {{0, 3}, {2, -3}, {-3, 1}, {3, 1}, {-2, -3}}, kCrossing},
  };
  for (const Case &c : cases)
    for (bool tilted : {false, true}) {
      const std::vector<int> triangles = split(in_space(c.corners, tilted));
      if (c.expect == kCover)
        expect_cover(c.corners, triangles, c.name);
      else
        EXPECT_EQ(triangles.empty(), c.expect == kFan) << c.name;
      EXPECT_LE(triangles.size(), 3 * (c.corners.size() - 2)) << c.name;
    }
}

// Large polygons: a ring of circles and a comb of many teeth are covered,
// and corners at random, crossing everywhere, stay within the work budget.
TEST(PolygonSplit, LargePolygonsFinishQuickly) {
  const int n = 10000;
  const double pi = 3.14159265358979323846;
  std::vector<Point> ring;
  for (int i = 0; i <= n; ++i)
    ring.push_back({10 * std::cos(2 * pi * i / n), 10 * std::sin(2 * pi * i / n)});
  for (int i = 0; i <= n; ++i)
    ring.push_back({5 * std::cos(-2 * pi * i / n), 5 * std::sin(-2 * pi * i / n)});
  std::vector<Point> comb = {{0, -1}};
  for (int i = 0; i < n / 4; ++i)
    comb.insert(comb.end(), {{i + 0.0, 0}, {i + 0.25, 10}, {i + 0.5, 0}, {i + 0.75, 0}});
  comb.push_back({n / 4.0, -1});
  std::mt19937 random(7);
  std::vector<Point> scatter;
  for (int i = 0; i < n; ++i)
    scatter.push_back({double(random() % 1000), double(random() % 1000)});

  const auto start = std::chrono::steady_clock::now();
  expect_cover(ring, split(in_space(ring, true)), "ring");
  expect_cover(comb, split(in_space(comb, false)), "comb");
  EXPECT_LE(split(in_space(scatter, false)).size(), 3 * scatter.size());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 10) << "the split of large polygons takes too long";
}

} // namespace
