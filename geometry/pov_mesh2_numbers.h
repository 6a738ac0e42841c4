// How the mesh2 writer numbers the vectors it lists: the host's positions and
// normals by their own index, through a plain array, and the values the host
// gives no index for (texture coordinates, colours, normals worked out from a
// triangle) by the bits of their floats, in a hash index.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <vector>

// Vectors of up to three floats, numbered from 0 in the order they are met;
// values[3 * k ...] is vector k. A vector is either appended under a new
// number or looked up by value (only those looked up are compared).
// Every call that adds may throw std::bad_alloc.
struct PovVectorIndex {
  struct Slot {
    uint32_t key[3];
    int32_t number; // -1: empty
  };
  std::vector<float> values;
  int32_t count = 0;
  std::vector<Slot> slots; // power-of-two size, at most half full
  size_t in_table = 0;
  // A small direct-mapped cache of vectors met lately in front of the
  // table: neighbouring corners mostly share their values, and the table is
  // far larger than the processor's caches.
  static const int kRecentBits = 14;
  std::vector<Slot> recent;

  int32_t append(const float v[3]) {
    values.push_back(v[0]);
    values.push_back(v[1]);
    values.push_back(v[2]);
    return count++;
  }

  int32_t number(const float v[3]) {
    uint32_t key[3];
    std::memcpy(key, v, sizeof key);
    if (recent.empty())
      recent.assign(size_t(1) << kRecentBits, Slot{{0, 0, 0}, -1});
    Slot &near = recent[hash(key) >> (8 * sizeof(size_t) - kRecentBits)];
    if (near.number >= 0 && std::memcmp(near.key, key, sizeof key) == 0)
      return near.number;
    near = Slot{{key[0], key[1], key[2]}, number_in_table(v, key)};
    return near.number;
  }

  static size_t hash(const uint32_t k[3]) {
    uint64_t h = k[0] * 0x9e3779b97f4a7c15ull + k[1] * 0xc2b2ae3d27d4eb4full + k[2] * 0x165667b19e3779f9ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return static_cast<size_t>(h ^ (h >> 32));
  }
  Slot &find(const uint32_t key[3]) {
    const size_t mask = slots.size() - 1;
    for (size_t i = hash(key) & mask;; i = (i + 1) & mask)
      if (slots[i].number < 0 || std::memcmp(slots[i].key, key, sizeof slots[i].key) == 0)
        return slots[i];
  }
  void grow() {
    std::vector<Slot> old;
    old.swap(slots);
    slots.assign(old.empty() ? 1024 : old.size() * 2, Slot{{0, 0, 0}, -1});
    for (const Slot &slot : old)
      if (slot.number >= 0)
        find(slot.key) = slot;
  }
  int32_t number_in_table(const float v[3], const uint32_t key[3]) {
    if ((in_table + 1) * 2 > slots.size())
      grow();
    Slot &slot = find(key);
    if (slot.number < 0) {
      std::memcpy(slot.key, key, sizeof slot.key);
      slot.number = append(v);
      ++in_table;
    }
    return slot.number;
  }
};

// The host's own vectors (an array of `count`) listed in the order the
// polygons first use them: vectors no polygon uses are left out. A host
// that shares its vectors between polygons (fewer than one for every two
// corners) is taken at its word: its corners find their numbers in a plain
// array. One that mostly gives every corner a vector of its own (a file of
// separate triangles, such as STL) has each looked up by value once, when
// first met, so that equal ones share a number.
struct PovHostVectors {
  const float *values = nullptr;
  long count = 0;
  bool by_value = false;
  // Normals: a zero or not finite vector gives no direction (POV-Ray would
  // turn a zero one to <1, 0, 0>), so it is taken as none.
  bool directions = false;
  std::vector<int32_t> number; // per host vector: its number, -1 until met, -2 none

  void open(const float *array, long n, size_t corners, bool are_directions) {
    values = n > 0 ? array : nullptr;
    count = values ? n : 0;
    by_value = size_t(count) * 2 > corners;
    directions = are_directions;
    number.assign(size_t(count), -1);
  }
  // The number of host vector `index` in `index_out`; -1 for an index the
  // array does not hold (or a normal that is none).
  int32_t number_of(int32_t index, PovVectorIndex &index_out) {
    if (index < 0 || index >= count)
      return -1;
    int32_t &n = number[size_t(index)];
    if (n == -1) {
      const float *v = values + 3 * size_t(index);
      if (directions && !is_direction(v))
        n = -2;
      else
        n = by_value ? index_out.number(v) : index_out.append(v);
    }
    return n < 0 ? -1 : n;
  }
  static bool is_direction(const float v[3]) {
    const float length = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    return length > 0 && length <= FLT_MAX; // false for NaN too
  }
};

// Numbers beside the position numbers (three per triangle), kept only once
// they are neither all `default_number` nor all equal to the position
// numbers: a mesh with a normal for each position keeps no column.
struct PovColumn {
  std::vector<int32_t> numbers; // once kept: one per corner of the face list
  int32_t default_number;
  bool all_face; // all so far equal to the face's numbers (never for colours)
  bool all_default = true, kept = false;

  // The number of the corner face[at] (already in the face list).
  void push(int32_t n, const std::vector<int32_t> &face, size_t at) {
    if (!kept) {
      const bool same_default = all_default && n == default_number, same_face = all_face && n == face[at];
      if (same_default || same_face) {
        all_default = same_default;
        all_face = same_face;
        return;
      }
      numbers.reserve(face.capacity());
      if (all_face)
        numbers.assign(face.begin(), face.begin() + long(at));
      else
        numbers.assign(at, default_number);
      all_default = all_face = false;
      kept = true;
    }
    numbers.push_back(n);
  }
  // Whether pushing n beside face number f would leave the column as it is:
  // nothing kept yet and one rule left that n follows.
  bool holds(int32_t n, int32_t f) const {
    return !kept && all_face != all_default && n == (all_face ? f : default_number);
  }
  // Whether the column says more than the face list does.
  bool differs(const std::vector<int32_t> &face) const { return kept && numbers != face; }
  // All numbers, written out when the column kept none.
  const std::vector<int32_t> &all(const std::vector<int32_t> &face) {
    if (!kept)
      numbers = all_face ? face : std::vector<int32_t>(face.size(), default_number);
    kept = true;
    return numbers;
  }
};

// A part's mesh as numbered, for pov_write_mesh2_text: the lists of
// vectors and, per triangle, three numbers into each. A column that is the
// face list itself (the same vector) numbers its vectors as the positions
// are numbered; normals, uvs and colours are null when the mesh has none.
struct PovMesh2 {
  const PovVectorIndex *positions = nullptr, *normals = nullptr, *uvs = nullptr, *colours = nullptr;
  const std::vector<int32_t> *face = nullptr, *normal = nullptr, *uv = nullptr, *texture = nullptr;
};

struct PovTextOut;
// The mesh's text from "#declare OKU_MESH_0 =": one mesh2, or for a big
// mesh a union of mesh2 pieces. Needs at least one triangle POV-Ray keeps.
// May throw std::bad_alloc.
void pov_write_mesh2_text(PovTextOut *out, const PovMesh2 &mesh);
