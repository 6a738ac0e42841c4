// Triangles of a polygon. A fan around corner 0 covers a convex polygon
// exactly and is what almost every polygon of a mesh gets; a polygon that
// turns both ways (an L, a ring joined to its hole by a seam) is cut into
// ears in its own plane instead, so that its notches and holes stay open.
//
// Ear cutting looks for other corners inside each candidate ear; only
// corners that point inwards can be there, and they are found through a
// grid of them over the polygon. The search is given a budget of work in
// proportion to the number of corners: input that exhausts it (polygons that
// cross themselves all over) is finished by cutting convex corners without
// the search, so no polygon ever takes long, whatever its corners.
#include "geometry/pov_mesh_internal.h"

#include <algorithm>
#include <cmath>

namespace {

// A polygon whose area is below this times the square of its size is a
// line whose float corners happen to enclose a sliver; it keeps its fan.
const double kThinnest = 1e-6;
// Cells of the search grid along one axis at most.
const double kMaxCells = 4096;

// The polygon being cut: its corners in the plane, turned so that they go
// round counter-clockwise, as a ring that ears are taken out of.
//
// Corners wait in a queue to be tried as ears. A corner that turns inwards
// leaves it until a neighbour is cut; a corner whose ear holds another
// corner waits on that corner until it turns outwards. Cutting an ear sends
// its two neighbours to the back of the queue, so that ears are cut all
// round the polygon in turn rather than as a fan of ever longer triangles.
struct Ring {
  PovSplitScratch &s;
  std::vector<int> &triangles;
  int left = 0;    // corners still in the ring
  long work = 0;   // steps of the search so far
  long budget = 0; // past it, ears are cut without the search

  double cross(int a, int b, int c) const {
    return (s.x[b] - s.x[a]) * (s.y[c] - s.y[b]) - (s.y[b] - s.y[a]) * (s.x[c] - s.x[b]);
  }
  double turn(int b) const { return cross(s.prev[b], b, s.next[b]); }
  bool same(int a, int b) const { return s.x[a] == s.x[b] && s.y[a] == s.y[b]; }
  bool over() const { return work > budget; }

  void remove(int p) {
    s.next[s.prev[p]] = s.next[p];
    s.prev[s.next[p]] = s.prev[p];
    s.gone[p] = 1;
    unwait(p);
    release(p);
    --left;
  }
  void cut(int b) {
    triangles.insert(triangles.end(), {s.prev[b], b, s.next[b]});
    remove(b);
  }

  void unwait(int v) {
    const int on = s.waiting_on[v];
    if (on < 0)
      return;
    (s.wait_prev[v] >= 0 ? s.wait_next[s.wait_prev[v]] : s.wait_head[on]) = s.wait_next[v];
    if (s.wait_next[v] >= 0)
      s.wait_prev[s.wait_next[v]] = s.wait_prev[v];
    s.waiting_on[v] = -1;
  }
  void wait(int v, int on) {
    unwait(v);
    s.waiting_on[v] = on;
    s.wait_prev[v] = -1;
    s.wait_next[v] = s.wait_head[on];
    if (s.wait_head[on] >= 0)
      s.wait_prev[s.wait_head[on]] = v;
    s.wait_head[on] = v;
  }
  void enqueue(int v) {
    unwait(v);
    if (!s.gone[v])
      s.queue.push_back({v, ++s.stamp[v]});
  }
  // The corners that waited on r, once r is gone or no longer turns inwards.
  void release(int r) {
    if (!s.gone[r] && turn(r) <= 0)
      return;
    while (s.wait_head[r] >= 0)
      enqueue(s.wait_head[r]);
  }
  void enqueue_all(int start) {
    int p = start;
    do {
      enqueue(p);
      p = s.next[p];
    } while (p != start);
    work += 16 * long(left);
  }

