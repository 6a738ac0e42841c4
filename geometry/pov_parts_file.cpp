// Parts: which include file a mesh object uses, the cache of parts met so
// far, and the lines that bring a part into the scene file once per file.
//
// Every include file declares the same generic names (OKU_MESH_i and
// OKU_OBJECT); the scene binds them to the part's own identifier right after
// including the file, so an include file does not depend on the scene.
#include "base/pov_print.h"
#include "base/pov_session.h"
#include "base/pov_text.h"
#include "geometry/pov_mesh_internal.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_set>

namespace {

// A file name plus ".inc" must stay a file name the host's 255-byte path
// buffers and the file system take whole.
const int kMaxFileName = 255 - 4;
// POV-Ray rejects identifiers longer than 255 characters; the scene adds
// "_" and a mesh number (at most 11 characters) to a part's identifier.
const int kMaxIdentifier = 255 - 11;

// Cuts text to at most max bytes without splitting a UTF-8 sequence.
void cut_text(char *text, int max) {
  int n = static_cast<int>(std::strlen(text));
  if (n <= max)
    return;
  text[pov_utf8_cut(text, static_cast<size_t>(max), 0)] = '\0';
}

// The module's counters only count up; past the largest int they start
// again at 1 rather than overflow into negative numbers.
int count_up(int counter) { return counter < INT_MAX ? counter + 1 : 1; }

bool is_identifier_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Base name of a mesh held by the object itself: its name and its id. The
// characters that the path functions would read as a directory or an
// extension are replaced, so that the id always stays part of the file
// name: "Part.A" and "Part.B" must not end up in one include file.
void name_with_id(_object *object, int id, char *out) {
  char digits[16];
  int length = snprintf(digits, sizeof digits, "%d", id);
  zal_narrow(out, obj_get_name(object));
  for (char *p = out; *p; ++p)
    if (*p == '.' || *p == '/' || *p == '\\')
      *p = '_';
  cut_text(out, kMaxFileName - length);
  std::strcat(out, digits);
}

// The base names that objects holding an id already give (the session's
// held_names), so that an id handed out never makes a second object's
// include file name ("Knob" with id 1 and a "Knob" without one must not
// share Knob1.inc). Gathered once per scene write, when the first object
// without an id is met.
void note_held_names(std::unordered_set<std::string> &held_names, _object *node) {
  if (!node)
    return;
  if (int id = obj_get_id(node)) {
    char name[ZAL_NAME_SIZE];
    name_with_id(node, id, name);
    held_names.insert(name);
  }
  if (LIST *children = obj_get_children(node)) {
    LIST_ITER it(children);
    while (it.next())
      note_held_names(held_names, static_cast<_object *>(it.getdata()));
  }
}

// An object without an id gets one from this module, which stays on it.
void object_base_name(PovSession &session, _object *object, char *out) {
  int id = obj_get_id(object);
  if (id != 0) {
    name_with_id(object, id, out);
    return;
  }
  if (!session.held_names_known) {
    note_held_names(session.held_names, db_get_root());
    session.held_names_known = true;
  }
  do {
    id = session.next_object_id;
    session.next_object_id = count_up(session.next_object_id);
    name_with_id(object, id, out);
  } while (session.held_names.count(out));
  obj_set_id(object, id);
  session.held_names.insert(out);
}

int is_parametric(_object *object) {
  ASSOC *vars = obj_get_vars(object);
  return vars && vars->getvalue("_GEOM_PARAMS") != nullptr;
}

// The include file's path: the file name with "inc", in the scene file's
// directory. Composed here when the host's 255-byte path buffer cannot hold
// it, so that a deep scene directory never cuts the name.
std::string include_path(const char *scene_path, const char *file_name) {
  const char *scene = scene_path ? scene_path : "";
  size_t dir = 0;
  for (size_t i = 0; scene[i]; ++i)
    if (scene[i] == '/' || scene[i] == '\\')
      dir = i + 1;
  std::string path(scene, dir);
  path.append(file_name).append(".inc");
  if (path.size() < ZAL_NAME_SIZE) {
    char buffer[ZAL_NAME_SIZE];
    path = pathname_set(buffer, scene, file_name, nullptr, "inc");
  }
  return path;
}

PartRecord *record_part(PovSession &session, const char *name, const char *path, _geometry *entry) {
  char *identifier = static_cast<char *>(std::malloc(std::strlen(name) + 21));
  if (!identifier)
    return nullptr;
  pov_make_part_name(session, name, identifier);
  PartRecord *record = pov_new_part_record(identifier);
  std::free(identifier);
  if (!record)
    return nullptr;
  session.module->release_part = pov_release_part;
  try {
    session.module->parts_cache.add(path, record);
  } catch (...) {
    pov_release_part(record);
    return nullptr;
  }
  // A failed include file is reported and fails the save; nothing is
  // written beside a scene file that is not a regular file. Only the file's
  // name is examined when nothing may be replaced: a pipe there is never
  // opened.
  std::error_code error;
  bool write = session.parts_mode == kPartsWriteMissing
                   ? !std::filesystem::exists(std::filesystem::symlink_status(path, error))
                   : session.parts_mode != 0;
  if (write && session.derived_files) {
    pov_write_part_file(session, entry->handle(), path, record);
  } else {
    pov_collect_part_colours(entry->handle(), record);
    if (session.pov_language == kPovLanguage37)
      pov_note_corner_data(entry->handle(), record);
  }
  return record;
}

void write_declarations(FILE *file, int depth, const char *file_name, PartRecord *record, int language) {
  char include[ZAL_NAME_SIZE], identifier[ZAL_NAME_SIZE];
  pathname_add_ext(include, file_name, "inc");
  zal_narrow(identifier, record->name);
  pov_printf(file, depth, "#include \"%s\"\n", include);
  pov_printf(file, depth, "#declare %s = OKU_OBJECT\n", identifier);
  // A 3.7 part is one mesh whatever its colours.
  int count = record->colours && language != kPovLanguage37 ? record->colours->count() : 0;
  if (count > 1)
    for (int i = 0; i < count; ++i)
      pov_printf(file, depth, "#declare %s_%d = OKU_MESH_%d\n", identifier, i, i);
  record->written = 1;
}

} // namespace

