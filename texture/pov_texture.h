// Texture records, derived Targa names, conversion and texture statements.
#pragma once

#include "base/pov_session.h"
#include "zaloku.h"

#include <cstdio>

struct TextureRecord {
  char *texture_name; // owned copy of the object's texture name, or null
  char *file_name;    // owned 256-byte buffer with the derived Targa name, or null
  float opacity;
  int scene_root;
  int method;
  int type;
  ZAL_COLOR color;
  ZAL_VECT2 scale;
  ZAL_VECT2 position;
  float angle;
  int width; // starts at 1 so that a failed conversion never divides by 0
  int height;
  int converted;         // 1 when this module made the Targa file (the preview deletes only those)
  long long image_stamp; // the image file's size and time when the record was listed

  // inherited_opacity: the factor of the groups around the object.
  TextureRecord *fill(_object *object, float inherited_opacity = 1.0f);
  void derive_file_name();
  int compare(TextureRecord *other);
  // From the Targa file at path (the derived name when null).
  void read_targa_size(const char *path = nullptr);
  int ensure_file(PovSession &session);
  int convert_to_targa(PovSession &session);
};

// Find-or-create: answers the record to use; *usable is 0 when its Targa file
// could not be made (the caller then writes its statements commented out).
TextureRecord *texture_acquire(PovSession &session, _object *object, int *usable);
void texture_release(PovModuleState *state, TextureRecord *record);
void texture_list_clear(PovModuleState *state, int delete_files);
// Drops the listed records whose image file changed since they were listed
// (deleting the Targa files this module made for them) and those whose Targa
// file is gone, so that the next scene write converts them again.
void texture_list_drop_changed(PovModuleState *state);

// Answers 1 when it wrote the texture's own finish.
int write_texture_statements(PovSession &session, FILE *file, int depth, _object *object,
                             const ZAL_COLOR &colour, float opacity);
// The 3.7 text's image layers inside a texture block: `uv_mapping` when uv
// is 1 (the object asks for it and its mesh has texture coordinates), the
// image-map pigment (marked sRGB) and the bump-map normal, as the texture's
// activity bits say. 1 when it wrote the pigment; 0 leaves the plain colour
// to the caller (no texture, an inactive one, or one that could not be made).
int pov_write_image_layers37(PovSession &session, FILE *file, int depth, _object *object, int uv,
                             float opacity);
// Whether pov_write_image_layers37 may write anything for the object: 0
// when it has no texture, an inactive one, or one laid on by texture
// coordinates that `uv` says the mesh does not have.
int pov_may_write_image_layers37(_object *object, int uv);
