// The module's state in two records. PovModuleState holds what lives from
// load (dll_init) to unload (dll_term): the parts cache, the texture list
// and the files the module owns or has staged. PovSession holds what one
// scene write needs: it is made by the save driver or by a preview draw and
// handed down to the writers. One scene write runs at a time.
#pragma once

#include "base/pov_file_check.h"
#include "base/pov_file_out.h"
#include "zaloku.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>

struct TextureRecord;

struct SceneOptions {
  int width;
  int height;
  int antialias;
  int shadows;
};

// parts_mode 0: a part's include file is not written (a "POV scene file"
// save); 1: it is written when the part is first met; kPartsWriteMissing:
// written when the part is first met and no file stands at its name yet (a
// preview's later draws, which must not replace a file a saved scene relies
// on).
constexpr int kPartsWriteMissing = 2;

// The scene language written: POV-Ray 3.0, or POV-Ray 3.7 (linear colour,
// indexed meshes, UV-mapped images).
constexpr int kPovLanguage30 = 30;
constexpr int kPovLanguage37 = 37;

struct PovModuleState {
  ASSOC parts_cache; // include-file path -> PartRecord *
  LIST texture_list; // of TextureRecord *
  // texture_list's hash index (lower-cased names -> record) and the list's
  // count when the index was last in step.
  std::unordered_map<std::string, TextureRecord *> texture_index;
  int indexed_count = 0;
  PovFileStage files; // staged and owned include and Targa files
  // The language of the include files the parts cache stands for.
  int parts_language = kPovLanguage30;
  // The counters carry on from one scene write to the next: a part or an
  // object met in a later draw never takes a name an earlier one holds.
  int next_object_id = 1;
  int next_part_number = 1;
  // How the listed records are freed when the state goes, set by the layer
  // that lists them (the state lies below the parts and the textures).
  void (*release_part)(void *record) = nullptr;
  void (*release_texture)(TextureRecord *record) = nullptr;
};

struct PovSession {
  FILE *scene_file = nullptr;
  const char *scene_path = nullptr;
  int parts_mode = 0;
  float inherited_opacity = 1.0f;
  int indent_depth = 0;
  int next_object_id = 1;
  int next_part_number = 1;
  int pov_language = kPovLanguage30;
  // 1 when include and Targa files may be written beside the scene file:
  // the scene goes to a regular file (not a device such as /dev/null).
  int derived_files = 1;
  PovFileCheck check; // what this write may not touch, and its failures
  // The base names that objects holding an id already give, gathered when
  // the first object without an id is met.
  std::unordered_set<std::string> held_names;
  bool held_names_known = false;
  PovModuleState *module = nullptr;
  // 3.7: written before the include lines of a part whose mesh carries its
  // own colours (its include file asks for the object's surface declarations).
  void (*write_part_texture)(PovSession &session, FILE *file, int depth, _object *object,
                             int has_uv) = nullptr;
};

// Null when memory runs out.
PovModuleState *pov_module_state_new();
// Removes what is still staged, frees the listed records (their files
// stay: a saved scene may refer to them) and the state.
void pov_module_state_free(PovModuleState *state);

// A session for one scene write, its counters taken from the module state.
void pov_session_begin(PovSession *session, PovModuleState *state, int parts_mode,
                       int language = kPovLanguage30);
// Hands the counters back to the module state.
void pov_session_end(PovSession *session);
