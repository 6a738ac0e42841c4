// The distinct colours of a part and the record that holds them.
//
// A part's colour list gives each colour its mesh number. Meshes with
// thousands of colours are normal, so the list is backed by a hash index
// from colour to mesh number instead of being searched from the front for
// every polygon. The index agrees with float equality: -0 and +0 are one
// colour, and any colour that differs in a bit of a component is another.
#include "base/pov_file_out.h"
#include "geometry/pov_mesh_internal.h"
#include "win32.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct PartColourIndex {
  struct Slot {
    uint32_t key[3];
    int mesh; // -1: empty slot
  };
  std::vector<Slot> slots; // power-of-two size, at most half full
  size_t used = 0;
  int listed = 0; // entries of the colour list that the index has taken in
};

namespace {

// The bits that float equality compares: both zeros become +0, and every NaN
// one quiet NaN, so that a polygon of a NaN colour still finds its mesh.
uint32_t key_bits(float v) {
  if (v == 0.0f)
    return 0;
  if (std::isnan(v))
    return 0x7fc00000u;
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

void make_key(const ZAL_COLOR &colour, uint32_t key[3]) {
  key[0] = key_bits(colour.r);
  key[1] = key_bits(colour.g);
  key[2] = key_bits(colour.b);
}

size_t hash_key(const uint32_t key[3]) {
  uint64_t h = key[0];
  h = h * 0x9e3779b97f4a7c15ull ^ key[1];
  h = h * 0x9e3779b97f4a7c15ull ^ key[2];
  h ^= h >> 31;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 29;
  return static_cast<size_t>(h);
}

PartColourIndex::Slot *find_slot(PartColourIndex *index, const uint32_t key[3]) {
  size_t mask = index->slots.size() - 1;
  for (size_t i = hash_key(key) & mask;; i = (i + 1) & mask) {
    PartColourIndex::Slot &slot = index->slots[i];
    if (slot.mesh < 0 || std::memcmp(slot.key, key, sizeof slot.key) == 0)
      return &slot;
  }
}

void grow(PartColourIndex *index) {
  std::vector<PartColourIndex::Slot> old;
  old.swap(index->slots);
  index->slots.assign(old.empty() ? 16 : old.size() * 2, PartColourIndex::Slot{{0, 0, 0}, -1});
  for (const PartColourIndex::Slot &slot : old)
    if (slot.mesh >= 0)
      *find_slot(index, slot.key) = slot;
}

// Takes in list entries that the index has not seen. The first of equal
// colours keeps its position, as a search of the list would find it.
void catch_up(PartColourIndex *index, LIST *colours) {
  if (colours->count() < index->listed) { // entries were removed: start over
    index->slots.clear();
    index->used = 0;
    index->listed = 0;
  }
  for (; index->listed < colours->count(); ++index->listed) {
    const ZAL_COLOR *colour = static_cast<const ZAL_COLOR *>(colours->get(index->listed + 1));
    if (!colour)
      continue;
    if ((index->used + 1) * 2 > index->slots.size())
      grow(index);
    uint32_t key[3];
    make_key(*colour, key);
    PartColourIndex::Slot *slot = find_slot(index, key);
    if (slot->mesh < 0) {
      std::memcpy(slot->key, key, sizeof key);
      slot->mesh = index->listed;
      ++index->used;
    }
  }
}

} // namespace

int pov_compare_colour(const void *a, const void *b) {
  const ZAL_COLOR *x = static_cast<const ZAL_COLOR *>(a);
  const ZAL_COLOR *y = static_cast<const ZAL_COLOR *>(b);
  const float xs[3] = {x->r, x->g, x->b};
  const float ys[3] = {y->r, y->g, y->b};
  for (int i = 0; i < 3; ++i) {
    if (xs[i] < ys[i])
      return -1;
    if (xs[i] > ys[i])
      return 1;
  }
  return 0;
}

int pov_colour_mesh_number(PartRecord *record, const ZAL_COLOR &colour) {
  if (!record || !record->colours)
    return -1;
  try {
    if (!record->index)
      record->index = new PartColourIndex;
    PartColourIndex *index = record->index;
    catch_up(index, record->colours);
    if ((index->used + 1) * 2 > index->slots.size())
      grow(index);
    uint32_t key[3];
    make_key(colour, key);
    PartColourIndex::Slot *slot = find_slot(index, key);
    if (slot->mesh >= 0)
      return slot->mesh;
    ZAL_COLOR *copy = static_cast<ZAL_COLOR *>(std::malloc(sizeof(ZAL_COLOR)));
    if (!copy)
      return -1;
    *copy = colour;
    record->colours->append(copy);
    std::memcpy(slot->key, key, sizeof key);
    slot->mesh = index->listed++;
    ++index->used;
    return slot->mesh;
  } catch (...) {
    return -1;
  }
}

void pov_add_colour(PartRecord *record, const ZAL_COLOR *colour) {
  if (colour)
    pov_colour_mesh_number(record, *colour);
}

void pov_collect_part_colours(VYobject *mesh, PartRecord *record) {
  if (!mesh || !record)
    return;
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh);
  ZAL_COLOR last{0, 0, 0};
  bool have_last = false;
  while (VYpolygon_nextpoly(cursor, cursor)) {
    ZAL_COLOR colour;
    VYpolygon_getcolor(cursor, colour.r, colour.g, colour.b);
    // Neighbouring polygons mostly share their colour: skip the lookup then.
    if (have_last && std::memcmp(&colour, &last, sizeof colour) == 0)
      continue;
    if (pov_colour_mesh_number(record, colour) < 0)
      return;
    last = colour;
    have_last = true;
  }
}

PartRecord *pov_new_part_record(const char *name) {
  PartRecord *record = static_cast<PartRecord *>(std::calloc(1, sizeof(PartRecord)));
  if (!record)
    return nullptr;
  size_t length = std::strlen(name ? name : "");
  record->name = static_cast<char *>(std::malloc(length + 1));
  record->colours = new (std::nothrow) LIST;
  if (!record->name || !record->colours) {
    pov_release_part(record);
    return nullptr;
  }
  std::memcpy(record->name, name ? name : "", length + 1);
  return record;
}

void pov_release_part(void *value) {
  PartRecord *record = static_cast<PartRecord *>(value);
  if (!record)
    return;
  std::free(record->name);
  if (record->colours) {
    for (int i = 1; i <= record->colours->count(); ++i)
      std::free(record->colours->get(i));
    delete record->colours;
  }
  delete record->index;
  std::free(record);
}

void pov_parts_clear(PovModuleState *state, int delete_files) {
  ASSOC &parts_cache = state->parts_cache;
  for (int i = 1; delete_files && i <= parts_cache.count(); ++i) {
    const PartRecord *record = static_cast<const PartRecord *>(parts_cache.getvalue(i));
    if (record && record->wrote_file) {
      _unlink(parts_cache.getkey(i));
      pov_file_disown(&state->files, parts_cache.getkey(i));
    }
  }
  parts_cache.clear(pov_release_part);
}
