// render --slurm: the job folder made and filled (scenes through the saver,
// the user's definitions, task files), the job submitted.
#include "app/farm/farm_run.h"
#include "app/farm/slurm_jobs.h"

#include "app/cli/output_check.h"
#include "app/cli/render_request.h"
#include "app/frames/turntable.h"
#include "app/import/framing.h"
#include "app/scene/animation_keys.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"

#include "core/atomic_file.h"
#include "core/input_file.h"
#include "oku/scene_db.h"
#include "vy/targa.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

namespace bf {

namespace fs = std::filesystem;

namespace {

constexpr const char *kFolderPrefix = ".brightfold-job-";

// A folder as the current folder while the object lives.
class InFolder {
public:
  explicit InFolder(const std::string &folder) : home_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    entered_ = home_ >= 0 && chdir(folder.c_str()) == 0;
  }
  ~InFolder() {
    if (home_ >= 0) {
      if (entered_ && fchdir(home_) != 0)
        report("cannot return to the starting directory");
      close(home_);
    }
  }
  InFolder(const InFolder &) = delete;
  InFolder &operator=(const InFolder &) = delete;
  bool entered() const { return entered_; }

private:
  int home_;
  bool entered_ = false;
};

// The saved scene is written for a 640 x 480 picture with shadows; the
// job's scene declares the render's size and shadow switch, as the
// preview's scene does.
std::string sized_for(std::string text, int width, int height, bool shadows) {
  const std::pair<const char *, std::string> values[] = {{"IMAGE_WIDTH", std::to_string(width)},
                                                         {"IMAGE_HEIGHT", std::to_string(height)},
                                                         {"NO_SHADOWS", shadows ? "0" : "1"}};
  for (const auto &[name, value] : values) {
    const std::string line = std::string("\n#declare ") + name + " = ";
    const size_t at = text.find(line);
    if (at == std::string::npos)
      continue;
    const size_t from = at + line.size();
    size_t end = text.find('\n', from);
    if (end != std::string::npos && end > from && text[end - 1] == ';')
      --end; // a 3.7 scene ends its declarations with one
    text.replace(from, end == std::string::npos ? std::string::npos : end - from, value);
  }
  return text;
}

// A new folder: the one asked for (which must not hold anything), else a
// hidden one beside the output.
std::string make_job_folder(const FarmOptions &farm, const std::string &out, FarmJob &job) {
  std::error_code ec;
  if (!farm.job_dir.empty()) {
    job.folder = fs::absolute(farm.job_dir).lexically_normal().string();
    job.own_folder = !fs::exists(job.folder, ec);
    if (job.own_folder && !fs::create_directory(job.folder, ec))
      return "cannot make the job folder " + job.folder + ": " + ec.message();
    if (!fs::is_directory(job.folder, ec) || !fs::is_empty(job.folder, ec))
      return "the job folder " + job.folder + " must be a new or empty folder";
    return "";
  }
  const fs::path path(out);
  std::string pattern = (path.parent_path() / (kFolderPrefix + path.stem().string() + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data()))
    return "cannot make a job folder beside " + out + ": " + std::strerror(errno);
  job.folder = pattern;
  return "";
}

std::string write_scenes(const FarmJob &job, const RenderRequest &request, const FrameScene &scene) {
  InFolder in(job.folder);
  if (!in.entered())
    return "cannot enter " + job.folder;
  const fs::path defs = fs::path(request.scene_path).parent_path() / "okudefs.inc";
  if (const std::string why = copy_definitions(defs, "okudefs.inc"); !why.empty())
    return "cannot read " + defs.string() + ": " + why;
  for (const FarmTask &task : job.tasks) {
    if (task.first_row > 1)
      continue; // a still's bands share its one scene
    std::string error;
    if (!scene(task.frame, scene_file(task), error))
      return error;
  }
  return "";
}

std::string refused_output(const FarmJob &job, const RenderRequest &request) {
  for (const FarmTask &task : job.tasks) {
    const std::string out = job.frames ? frame_picture(job.out, task.frame) : job.out;
    if (const std::string why = output_refusal(out, request.scene); !why.empty())
      return "cannot write " + out + ": " + why;
    if (!job.frames)
      break;
  }
  return "";
}

FarmJob job_of(const RenderRequest &request, const FarmOptions &farm) {
  FarmJob job;
  job.out = request.out;
  job.width = request.width;
  job.height = request.height;
  job.antialias = request.antialias;
  job.picture = request.picture;
  job.pov_version = farm.pov_version;
  job.frames = farm.frames;
  job.first_frame = farm.first_frame;
  job.last_frame = farm.last_frame;
  job.partition = farm.partition;
  job.tasks =
      farm.frames ? plan_frames(farm.first_frame, farm.last_frame) : plan_bands(request.height, farm.tiles);
  return job;
}

} // namespace

