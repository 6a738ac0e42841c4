// What `save` checks and says about its outputs besides the refusals of
// output_check.h: standard output, picture names, a missing folder,
// and how to render the saved scene.
#pragma once

#include <string>

namespace bf {

// Standard output as a save's output ("-", /dev/stdout): the module saves
// into a private folder, and the scene text is then copied to standard
// output; nothing is written beside it, nothing replaced, whatever standard
// output is (a pipe, a terminal, a file).
class StdoutSave {
public:
  explicit StdoutSave(const std::string &operand);
  ~StdoutSave();
  StdoutSave(const StdoutSave &) = delete;
  StdoutSave &operator=(const StdoutSave &) = delete;

  // Whether the operand names standard output.
  static bool names(const std::string &operand);
  bool wanted() const { return wanted_; }
  // Where the module is to save: the private folder's scene file, or the
  // operand itself when it is not standard output ("" when the folder could
  // not be made).
  const std::string &target() const { return target_; }
  // Copies the saved text to standard output; false with errno.
  bool copy_out() const;

private:
  bool wanted_ = false;
  std::string folder_, target_;
};

// Why `save` refuses the output's name before loading anything ("" when it
// may be written): a picture's extension, as `render` writes pictures.
std::string save_name_refusal(const std::string &out);

// The reason the output's folder cannot take it (a missing folder, a file
// in its place, no permission to write there), as the system words it; ""
// when it can.
std::string folder_problem(const std::string &out);

// After a save into a regular file: one line saying the POV-Ray command
// that renders it where it stands.
void say_how_to_render(const std::string &out, const std::string &saver);

} // namespace bf