void pov_part_base_name(_geometry *geometry, char *out) {
  char buffer[ZAL_NAME_SIZE] = "";
  const _part_info &part = geometry->part();
  const char *type = part.type();
  if (type && *type) {
    LoaderFactory *factory = loader_get_factory(type);
    PartNamer *namer = factory ? factory->part_namer() : nullptr;
    if (namer) {
      namer->name_part(part.name(), part.params(), ZAL_NAME_SIZE, buffer);
      buffer[ZAL_NAME_SIZE - 1] = '\0';
    }
  }
  if (!buffer[0])
    pathname_get_simple(geometry->part_name(), buffer);
  zal_strcpy(out, buffer);
}

char *pov_make_part_name(PovSession &session, const char *name, char *out) {
  char number[16];
  int digits = snprintf(number, sizeof number, "_%d", session.next_part_number);
  session.next_part_number = count_up(session.next_part_number);
  int n = 4;
  std::memcpy(out, "oku_", 4);
  for (const char *p = name ? name : ""; *p && n + digits < kMaxIdentifier; ++p)
    if (is_identifier_char(*p))
      out[n++] = *p;
  std::memcpy(out + n, number, static_cast<size_t>(digits) + 1);
  return out;
}

namespace {

PartRecord *declare_part(PovSession &session, FILE *file, int depth, _object *object) {
  if (!object || obj_get_type(object) != OBJECT_TYPE_GEOMETRY)
    return nullptr;
  LIST *geometries = obj_get_geolist(object);
  if (!geometries)
    return nullptr;
  LIST_ITER it(geometries);
  _geometry *entry = it.first() ? static_cast<_geometry *>(it.getdata()) : nullptr;
  if (!entry)
    return nullptr;

  char base[ZAL_NAME_SIZE] = "";
  if (entry->part_name())
    pov_part_base_name(entry, base);
  else if (!is_parametric(object))
    object_base_name(session, object, base);
  if (!base[0])
    return nullptr;

  // The file name is written inside a quoted "#include" line: characters
  // that would end or escape the string are replaced, on disk as in the line.
  char name[ZAL_NAME_SIZE], file_name[ZAL_NAME_SIZE];
  split_path(base, nullptr, name, nullptr);
  // A label that is all directory or extension ("Rack/", ".v2") leaves no
  // name; an include file ".inc" would then be shared by every such part,
  // each drawn with the first one's mesh. The object's own name and id
  // name it instead.
  if (!name[0]) {
    object_base_name(session, object, base);
    split_path(base, nullptr, name, nullptr);
  }
  cut_text(name, kMaxFileName);
  pov_safe_file_name(std::strcpy(file_name, name));

  std::string path = include_path(session.scene_path, file_name);
  PartRecord *record = static_cast<PartRecord *>(session.module->parts_cache.getvalue(path.c_str()));
  if (!record)
    record = record_part(session, name, path.c_str(), entry);
  // A 3.7 part with colours of its own takes the object's surface from
  // the declarations before its include line when its file is read: it is
  // included again for every object, after that object's declarations.
  if (record && record->own_colours && session.pov_language == kPovLanguage37) {
    if (session.write_part_texture)
      session.write_part_texture(session, file, depth, object, record->has_uv);
    record->written = 0;
  }
  if (record && !record->written)
    write_declarations(file, depth, file_name, record, session.pov_language);
  return record;
}

} // namespace

PartRecord *pov_declare_part(PovSession &session, FILE *file, int depth, _object *object) {
  try {
    return declare_part(session, file, depth, object);
  } catch (...) {
    return nullptr; // out of memory: the object is written without its part
  }
}
