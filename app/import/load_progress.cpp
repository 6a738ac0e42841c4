// Terminal progress for loads that take longer than a second.
#include "app/import/load_progress.h"
#include "app/scene/verbosity.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace bf {

namespace {

bool always_shown = false;
double delay_seconds = 1.0;

} // namespace

void LoadProgress::set_always_for_tests(bool always, double delay) {
  always_shown = always;
  delay_seconds = delay;
}

LoadProgress::LoadProgress(std::string what)
    : what_(std::move(what)), start_(std::chrono::steady_clock::now()),
      enabled_(always_shown || (isatty(STDERR_FILENO) == 1 && verbosity() != Verbosity::quiet)) {}

LoadProgress::~LoadProgress() {
  if (shown_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

void LoadProgress::update(double fraction) {
  if (!enabled_)
    return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (seconds < delay_seconds)
    return;
  const int percent = fraction >= 0 ? static_cast<int>(std::fmin(fraction, 1.0) * 100) : -1;
  // A line per percent, or per second when the share is unknown.
  if (percent >= 0 ? percent == last_percent_ : std::floor(seconds) == last_second_)
    return;
  last_percent_ = percent;
  last_second_ = std::floor(seconds);
  if (percent >= 0)
    std::fprintf(stderr, "\r\033[Kbrightfold: %s: %d%%", what_.c_str(), percent);
  else
    std::fprintf(stderr, "\r\033[Kbrightfold: %s: %.0f s", what_.c_str(), seconds);
  std::fflush(stderr);
  shown_ = true;
}

} // namespace bf
