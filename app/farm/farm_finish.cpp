// The end of a job: every task waited for, a failed one submitted once
// more, the bands joined and the pictures written (each whole, then
// renamed), the job folder removed when nothing is left to do.
#include "app/farm/farm_run.h"
#include "app/farm/farm_wait.h"
#include "app/farm/slurm_jobs.h"

#include "app/cli/render_request.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"
#include "app/watch/povray_run.h"

#include "zalvy.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

namespace bf {

namespace fs = std::filesystem;

namespace {

// Copies the rows [first, last) of the task's picture into `picture`.
std::string take_rows(const FarmJob &job, int index, int first, int last, RenderedPicture &picture) {
  const std::string path = (fs::path(job.folder) / task_file(index, ".tga")).string();
  std::unique_ptr<VYbitmap> image(image_reader_invoke(path.c_str()));
  if (!image || !image->data() || image->width() != job.width || image->height() != job.height)
    return "cannot read the picture " + path;
  const size_t row_bytes = static_cast<size_t>(job.width) * image->bytes_per_pixel();
  const size_t count = static_cast<size_t>(job.width) * job.height;
  if (picture.pixels.empty()) {
    picture.bytes_per_pixel = image->bytes_per_pixel();
    picture.pixels.assign(count * picture.bytes_per_pixel, 0);
  }
  if (image->bytes_per_pixel() != picture.bytes_per_pixel)
    return "the tasks' pictures differ in depth (" + path + ")";
  std::memcpy(&picture.pixels[first * row_bytes], image->data() + first * row_bytes,
              (last - first) * row_bytes);
  if (job.picture.alpha) {
    const std::vector<unsigned char> alpha = read_alpha(path, job.width, job.height);
    if (alpha.size() == count) {
      picture.alpha.resize(count);
      std::memcpy(&picture.alpha[first * static_cast<size_t>(job.width)],
                  &alpha[first * static_cast<size_t>(job.width)],
                  static_cast<size_t>(last - first) * job.width);
    }
  }
  return "";
}

// Joins the tasks into the picture `out` and writes it.
bool write_joined(const FarmJob &job, const std::vector<int> &indices, const std::string &out) {
  RenderedPicture picture;
  for (int index : indices) {
    const FarmTask &task = job.tasks[static_cast<size_t>(index)];
    const int first = task.first_row > 0 ? task.first_row - 1 : 0;
    const int last = task.first_row > 0 ? task.last_row : job.height;
    if (const std::string why = take_rows(job, index, first, last, picture); !why.empty()) {
      report(why);
      return false;
    }
  }
  RenderRequest request;
  request.out = out;
  request.width = job.width;
  request.height = job.height;
  request.picture = job.picture;
  if (!write_picture(request, picture)) {
    report("cannot write " + out + ": " + std::strerror(errno));
    return false;
  }
  return true;
}

// Writes every picture whose tasks are all whole; false when one is missing.
bool write_pictures(const FarmJob &job, const std::vector<bool> &whole) {
  if (!job.frames) {
    std::vector<int> all;
    for (int i = 0; i < static_cast<int>(job.tasks.size()); ++i)
      all.push_back(i);
    return std::count(whole.begin(), whole.end(), false) == 0 && write_joined(job, all, job.out);
  }
  bool every = true;
  for (int i = 0; i < static_cast<int>(job.tasks.size()); ++i)
    every = whole[static_cast<size_t>(i)] &&
            write_joined(job, {i}, frame_picture(job.out, job.tasks[static_cast<size_t>(i)].frame)) && every;
  return every;
}

// Whether the job's tasks have all left the queue within `seconds`.
bool queue_drained(const FarmJob &job, int seconds) {
  for (int i = 0; i < seconds * 4; ++i) {
    bool empty = true;
    for (const std::string &id : job.job_ids) {
      std::map<int, std::string> queued;
      std::string ignored;
      empty = empty && queued_tasks(id, queued, ignored) && queued.empty();
    }
    if (empty)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return false;
}

// Ctrl-C: a render cancels its job and, once the tasks are gone, its
// folder; collect leaves the job running.
int stopped(FarmJob &job, bool cancel_on_interrupt) {
  if (!cancel_on_interrupt) {
    report("stopped waiting; the job goes on. Collect it later with: brightfold collect " + job.folder);
    return 128 + RenderGuard::interrupted();
  }
  for (const std::string &id : job.job_ids)
    if (const std::string why = cancel_job(id); !why.empty())
      report("cannot cancel Slurm job " + id + ": " + why);
  const bool drained = queue_drained(job, 15);
  if (drained)
    remove_job_folder(job);
  report("render interrupted: Slurm job " + job.job_ids.back() + " cancelled" +
         (drained ? "" : "; its tasks are still ending, so the job folder " + job.folder + " is kept"));
  return 128 + RenderGuard::interrupted();
}

} // namespace

std::string submit_job_tasks(FarmJob &job, const std::vector<int> &indices) {
  for (int index : indices) {
    clear_task(job, index);
    ++job.tasks[static_cast<size_t>(index)].submissions;
  }
  std::string error;
  const std::string id = submit_tasks(job, indices, error);
  if (id.empty())
    return error;
  job.job_ids.push_back(id);
  return write_manifest(job);
}

int finish_job(FarmJob &job, bool cancel_on_interrupt) {
  std::vector<bool> whole(job.tasks.size(), false);
  for (;;) {
    std::string error;
    if (!wait_for_tasks(job, error)) {
      if (error.empty())
        return stopped(job, cancel_on_interrupt);
      report(error + "; the job folder " + job.folder + " is kept");
      return kFarmFailed;
    }
    std::vector<int> again;
    std::vector<std::string> lost;
    for (int i = 0; i < static_cast<int>(job.tasks.size()); ++i) {
      const std::string why = task_failure(job, i);
      whole[static_cast<size_t>(i)] = why.empty();
      if (why.empty())
        continue;
      if (job.tasks[static_cast<size_t>(i)].submissions < 2) {
        report(task_label(job, i) + " failed: " + why + "\n  submitting it again");
        again.push_back(i);
      } else {
        lost.push_back(task_label(job, i) + " failed again: " + why);
      }
    }
    if (!again.empty()) {
      if (const std::string why = submit_job_tasks(job, again); !why.empty()) {
        report("cannot submit the tasks again: " + why);
        return kFarmFailed;
      }
      continue;
    }
    for (const std::string &message : lost)
      report(message);
    break;
  }
  if (!write_pictures(job, whole)) {
    report("not every picture was written; the job folder " + job.folder +
           " is kept (task_NNNN.log holds each task's POV-Ray messages)");
    return kFarmFailed;
  }
  note("rendered " + std::string(job.frames ? "the frames of " : "") + job.out + " (" +
       std::to_string(job.width) + " x " + std::to_string(job.height) + ", " +
       std::to_string(job.tasks.size()) + (job.tasks.size() == 1 ? " Slurm task)" : " Slurm tasks)"));
  remove_job_folder(job);
  return 0;
}

} // namespace bf