  int tidy(int start);
  void build_grid(int start);
  int blocker(int a, int b, int c);
  int run(int start);
  int finish_quickly(int start);
};

// Takes out repeated corners and corners exactly in line with their
// neighbours (a spike's tip among them), a few laps at most: what is left
// then only slows the ears down. Answers a corner still in the ring, or -1
// when fewer than three are left.
int Ring::tidy(int start) {
  int p = start;
  for (int lap = 0; lap < 4 && left >= 3; ++lap) {
    bool removed = false;
    for (int k = 0, steps = left; k < steps && left >= 3; ++k) {
      const int back = s.prev[p], next = s.next[p];
      if (same(p, next) || cross(back, p, next) == 0) {
        remove(p);
        removed = true;
        p = back; // its own neighbour has changed
      } else {
        p = next;
      }
    }
    if (!removed)
      break;
  }
  return left >= 3 ? p : -1;
}

inline int cell_of(double t, double low, double scale, int cells) {
  const double at = (t - low) * scale;
  return at >= 0 ? static_cast<int>(std::min(at, double(cells - 1))) : 0;
}

// The corners that point inwards, sorted into a grid of square cells, about
// as many as there are of them. Only they can lie inside an ear; a corner
// that points outwards never turns inwards later, as ears are cut.
void Ring::build_grid(int start) {
  double x0 = s.x[start], x1 = x0, y0 = s.y[start], y1 = y0;
  int reflex = 0, p = start;
  do {
    x0 = std::min(x0, s.x[p]), x1 = std::max(x1, s.x[p]);
    y0 = std::min(y0, s.y[p]), y1 = std::max(y1, s.y[p]);
    reflex += turn(p) <= 0;
    p = s.next[p];
  } while (p != start);
  const double w = x1 - x0, h = y1 - y0, size = std::sqrt(w * h / std::max(reflex, 1));
  auto cells = [&](double extent) {
    const double n = size > 0 ? std::ceil(extent / size) : 1;
    return n >= 1 && n <= kMaxCells ? static_cast<int>(n) : n > kMaxCells ? kMaxCells : 1;
  };
  s.columns = cells(w);
  s.rows = cells(h);
  s.x0 = x0, s.y0 = y0;
  s.scale_x = w > 0 && std::isfinite(s.columns / w) ? s.columns / w : 0;
  s.scale_y = h > 0 && std::isfinite(s.rows / h) ? s.rows / h : 0;
  s.cell_start.assign(size_t(s.columns) * size_t(s.rows) + 1, 0);
  s.cell_items.resize(size_t(reflex));
  s.cell_x.resize(size_t(reflex));
  s.cell_y.resize(size_t(reflex));
  auto cell = [&](int q) {
    return size_t(cell_of(s.y[q], y0, s.scale_y, s.rows)) * size_t(s.columns) +
           size_t(cell_of(s.x[q], x0, s.scale_x, s.columns));
  };
  p = start;
  do {
    if (turn(p) <= 0)
      ++s.cell_start[cell(p) + 1];
    p = s.next[p];
  } while (p != start);
  for (size_t i = 1; i < s.cell_start.size(); ++i)
    s.cell_start[i] += s.cell_start[i - 1];
  s.cell_fill.assign(s.cell_start.begin(), s.cell_start.end() - 1);
  p = start;
  do {
    if (turn(p) <= 0) {
      const size_t at = size_t(s.cell_fill[cell(p)]++);
      s.cell_items[at] = p;
      s.cell_x[at] = s.x[p];
      s.cell_y[at] = s.y[p];
    }
    p = s.next[p];
  } while (p != start);
}

// The x range of the triangle's part between heights ya and yb: the ends of
// its edges cut to that band.
void band_range(const double x[3], const double y[3], double ya, double yb, double &lo, double &hi) {
  lo = HUGE_VAL, hi = -HUGE_VAL;
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const double low = std::max(std::min(y[i], y[j]), ya), high = std::min(std::max(y[i], y[j]), yb);
    if (low > high)
      continue;
    for (double at : {low, high}) {
      const double t = y[j] != y[i] ? (at - y[i]) / (y[j] - y[i]) : 0;
      const double xt = y[j] != y[i] ? x[i] + t * (x[j] - x[i]) : x[i];
      lo = std::min({lo, xt, y[j] != y[i] ? xt : std::min(x[i], x[j])});
      hi = std::max({hi, xt, y[j] != y[i] ? xt : std::max(x[i], x[j])});
    }
  }
}

