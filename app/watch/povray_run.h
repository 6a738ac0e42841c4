// Watching the POV-Ray run behind a preview render: its output captured and
// shown as progress, kept for the error report; Ctrl-C and a time limit.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace bf {

// While it lives, the output of programs that _spawnl starts goes into a
// pipe read here instead of the terminal: progress (parse, render) on a
// terminal, POV-Ray's statistics after the run with -v.
class PovrayOutput {
public:
  // show_progress: a progress line on a terminal; statistics: POV-Ray's
  // statistics on standard error when the run ends.
  PovrayOutput(bool show_progress, bool statistics);
  ~PovrayOutput();
  PovrayOutput(const PovrayOutput &) = delete;
  PovrayOutput &operator=(const PovrayOutput &) = delete;

  // Text shown before POV-Ray's progress, such as how far a run of frames
  // is; "" for none. Set while no PovrayOutput lives.
  static void set_label(const std::string &label);

  // Stops capturing and waits until everything written has been read.
  void stop();
  // What explains a failure: POV-Ray's lines from its first error on, or
  // its last lines when it named no error.
  std::string failure_text() const;

private:
  void read_loop();
  void take_line(const std::string &line);
  void show(const std::string &status, int percent);
  std::string statistics_text() const;

  int read_fd_ = -1;
  int write_fd_ = -1;
  bool show_progress_; // on a terminal, not silenced by -q
  bool statistics_;
  bool line_open_ = false;
  std::deque<std::string> lines_;
  std::thread reader_;
};

// Ctrl-C (and SIGTERM, SIGHUP) stop POV-Ray and let the command clean up; a
// second Ctrl-C ends the program at once. With a time limit, POV-Ray is
// stopped when it runs longer: asked first, killed when it has not stopped
// after a grace period of 5 seconds ($BRIGHTFOLD_STOP_GRACE seconds when set).
class RenderGuard {
public:
  explicit RenderGuard(double timeout_seconds);
  ~RenderGuard();
  RenderGuard(const RenderGuard &) = delete;
  RenderGuard &operator=(const RenderGuard &) = delete;

  // The signal that asked to stop, 0 when none came.
  static int interrupted();
  bool timed_out() const { return timed_out_; }
  // Starts the time limit (the draws before it do not count).
  void start_clock();
  void stop_clock();

private:
  void watch();

  double timeout_;
  double grace_; // seconds between the request to stop and the kill
  std::atomic<bool> timed_out_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread watchdog_;
};

} // namespace bf
