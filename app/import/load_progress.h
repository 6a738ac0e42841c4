// Progress of a long load on the terminal: nothing for the first second,
// then "brightfold: WHAT: N%" rewritten in place on standard error; silent
// when standard error is not a terminal.
#pragma once

#include <chrono>
#include <string>

namespace bf {

class LoadProgress {
public:
  explicit LoadProgress(std::string what);
  ~LoadProgress(); // clears the line it wrote
  LoadProgress(const LoadProgress &) = delete;
  LoadProgress &operator=(const LoadProgress &) = delete;

  // `fraction` from 0 to 1; a negative one shows the time so far only.
  void update(double fraction);
  // Whether anything has been written yet (for tests of the quiet case).
  bool shown() const { return shown_; }

  // For tests: show on any stream kind, after `delay` seconds.
  static void set_always_for_tests(bool always, double delay);

private:
  std::string what_;
  std::chrono::steady_clock::time_point start_;
  bool enabled_;
  bool shown_ = false;
  int last_percent_ = -1;
  double last_second_ = -1;
};

} // namespace bf