FrameScene saved_scene(const FarmOptions &farm, const RenderRequest &request) {
  const std::string saver_name = farm.saver;
  const int width = request.width, height = request.height;
  const bool shadows = request.shadows;
  const bool frames = farm.frames;
  const double fps = farm.fps, turntable = farm.turntable;
  std::shared_ptr<Turntable> orbit;
  if (frames && turntable > 0 && !(orbit = std::make_shared<Turntable>())->take_viewpoint())
    orbit.reset();
  return [=](int frame, const std::string &pov_path, std::string &error) {
    if (frames) {
      const double time = frame / fps;
      set_scene_time(time);
      if (turntable > 0 && !orbit) {
        error = "--turntable needs a camera, and the scene has none";
        return false;
      }
      if (orbit)
        orbit->set(time / turntable);
    }
    SaverFactory *factory = saver_find(saver_name.c_str());
    std::unique_ptr<Saver> saver(factory ? factory->create_saver() : nullptr);
    const unsigned lost_textures = vy_targa_failed_writes();
    if (!saver || saver->save(nullptr, db_get_root(), pov_path.c_str()) != 1 ||
        vy_targa_failed_writes() != lost_textures) {
      error = "the saver \"" + saver_name + "\" could not save the job's scene " + pov_path;
      return false;
    }
    std::string text, why;
    if (!zal::read_input_file(pov_path, 1LL << 40, text, why)) {
      error = "cannot read the job's scene " + pov_path + ": " + why;
      return false;
    }
    text = sized_for(std::move(text), width, height, shadows);
    errno = 0;
    if (!zal::write_whole_file(pov_path, text.data(), text.size())) {
      error = "cannot write the job's scene " + pov_path + ": " + std::strerror(errno ? errno : EIO);
      return false;
    }
    return true;
  };
}

void remove_job_folder(const FarmJob &job) {
  std::error_code ec;
  if (job.own_folder) {
    fs::remove_all(job.folder, ec);
    return;
  }
  for (const fs::directory_entry &entry : fs::directory_iterator(job.folder, ec))
    fs::remove_all(entry.path(), ec);
}

int run_farm_render(const RenderRequest &request, const FarmOptions &farm, const FrameScene &scene) {
  if (request.picture.to_stdout || request.watch || request.timeout > 0 || !request.keep_scene.empty()) {
    report(
        "--slurm writes its pictures to files (not standard output) and renders once (no --watch); the job "
        "folder holds the scenes (no --keep-scene) and the partition sets the time limit (no --timeout)");
    return kExitUsage;
  }
  FarmJob job = job_of(request, farm);
  if (const std::string why = refused_output(job, request); !why.empty()) {
    report(why);
    return kFarmFailed;
  }
  if (!slurm_installed()) {
    report("Slurm's sbatch cannot be run: install Slurm's client commands (apt-get install slurm-client) and "
           "point them at the cluster (SLURM_CONF), or try scripts/slurm-local start");
    return kFarmFailed;
  }
  if (job.tasks.size() < static_cast<size_t>(farm.tiles))
    note("a " + std::to_string(request.height) + "-row picture is cut into " +
         std::to_string(job.tasks.size()) + " bands of whole " + std::to_string(kPovrayBlockRows) +
         "-row blocks, not " + std::to_string(farm.tiles));
  if (const std::string why = make_job_folder(farm, request.out, job); !why.empty()) {
    report(why);
    return kFarmFailed;
  }
  add_framing_camera_if_none(request.scene);
  std::vector<int> all;
  for (int i = 0; i < static_cast<int>(job.tasks.size()); ++i)
    all.push_back(i);
  std::string why = write_scenes(job, request, scene);
  if (why.empty())
    why = write_task_files(job);
  if (why.empty())
    why = submit_job_tasks(job, all);
  if (!why.empty()) {
    report(why);
    if (job.job_ids.empty())
      remove_job_folder(job);
    return kFarmFailed;
  }
  if (!farm.wait) {
    std::cout << job.job_ids.back() << "\n" << job.folder << std::endl;
    note("submitted Slurm job " + job.job_ids.back() + " (" + std::to_string(job.tasks.size()) +
         " tasks); finish it with: brightfold collect " + job.folder);
    return kExitOk;
  }
  return finish_job(job, true);
}

} // namespace bf
