// The wait: status files in the job folder tell which tasks have ended;
// squeue tells which are still running, and which left the queue without
// ending (those never write a status file).
#include "app/farm/farm_wait.h"
#include "app/farm/slurm_jobs.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"
#include "app/watch/povray_run.h"

#include "core/input_file.h"
#include "zalvy.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace bf {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPoll = std::chrono::milliseconds(100); // status files
constexpr auto kQueuePoll = std::chrono::seconds(1);   // squeue
constexpr auto kLeftGrace = std::chrono::seconds(3);   // a shared folder's view may lag behind

std::string in_folder(const FarmJob &job, const std::string &name) {
  return (fs::path(job.folder) / name).string();
}

// POV-Ray's exit status, -1 while the task has not written one.
int exit_status(const FarmJob &job, int index) {
  std::string text, why;
  if (!zal::read_input_file(in_folder(job, task_file(index, ".status")), 64, text, why) || text.empty())
    return -1;
  return std::atoi(text.c_str());
}

// The last lines of the task's log that say something.
std::string log_tail(const FarmJob &job, int index) {
  std::string text, why;
  if (!zal::read_input_file(in_folder(job, task_file(index, ".log")), 16 << 20, text, why))
    return "";
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    if (end > at)
      lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::string tail;
  for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
    tail += "\n    " + lines[i];
  return tail;
}

class Progress {
public:
  explicit Progress(const FarmJob &job)
      : job_(job), terminal_(isatty(STDERR_FILENO) && verbosity() != Verbosity::quiet) {}
  ~Progress() {
    if (shown_)
      std::cerr << std::endl;
  }
  void show(int done, int running) {
    const std::string line = "slurm job " + job_.job_ids.back() + ": " + std::to_string(done) + " of " +
                             std::to_string(job_.tasks.size()) + " tasks done, " + std::to_string(running) +
                             " running";
    if (line == last_ || (!terminal_ && done == last_done_))
      return;
    last_ = line;
    last_done_ = done;
    if (!terminal_) { // a log: a line when a task is done
      note(line);
      return;
    }
    std::cerr << "\r" << line << "   " << std::flush;
    shown_ = true;
  }

private:
  const FarmJob &job_;
  bool terminal_, shown_ = false;
  std::string last_;
  int last_done_ = -1;
};

} // namespace

bool wait_for_tasks(const FarmJob &job, std::string &error) {
  RenderGuard guard(0); // Ctrl-C ends the wait
  Progress progress(job);
  std::map<int, Clock::time_point> left; // tasks seen gone from the queue, since when
  Clock::time_point asked{};
  int running = 0;
  while (!RenderGuard::interrupted()) {
    std::vector<int> open;
    for (int i = 0; i < static_cast<int>(job.tasks.size()); ++i)
      if (exit_status(job, i) < 0)
        open.push_back(i);
    const int done = static_cast<int>(job.tasks.size() - open.size());
    if (open.empty()) {
      progress.show(done, 0);
      return true;
    }
    const Clock::time_point now = Clock::now();
    if (now - asked >= kQueuePoll) {
      asked = now;
      std::map<int, std::string> queued, more;
      for (const std::string &id : job.job_ids) {
        if (!queued_tasks(id, more, error)) {
          if (RenderGuard::interrupted())
            error.clear(); // Ctrl-C reached squeue too
          return false;
        }
        queued.insert(more.begin(), more.end());
      }
      running = 0;
      for (const auto &[index, state] : queued)
        running += state == "R" || state == "CG";
      bool all_gone = true;
      for (int index : open) {
        if (queued.count(index) || queued.count(kAnyTask)) {
          left.erase(index);
          all_gone = false;
        } else if (!left.count(index)) {
          left[index] = now;
          all_gone = false;
        } else if (now - left[index] < kLeftGrace) {
          all_gone = false;
        }
      }
      if (all_gone)
        return true;
    }
    progress.show(done, running);
    std::this_thread::sleep_for(kPoll);
  }
  return false;
}

std::string task_failure(const FarmJob &job, int index) {
  const char *stopped = " (cancelled, out of time, or its node failed)";
  const int status = exit_status(job, index);
  if (status < 0) {
    const std::string state = ended_state(job.job_ids.back(), index);
    return "it left the queue without finishing" + (state.empty() ? "" : " as " + state) + stopped;
  }
  if (status > 128) // the shell's code for a signal: Slurm stopped it
    return "it was stopped by signal " + std::to_string(status - 128) + stopped;
  if (status > 0)
    return "POV-Ray failed (exit status " + std::to_string(status) + ")" + log_tail(job, index);
  const std::string picture = in_folder(job, task_file(index, ".tga"));
  std::unique_ptr<VYbitmap> image(image_reader_invoke(picture.c_str()));
  if (!image || image->width() != job.width || image->height() != job.height)
    return "POV-Ray left no whole " + std::to_string(job.width) + " x " + std::to_string(job.height) +
           " picture (" + picture + ")";
  return "";
}

void clear_task(const FarmJob &job, int index) {
  std::error_code ignored;
  for (const char *suffix : {".tga", ".status"})
    fs::remove(in_folder(job, task_file(index, suffix)), ignored);
}

} // namespace bf