// A corner turning inwards that lies inside the ear a, b, c or on its edges
// (one at a's place excepted: a seam passes through it twice), or -1. Only
// the cells that the triangle reaches into, row by row, are looked at.
int Ring::blocker(int a, int b, int c) {
  const double tx[3] = {s.x[a], s.x[b], s.x[c]}, ty[3] = {s.y[a], s.y[b], s.y[c]};
  const double tx0 = std::min({tx[0], tx[1], tx[2]}), tx1 = std::max({tx[0], tx[1], tx[2]});
  const double ty0 = std::min({ty[0], ty[1], ty[2]}), ty1 = std::max({ty[0], ty[1], ty[2]});
  // Bands and ranges a little wider than the cells: a corner on a cell's
  // edge is found whichever way its cell was rounded.
  const double row = s.scale_y > 0 ? 1 / s.scale_y : 0, slack = 1e-9 * (row + (tx1 - tx0));
  const int cy0 = cell_of(ty0, s.y0, s.scale_y, s.rows), cy1 = cell_of(ty1, s.y0, s.scale_y, s.rows);
  for (int cy = cy0; cy <= cy1 && !over(); ++cy) {
    double lo = tx0, hi = tx1;
    if (cy0 < cy1)
      band_range(tx, ty, s.y0 + cy * row - slack, s.y0 + (cy + 1) * row + slack, lo, hi);
    const int cx0 = cell_of(lo - slack, s.x0, s.scale_x, s.columns);
    const int cx1 = cell_of(hi + slack, s.x0, s.scale_x, s.columns);
    const size_t first = size_t(cy) * size_t(s.columns);
    work += 32 + cx1 - cx0 + s.cell_start[first + size_t(cx1) + 1] - s.cell_start[first + size_t(cx0)];
    for (int i = s.cell_start[first + size_t(cx0)]; i < s.cell_start[first + size_t(cx1) + 1]; ++i) {
      const double x = s.cell_x[size_t(i)], y = s.cell_y[size_t(i)];
      if (x < tx0 || x > tx1 || y < ty0 || y > ty1)
        continue;
      const int p = s.cell_items[size_t(i)];
      if (s.gone[p] || p == a || p == b || p == c || same(p, a))
        continue;
      if ((tx[1] - tx[0]) * (y - ty[0]) - (ty[1] - ty[0]) * (x - tx[0]) >= 0 &&
          (tx[2] - tx[1]) * (y - ty[1]) - (ty[2] - ty[1]) * (x - tx[1]) >= 0 &&
          (tx[0] - tx[2]) * (y - ty[2]) - (ty[0] - ty[2]) * (x - tx[2]) >= 0 && turn(p) <= 0)
        return p;
    }
  }
  return -1;
}

