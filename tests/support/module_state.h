// A module state for the length of a test, as dll_init makes one, and a
// session on it, as a save or a preview draw makes one.
#pragma once

#include "base/pov_session.h"

struct TestSession {
  explicit TestSession(int parts_mode = 0) : state(pov_module_state_new()) {
    pov_session_begin(&session, state, parts_mode);
  }
  ~TestSession() { pov_module_state_free(state); }
  TestSession(const TestSession &) = delete;
  TestSession &operator=(const TestSession &) = delete;

  PovModuleState *state;
  PovSession session;
};
