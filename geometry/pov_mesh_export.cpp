// A part's include file: one mesh per distinct polygon colour, in the order
// in which the colours first occur, then OKU_OBJECT for the whole part.
//
// The text is what one pass over the polygons per colour would give, but the
// polygons are read once to sort them into colours and once more to write
// them, whatever the number of colours. Sorting keeps runs of neighbouring
// polygons of one colour (a cursor and a count each), which is little memory
// for meshes grouped by material and one entry per polygon at worst. The
// file is written as it goes, a large block of text at a time.
#include "base/pov_file_check.h"
#include "base/pov_file_out.h"
#include "base/pov_text.h"
#include "geometry/pov_mesh_internal.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct PolygonRun {
  VYpolygon start; // cursor on the run's first polygon
  long count;
  int next; // the colour's next run, -1 at the end
};

struct MeshRuns {
  std::vector<PolygonRun> runs;
  std::vector<int> first, last; // per mesh number: its first and last run
  std::vector<char> has_triangle;
  long polygons = 0;

  void add_mesh() {
    first.push_back(-1);
    last.push_back(-1);
    has_triangle.push_back(0);
  }
};

// Collects the colours into the record and sorts the polygons into runs per
// mesh number; notes which meshes get at least one triangle that the
// renderer keeps. Answers 0 when memory ran out.
int sort_polygons(VYobject *mesh, PartRecord *record, MeshRuns &sorted) {
  while (sorted.first.size() < static_cast<size_t>(record->colours->count()))
    sorted.add_mesh();
  VYpolygon cursor;
  VYpolygon_initpoly(cursor, mesh);
  int current = -1; // mesh number of the open run
  ZAL_COLOR last{0, 0, 0};
  while (VYpolygon_nextpoly(cursor, cursor)) {
    ++sorted.polygons;
    ZAL_COLOR colour;
    VYpolygon_getcolor(cursor, colour.r, colour.g, colour.b);
    if (current >= 0 && std::memcmp(&colour, &last, sizeof colour) == 0) {
      ++sorted.runs.back().count;
    } else {
      int number = pov_colour_mesh_number(record, colour);
      if (number < 0)
        return 0;
      while (sorted.first.size() <= static_cast<size_t>(number))
        sorted.add_mesh();
      int run = static_cast<int>(sorted.runs.size());
      sorted.runs.push_back(PolygonRun{cursor, 1, -1});
      if (sorted.last[number] >= 0)
        sorted.runs[sorted.last[number]].next = run;
      else
        sorted.first[number] = run;
      sorted.last[number] = run;
      current = number;
      last = colour;
    }
    // Usually the first polygon of a colour settles this.
    if (!sorted.has_triangle[current] && pov_polygon_has_triangle(cursor))
      sorted.has_triangle[current] = 1;
  }
  return 1;
}

// A line made of a text, a number and a text ("#declare OKU_MESH_", 3,
// " = mesh {\n"): a part of thousands of colours has thousands of them.
void write_numbered(PovTextOut *out, const char *head, int number, const char *tail) {
  const size_t head_length = std::strlen(head), tail_length = std::strlen(tail);
  char *at = pov_text_out_reserve(out, head_length + 16 + tail_length);
  std::memcpy(at, head, head_length);
  at = std::to_chars(at + head_length, at + head_length + 16, number).ptr;
  std::memcpy(at, tail, tail_length);
  pov_text_out_commit(out, at + tail_length);
}

int write_mesh(PovTextOut *out, int number, const MeshRuns &sorted, PovPolygonScratch *scratch) {
  if (!sorted.has_triangle[number]) {
    // A mesh without triangles stops POV-Ray's whole render; an empty union
    // keeps the mesh number and its declarations and draws nothing.
    write_numbered(out, "#declare OKU_MESH_", number, " = union {\n}\n");
    return 1;
  }
  write_numbered(out, "#declare OKU_MESH_", number, " = mesh {\n");
  for (int run = sorted.first[number]; run >= 0; run = sorted.runs[run].next) {
    VYpolygon cursor = sorted.runs[run].start;
    for (long i = 0; i < sorted.runs[run].count; ++i) {
      if (i > 0 && !VYpolygon_nextpoly(cursor, cursor))
        break;
      if (!pov_write_polygon_with(out, cursor, scratch))
        return 0;
    }
  }
  pov_polygon_flush(out, scratch);
  pov_text_out_write(out, "}\n", 2);
  return 1;
}

void write_object(PovTextOut *out, int count) {
  if (count == 1) {
    pov_text_out_printf(out, "#declare OKU_OBJECT = object {OKU_MESH_0}\n");
    return;
  }
  pov_text_out_printf(out, "#declare OKU_OBJECT = union {\n");
  for (int j = 0; j < count; ++j)
    write_numbered(out, "  object {OKU_MESH_", j, "}\n");
  pov_text_out_write(out, "}\n", 2);
}

int write_contents(PovTextOut *out, VYobject *mesh, PartRecord *record) {
  MeshRuns sorted;
  PovPolygonScratch *scratch = nullptr;
  int ok = 1;
  try {
    // A missing mesh is written as a part without polygons: an empty file
    // would leave OKU_OBJECT undefined, or still bound to the part included
    // before it, which would then be drawn in this part's place.
    if (mesh)
      ok = sort_polygons(mesh, record, sorted);
    scratch = ok ? pov_polygon_scratch_new(sorted.polygons) : nullptr;
    ok = scratch != nullptr;
    char name[ZAL_NAME_SIZE];
    zal_narrow(name, record->name);
    pov_text_out_printf(out, "/* Object %s */\n", name);
    int count = record->colours->count();
    while (ok && sorted.first.size() < static_cast<size_t>(count))
      sorted.add_mesh();
    for (int i = 0; ok && i < count; ++i)
      ok = write_mesh(out, i, sorted, scratch);
    if (ok)
      write_object(out, count);
  } catch (...) {
    ok = 0;
  }
  pov_polygon_scratch_free(scratch);
  return ok;
}

} // namespace

// The file is written whole under a temporary name and put in place with
// the scene file that includes it (pov_file_out.h). A file that must not be
// written, or cannot be, is reported by name and fails the scene write.
int pov_write_part_file(PovSession &session, VYobject *mesh, const char *path, PartRecord *record) {
  if (!path || !record || !record->colours)
    return 0;
  PovFileCheck *check = &session.check;
  if (const char *refusal = pov_file_refusal(check, path, 1)) {
    pov_file_report(check, path, refusal);
    return 0;
  }
  PovFileOut file;
  if (!pov_file_open_derived(&file, path)) {
    pov_file_report(check, path, std::strerror(errno));
    return 0;
  }
  PovTextOut out;
  int ok = pov_text_out_open(&out, file.file, nullptr, 0);
  if (ok) {
    ok = session.pov_language == kPovLanguage37 ? pov_write_mesh2_contents(&out, mesh, record)
                                                : write_contents(&out, mesh, record);
    pov_text_out_close(&out);
  }
  ok = pov_file_close(&file) && ok;
  if (!ok) {
    pov_file_report(check, path, "error writing the file");
    pov_file_discard(&file);
    return 0;
  }
  // The preview deletes only include files that this module created.
  if (!pov_file_stage(&session.module->files, &file, &record->wrote_file)) {
    pov_file_report(check, path, std::strerror(errno));
    return 0;
  }
  return 1;
}
