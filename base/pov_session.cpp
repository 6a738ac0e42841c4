// The module state's life and a scene write's session.
#include "base/pov_session.h"

#include <new>

PovModuleState *pov_module_state_new() { return new (std::nothrow) PovModuleState; }

void pov_module_state_free(PovModuleState *state) {
  if (!state)
    return;
  pov_files_end(&state->files, 0);
  if (state->release_part)
    state->parts_cache.clear(state->release_part);
  for (int i = 1; state->release_texture && i <= state->texture_list.count(); ++i)
    state->release_texture(static_cast<TextureRecord *>(state->texture_list.get(i)));
  delete state;
}

void pov_session_begin(PovSession *session, PovModuleState *state, int parts_mode, int language) {
  *session = PovSession{};
  session->module = state;
  session->parts_mode = parts_mode;
  session->pov_language = language;
  session->next_object_id = state->next_object_id;
  session->next_part_number = state->next_part_number;
}

void pov_session_end(PovSession *session) {
  session->module->next_object_id = session->next_object_id;
  session->module->next_part_number = session->next_part_number;
}
