// Test helpers: capture what a writer prints, build small scenes, collect
// the messages the module sends to the user.
#pragma once

#include "oku/scene_db.h"
#include "scene/pov_save.h"
#include "tests/support/files.h"
#include "tests/support/module_state.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Runs write(FILE *) on an in-memory stream and answers the text.
template <class Write> std::string capture_text(Write write) {
  char *buffer = nullptr;
  size_t size = 0;
  FILE *stream = open_memstream(&buffer, &size);
  write(stream);
  fclose(stream);
  std::string text(buffer, size);
  free(buffer);
  return text;
}

// The text a walk from node writes in session (by default a fresh one), with
// the save's options by default.
inline std::string walk_text(PovSession &session, _object *node, SceneOptions options = {640, 480, 1, 1}) {
  return capture_text([&](FILE *f) { pov_write_node(session, f, node, &options); });
}
inline std::string walk_text(_object *node, SceneOptions options = {640, 480, 1, 1}) {
  TestSession module;
  return walk_text(module.session, node, options);
}

using bftest::read_file;

// Collects esd_send messages for the life of the object.
class MessageLog {
public:
  MessageLog() { esd_set_sink(&MessageLog::sink, this); }
  ~MessageLog() { esd_set_sink(nullptr, nullptr); }
  std::vector<std::string> messages;

private:
  static void sink(const char *message, void *user) {
    static_cast<MessageLog *>(user)->messages.push_back(message);
  }
};

// Sets a comma-decimal locale (de_DE.UTF-8) for the life of the object, as a
// host may for its own texts; available() is false where the system lacks it
// (scripts/bootstrap generates it).
class CommaDecimalLocale {
public:
  CommaDecimalLocale() : saved_(setlocale(LC_ALL, nullptr)) { available_ = setlocale(LC_ALL, "de_DE.UTF-8"); }
  ~CommaDecimalLocale() { restore(); }
  void restore() { setlocale(LC_ALL, saved_.c_str()); }
  bool available() const { return available_; }
  static constexpr const char *kMissing =
      "locale de_DE.UTF-8 is not installed: run scripts/bootstrap as root, or "
      "localedef -i de_DE -f UTF-8 de_DE.UTF-8";

private:
  std::string saved_;
  bool available_ = false;
};

inline _object *add_node(_object *parent, OBJECT_TYPE type, const char *name) {
  _object *node = scene_add_object(parent, type);
  node->name = name;
  return node;
}

// The frame of a saved scene with the default environment.
inline std::string default_frame(const char *background = "0, 0, 0", const char *ambient = "0.2",
                                 int width = 640, int height = 480, int no_shadows = 0) {
  return std::string("/* Brightfold generated POV 3.0 scene file */\n"
                     "/* Version 5.0 */\n"
                     "\n") +
         "#declare IMAGE_WIDTH = " + std::to_string(width) + "\n" +
         "#declare IMAGE_HEIGHT = " + std::to_string(height) + "\n" +
         "#declare NO_SHADOWS = " + std::to_string(no_shadows) + "\n" + "#declare BACKGROUND_COLOR = rgb <" +
         background + ">\n" + "#declare AMBIENT_COLOR = " + ambient + "\n" +
         "\n"
         "#declare OKU_SCENE_DEFS = \"okudefs.inc\"\n"
         "#if (file_exists (OKU_SCENE_DEFS))\n"
         "#include OKU_SCENE_DEFS\n"
         "#end\n"
         "\n"
         "global_settings { ambient_light AMBIENT_COLOR }\n"
         "background { color BACKGROUND_COLOR }\n";
}
