// brightfold render ... --slurm and brightfold collect: a render handed to a
// Slurm cluster as one job array, and finished when its tasks are done.
#pragma once

#include "app/cli/commands.h"
#include "app/farm/farm_job.h"

#include <functional>
#include <string>

namespace bf {

struct RenderRequest;
struct FrameRequest;

constexpr int kFarmFailed = 1;

// What render takes for the cluster.
struct FarmOptions {
  bool slurm = false;
  bool wait = true;      // --no-wait: submit, print the job id and folder, return
  int tiles = 1;         // bands of rows of a still, a task each
  std::string partition; // "" for the cluster's default
  std::string job_dir;   // "" for a new folder beside the output
  // The frames (render's --frames, --fps, --turntable), a task each.
  bool frames = false;
  int first_frame = 1, last_frame = 1;
  int fps = 24;
  double turntable = 0;
  // The saver that writes each frame's scene, its parts and images, and
  // the POV-Ray language it writes.
  std::string saver = "POV scene and parts files";
  std::string pov_version = "3.0";
};

// Takes the cluster options out of `args` (the rest is render's own).
// False (after usage_error, in `code`) when one is bad or --slurm is
// missing under them.
bool take_farm_options(Args &args, FarmOptions &farm, int &code);
// Takes render's frames into the cluster options, when --slurm; false
// (after usage_error, in `code`) for options a cluster run cannot follow.
bool take_farm_frames(const FrameRequest &frames, FarmOptions &farm, int &code);

// Writes the scene of `frame` (0 for a still) to `pov_path`, a bare name in
// the job folder, which is the current folder: the parts and images it
// needs go beside it. False with `error`.
using FrameScene = std::function<bool(int frame, const std::string &pov_path, std::string &error)>;

// The scene as the farm options' saver writes it, sized for the request
// (the scene's picture size and shadow switch), its animated nodes and
// turntable camera set to the frame's time.
FrameScene saved_scene(const FarmOptions &farm, const RenderRequest &request);

// Writes the job folder for the request (its scene loaded, the module
// ready), submits it, and waits for it (finish_job) unless asked not to.
// Answers the exit code.
int run_farm_render(const RenderRequest &request, const FarmOptions &farm, const FrameScene &scene);

// Waits for the job, submits each failed task once more, joins and writes
// the pictures, and removes the job folder when all were written. Ctrl-C
// cancels the job when `cancel_on_interrupt`, else leaves it running.
// Answers the exit code.
int finish_job(FarmJob &job, bool cancel_on_interrupt);

// Submits the tasks `indices` (the first time, or again), recording the new job id in
// job.json; "" when done, else why not.
std::string submit_job_tasks(FarmJob &job, const std::vector<int> &indices);

// Removes the job folder, or only what is in it when it was given empty.
void remove_job_folder(const FarmJob &job);

// brightfold collect JOBDIR
int run_collect(const Args &args);

} // namespace bf
