// The texture record: filling it from a host object, the derived Targa file
// name, comparison, and finding or making its Targa file.
#include "base/pov_file_check.h"
#include "base/pov_file_out.h"
#include "base/pov_text.h"
#include "texture/pov_texture_internal.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// The stem must leave room for ".tga" within the 255 characters of a name.
const int kMaxStem = ZAL_NAME_SIZE - 1 - 4;

const char *text_or_empty(const char *s) { return s ? s : ""; }

// Integer part of v, toward zero; NaN gives 0 and huge values are clamped, so
// that odd host values never reach an undefined conversion.
int truncate_to_int(double v) {
  if (!(v == v))
    return 0;
  if (v >= 2147483647.0)
    return 2147483647;
  if (v <= -2147483648.0)
    return -2147483647 - 1;
  return static_cast<int>(v);
}

// Appends printf output to the stem, never past its buffer.
void append(char *stem, size_t size, const char *format, ...) __attribute__((format(printf, 3, 4)));
void append(char *stem, size_t size, const char *format, ...) {
  size_t used = strlen(stem);
  if (used + 1 >= size)
    return;
  va_list args;
  va_start(args, format);
  vsnprintf(stem + used, size - used, format, args);
  va_end(args);
}

// Appends `letter`, then each of the n numbers as "%4g" would write it (the
// one number formatter's text, right-aligned in four columns).
void append_numbers(char *stem, size_t size, char letter, int n, double a, double b = 0) {
  char text[2][32];
  pov_format_g(text[0], a);
  pov_format_g(text[1], b);
  if (n == 1)
    append(stem, size, "%c%4s", letter, text[0]);
  else
    append(stem, size, "%c%4s%4s", letter, text[0], text[1]);
}

// A stem too long for a file name keeps its start and gets a hash of the
// whole stem in place of the rest, so that two long names that differ only
// near their ends still name two different files.
void shorten_stem(char *stem) {
  size_t length = strlen(stem);
  if (length <= static_cast<size_t>(kMaxStem))
    return;
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < length; i++)
    hash = (hash ^ static_cast<unsigned char>(stem[i])) * 1099511628211ull;
  // Never below the "oku_" prefix.
  size_t keep = pov_utf8_cut(stem, kMaxStem - 17, 4);
  snprintf(stem + keep, 18, "~%016llx", static_cast<unsigned long long>(hash));
}

void append_suffixes(const TextureRecord *r, char *stem, size_t size) {
  if (r->opacity != 1.0f)
    append(stem, size, "_%02d", truncate_to_int(static_cast<double>(r->opacity) * 100 + 0.5));
  if (r->method == 0)
    return;
  if (r->method == 2)
    append(stem, size, "_s");
  else if (r->method == 1)
    append(stem, size, "_c");
  if (r->type == 1) {
    append(stem, size, "d");
    if (r->color.r != -1.0f)
      append(stem, size, "%02x%02x%02x",
             static_cast<unsigned>(truncate_to_int(static_cast<double>(r->color.r) * 255 + 0.5)),
             static_cast<unsigned>(truncate_to_int(static_cast<double>(r->color.g) * 255 + 0.5)),
             static_cast<unsigned>(truncate_to_int(static_cast<double>(r->color.b) * 255 + 0.5)));
  }
  if (r->scale.x != 1.0f || r->scale.y != 1.0f)
    append_numbers(stem, size, 'k', 2, r->scale.x, r->scale.y);
  if (r->position.x != 0.0f || r->position.y != 0.0f)
    append_numbers(stem, size, 'p', 2, r->position.x, r->position.y);
  if (r->angle != 0.0f)
    append_numbers(stem, size, 'a', 1, r->angle);
}

} // namespace

TextureRecord *texture_record_new() {
  TextureRecord *record = new (std::nothrow) TextureRecord();
  if (record) {
    record->width = 1;
    record->height = 1;
  }
  return record;
}

void texture_record_free(TextureRecord *record) {
  if (!record)
    return;
  delete[] record->texture_name;
  delete[] record->file_name;
  delete record;
}

