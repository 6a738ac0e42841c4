// POV-Ray's output, progress, interruption and time limit during a render.
#include "app/watch/povray_run.h"

#include "win32/spawn_control.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace bf {
namespace {

constexpr size_t kKeptLines = 400;
constexpr int kShownFailureLines = 30;

volatile sig_atomic_t stop_signal = 0;

std::string progress_label; // before POV-Ray's progress

void on_signal(int sig) {
  if (stop_signal) { // asked twice: stop at once
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  stop_signal = sig;
  pid_t child = win32_spawn_running();
  if (child > 0)
    kill(-child, sig); // the renderer's whole process group
}

bool is_error_line(const std::string &line) {
  // "Fatal Stream to console" among the options is not one.
  return line.find("Error") != std::string::npos || line.find("error:") != std::string::npos ||
         line.find("Fatal error") != std::string::npos || line.rfind("pvengine.exe:", 0) == 0;
}

} // namespace

PovrayOutput::PovrayOutput(bool show_progress, bool statistics)
    : show_progress_(show_progress && isatty(STDERR_FILENO)), statistics_(statistics) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return; // output then reaches the terminal directly
  read_fd_ = fds[0];
  write_fd_ = fds[1];
  win32_spawn_set_output(write_fd_);
  reader_ = std::thread([this] { read_loop(); });
}

PovrayOutput::~PovrayOutput() { stop(); }

void PovrayOutput::stop() {
  if (write_fd_ < 0)
    return;
  win32_spawn_set_output(-1);
  close(write_fd_);
  write_fd_ = -1;
  if (reader_.joinable())
    reader_.join();
  close(read_fd_);
  read_fd_ = -1;
  if (line_open_) // the progress line gives way to what follows
    std::fputs("\r\033[K", stderr);
  line_open_ = false;
  if (statistics_)
    std::fputs(statistics_text().c_str(), stderr);
  std::fflush(stderr);
}

void PovrayOutput::read_loop() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(read_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    for (ssize_t i = 0; i < n; ++i) {
      char c = buffer[i];
      if (c == '\n' || c == '\r') {
        take_line(pending);
        pending.clear();
      } else {
        pending += c;
      }
    }
  }
  if (!pending.empty())
    take_line(pending);
}

void PovrayOutput::take_line(const std::string &line) {
  long done = 0, total = 0;
  int percent = 0;
  if (std::sscanf(line.c_str(), "Rendered %ld of %ld pixels (%d%%)", &done, &total, &percent) == 3) {
    show("rendering", percent);
    return;
  }
  char tokens[32] = "";
  if (std::sscanf(line.c_str(), "Parsing %31s tokens", tokens) == 1) { // POV-Ray's own count, "687K"
    show(std::string("reading the scene: ") + tokens + " tokens", -1);
    return;
  }
  if (line.find("[Parsing...]") != std::string::npos)
    show("reading the scene", -1);
  else if (line.find("[Rendering...]") != std::string::npos)
    show("rendering", 0);
  if (line.empty())
    return;
  lines_.push_back(line);
  if (lines_.size() > kKeptLines)
    lines_.pop_front();
}

void PovrayOutput::set_label(const std::string &label) { progress_label = label; }

// On a terminal only: one line rewritten in place, cleared at the end.
void PovrayOutput::show(const std::string &status, int percent) {
  if (!show_progress_)
    return;
  if (percent >= 0)
    std::fprintf(stderr, "\r\033[K%sPOV-Ray: %s %3d%%", progress_label.c_str(), status.c_str(), percent);
  else
    std::fprintf(stderr, "\r\033[K%sPOV-Ray: %s", progress_label.c_str(), status.c_str());
  line_open_ = true;
  std::fflush(stderr);
}

// POV-Ray's statistics blocks: from a "... Statistics" or "... Time" heading
// to the next section ("Render Options", "==== [...]").
std::string PovrayOutput::statistics_text() const {
  std::string text;
  bool in_block = false;
  for (const std::string &line : lines_) {
    if (line.find("Statistics") != std::string::npos && line.find("Stream") == std::string::npos)
      in_block = true;
    else if (line.rfind("Render Options", 0) == 0 || line.rfind("====", 0) == 0 ||
             line.rfind("POV-Ray finished", 0) == 0)
      in_block = false;
    if (in_block)
      text += "  " + line + "\n";
  }
  return text;
}

std::string PovrayOutput::failure_text() const {
  size_t from = lines_.size() > 15 ? lines_.size() - 15 : 0;
  for (size_t i = 0; i < lines_.size(); ++i)
    if (is_error_line(lines_[i])) {
      from = i;
      break;
    }
  std::string text;
  int shown = 0;
  for (size_t i = from; i < lines_.size() && shown < kShownFailureLines; ++i, ++shown)
    text += "  " + lines_[i] + "\n";
  return text;
}

namespace {

double stop_grace() {
  const char *text = std::getenv("BRIGHTFOLD_STOP_GRACE");
  char *end = nullptr;
  const double seconds = text != nullptr ? std::strtod(text, &end) : 0;
  return text != nullptr && *text != '\0' && *end == '\0' && seconds > 0 && seconds <= 3600 ? seconds : 5.0;
}

} // namespace

RenderGuard::RenderGuard(double timeout_seconds) : timeout_(timeout_seconds), grace_(stop_grace()) {
  stop_signal = 0;
  struct sigaction action = {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP})
    sigaction(sig, &action, nullptr);
}

RenderGuard::~RenderGuard() {
  stop_clock();
  for (int sig : {SIGINT, SIGTERM, SIGHUP})
    signal(sig, SIG_DFL);
}

int RenderGuard::interrupted() { return stop_signal; }

// Each render of a --watch run starts the clock again.
void RenderGuard::start_clock() {
  if (timeout_ <= 0 || watchdog_.joinable())
    return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }
  timed_out_ = false;
  watchdog_ = std::thread([this] { watch(); });
}

void RenderGuard::stop_clock() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watchdog_.joinable())
    watchdog_.join();
}

// After the limit, POV-Ray is asked to stop and, if it has not after the
// grace period, killed.
void RenderGuard::watch() {
  using namespace std::chrono;
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_for(lock, duration<double>(timeout_), [this] { return stopping_; }))
    return;
  timed_out_ = true;
  bool asked = false;
  steady_clock::time_point since;
  do {
    pid_t child = win32_spawn_running();
    if (child > 0 && !asked) {
      kill(-child, SIGTERM);
      asked = true;
      since = steady_clock::now();
    } else if (child > 0 && steady_clock::now() - since > duration<double>(grace_)) {
      kill(-child, SIGKILL);
    }
  } while (!wake_.wait_for(lock, milliseconds(100), [this] { return stopping_; }));
}

} // namespace bf