// Cuts ears until three corners are left or the budget is spent; answers a
// corner still in the ring, or -1 when fewer than three are left.
int Ring::run(int start) {
  s.queue.clear();
  enqueue_all(start);
  size_t head = 0;
  int any = start;
  bool tidied = false;
  while (left > 3 && !over()) {
    if (head == s.queue.size()) {
      // No corner can be an ear as things stand: tidy the ring once, then
      // cut a corner that points outwards (the polygon crosses itself).
      s.queue.clear();
      head = 0;
      if (!tidied) {
        tidied = true;
        if ((any = tidy(any)) < 0)
          return -1;
      } else {
        int p = any;
        for (int k = 0; k < 64 && turn(p) <= 0; ++k)
          p = s.next[p];
        p = turn(p) > 0 ? p : any;
        any = s.next[p];
        cut(p);
      }
      enqueue_all(any);
      continue;
    }
    if (head > 4096 && head > s.queue.size() / 2) {
      s.queue.erase(s.queue.begin(), s.queue.begin() + long(head));
      head = 0;
    }
    const auto [b, stamp] = s.queue[head++];
    if (s.gone[b] || stamp != s.stamp[b])
      continue;
    work += 16;
    const int a = s.prev[b], c = s.next[b];
    const double t = turn(b);
    if (t == 0 || same(b, c)) {
      remove(b); // in line with its neighbours (or a repeat): no area to cut
    } else if (t < 0) {
      continue; // back when a neighbour is cut
    } else {
      const int in_the_way = blocker(a, b, c);
      if (in_the_way >= 0) {
        wait(b, in_the_way);
        continue;
      }
      if (over())
        break;
      cut(b);
    }
    any = a;
    enqueue(a);
    enqueue(c);
    release(a);
    release(c);
  }
  return any;
}

// Past the budget: cuts the first corner that points outwards among the
// next few, or the one at hand, until three are left.
int Ring::finish_quickly(int p) {
  while (left > 3) {
    int q = p;
    for (int k = 0; k < 8 && turn(q) <= 0; ++k)
      q = s.next[q];
    p = turn(q) > 0 ? q : p;
    const int next = s.next[p];
    cut(p);
    p = next;
  }
  return p;
}

// Reads the corners into the plane; false when the polygon has no area, or
// so little against its size that its corners' rounding decides its shape.
bool load(Ring &ring, const float *position, size_t stride, int n) {
  int u, v;
  if (!pov_polygon_axes(position, stride, n, u, v))
    return false;
  PovSplitScratch &s = ring.s;
  s.x.resize(size_t(n));
  s.y.resize(size_t(n));
  s.prev.resize(size_t(n));
  s.next.resize(size_t(n));
  s.gone.assign(size_t(n), 0);
  s.stamp.assign(size_t(n), 0);
  s.waiting_on.assign(size_t(n), -1);
  s.wait_head.assign(size_t(n), -1);
  s.wait_next.resize(size_t(n));
  s.wait_prev.resize(size_t(n));
  double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
  for (int i = 0; i < n; ++i) {
    const float *p = pov_corner(position, stride, i);
    s.x[i] = p[u];
    s.y[i] = p[v];
    s.prev[i] = i > 0 ? i - 1 : n - 1;
    s.next[i] = i + 1 < n ? i + 1 : 0;
    x0 = std::min(x0, s.x[i]), x1 = std::max(x1, s.x[i]);
    y0 = std::min(y0, s.y[i]), y1 = std::max(y1, s.y[i]);
  }
  double area = 0;
  for (int i = 0, j = n - 1; i < n; j = i++)
    area += (s.x[j] - s.x[i]) * (s.y[j] + s.y[i]);
  const double size = (x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0);
  if (!(std::isfinite(area) && std::fabs(area) > kThinnest * size))
    return false;
  if (area < 0) // mirrored, so that the corners go round counter-clockwise
    for (double &y : s.y)
      y = -y;
  ring.left = n;
  return true;
}

} // namespace

int pov_split_polygon(const float *position, size_t stride, int n, PovSplitScratch *scratch,
                      std::vector<int> *triangles) {
  triangles->clear();
  if (pov_fan_covers(position, stride, n))
    return 0;
  Ring ring{*scratch, *triangles};
  ring.budget = 1024 * long(n) + 4000000;
  if (!load(ring, position, stride, n))
    return 0;
  int start = ring.tidy(0);
  if (start < 0)
    return 0;
  ring.build_grid(start);
  start = ring.run(start);
  if (start >= 0 && ring.left > 3)
    start = ring.finish_quickly(start);
  if (start >= 0 && ring.left == 3 && ring.turn(start) != 0)
    ring.cut(start);
  return int(triangles->size() / 3);
}