TextureRecord *TextureRecord::fill(_object *object, float inherited_opacity) {
  texture_name = nullptr;
  file_name = nullptr;
  if (!object)
    return this;
  const char *name = obj_get_texturename(object);
  if (!name)
    return this;
  texture_name = new (std::nothrow) char[zal_strlen(name) + 1];
  if (!texture_name)
    return this;
  zal_strcpy(texture_name, name);
  scene_root = obj_get_type(object) == OBJECT_TYPE_ROOT ? 1 : 0;
  opacity = obj_get_transparency(object) * inherited_opacity;
  method = obj_get_texturemethod(object);
  type = obj_get_texturetype(object);
  obj_get_color(object, color);
  obj_get_texturescale(object, scale);
  obj_get_texturepos(object, position);
  angle = obj_get_textureangle(object);
  // Laid on by texture coordinates, the image is converted as it is: its
  // scale, turn and shift move the coordinates in the scene text.
  if (obj_get_texturemapping(object) == 1 && !scene_root)
    method = 0, scale = {1, 1}, position = {0, 0}, angle = 0;
  return this;
}

void TextureRecord::derive_file_name() {
  if (!texture_name || file_name)
    return;
  char *name = new (std::nothrow) char[ZAL_NAME_SIZE];
  if (!name)
    return;
  // The simple name may be up to 255 characters and the suffixes add a few
  // dozen; the stem is composed in a larger buffer and shortened afterwards.
  char stem[ZAL_NAME_SIZE * 2];
  char simple[ZAL_NAME_SIZE];
  pathname_get_simple(texture_name, simple);
  snprintf(stem, sizeof stem, "oku_%s", simple);
  if (!scene_root)
    append_suffixes(this, stem, sizeof stem);
  // The name goes into the scene inside tga "...": characters that would end
  // or escape that string are mapped here, once, so disk and scene agree.
  pov_safe_file_name(stem);
  shorten_stem(stem);
  pathname_set(name, stem, nullptr, nullptr, "tga");
  file_name = name;
}

int TextureRecord::compare(TextureRecord *other) {
  int c = zal_stricmp(text_or_empty(texture_name), text_or_empty(other->texture_name));
  if (c != 0)
    return c;
  other->derive_file_name();
  derive_file_name();
  return zal_stricmp(text_or_empty(file_name), text_or_empty(other->file_name));
}

void TextureRecord::read_targa_size(const char *path) {
  if (!path) {
    derive_file_name();
    path = file_name;
  }
  FILE *file = path ? fopen(path, "rb") : nullptr;
  if (!file)
    return;
  unsigned char header[21];
  size_t got = fread(header, 1, sizeof header, file);
  fclose(file);
  if (got < 16)
    return; // too short to be a Targa image: keep the size we had
  int w = header[12] + 256 * header[13];
  int h = header[14] + 256 * header[15];
  if (w > 0 && h > 0) {
    width = w;
    height = h;
  }
}

int TextureRecord::ensure_file(PovSession &session) {
  derive_file_name();
  if (!file_name)
    return 0;
  // Something other than a file at the name is refused before it is opened:
  // a FIFO would never answer, and a directory or device is no picture. A
  // symbolic link is not followed: it is replaced by a new conversion.
  // A file that this scene write converted already is found where it is
  // staged.
  const char *staged = pov_file_staged(&session.module->files, file_name);
  const char *found = staged ? staged : file_name;
  struct stat info;
  const bool exists = lstat(found, &info) == 0;
  if (exists && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    pov_file_report(&session.check, file_name, "it is not a regular file");
    return 0;
  }
  FILE *file = exists && S_ISREG(info.st_mode) ? fopen(found, "rb") : nullptr;
  bool readable = false;
  if (file) {
    fgetc(file);
    readable = !ferror(file);
    fclose(file);
  }
  if (readable) {
    read_targa_size(found);
    converted = 0;
    image_stamp = texture_image_stamp(texture_name);
    texture_list_add(session.module, this);
    return 1;
  }
  // Nothing is written beside a scene file that is not a regular file.
  if (!session.derived_files)
    return 0;
  if (const char *refusal = pov_file_refusal(&session.check, file_name, 1)) {
    pov_file_report(&session.check, file_name, refusal);
    return 0;
  }
  // The stamp is taken before the image is read: an image that changes
  // while it is converted then counts as changed at the next check.
  long long stamp = texture_image_stamp(texture_name);
  if (!convert_to_targa(session))
    return 0;
  converted = 1;
  image_stamp = stamp;
  texture_list_add(session.module, this);
  return 1;
}
