// Standard output and error sent to /dev/null for as long as the object
// lives: Assimp's importers (the OpenGEX one among them) print on their
// own, outside its logger, and a part loader speaks only through its
// error message. Not for threads that print at the same time.
#pragma once

namespace oku {

class QuietOutput {
public:
  QuietOutput();
  ~QuietOutput();
  QuietOutput(const QuietOutput &) = delete;
  QuietOutput &operator=(const QuietOutput &) = delete;

private:
  int saved_[2] = {-1, -1}; // copies of descriptors 1 and 2
};

} // namespace oku
