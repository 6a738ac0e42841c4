// The tasks of a job, the files that describe them, and job.json.
#include "app/farm/farm_job.h"

#include "app/frames/frame_options.h"

#include "core/atomic_file.h"
#include "core/input_file.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace bf {

namespace fs = std::filesystem;

namespace {

// The number in four digits at least, as task and frame names carry it.
std::string four_digits(int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d", number);
  return digits;
}

std::string write_text(const std::string &path, const std::string &text) {
  errno = 0;
  if (zal::write_whole_file(path, text.data(), text.size()))
    return "";
  return "cannot write " + path + ": " + std::strerror(errno ? errno : EIO);
}

// As the preview's INI file asks, so that a task's pixels are the local render's.
std::string ini_text(const FarmJob &job, int index) {
  const FarmTask &task = job.tasks[static_cast<size_t>(index)];
  std::string text = "; brightfold render task " + std::to_string(index) + "\n";
  text += "Input_File_Name=" + scene_file(task) + "\n";
  text += "Output_File_Name=" + task_file(index, ".tga") + "\n";
  text += "Output_File_Type=T\n";
  text += "Width=" + std::to_string(job.width) + "\nHeight=" + std::to_string(job.height) + "\n";
  text += job.antialias ? "Antialias=on\nAntialias_Threshold=0.3\n" : "Antialias=off\n";
  text += "Jitter=off\nDisplay=off\nPause_When_Done=off\n";
  if (task.first_row > 0)
    text +=
        "Start_Row=" + std::to_string(task.first_row) + "\nEnd_Row=" + std::to_string(task.last_row) + "\n";
  if (job.picture.alpha)
    text += "Output_Alpha=on\nDeclare=BACKGROUND_CLEAR=1\n"; // a 3.7 scene clears its background on it
  if (job.pov_version != "3.7")
    text += "Version=" + job.pov_version + "\n";
  return text;
}

constexpr const char *kScript = R"(#!/bin/sh
# One task of a brightfold render, run by Slurm in the job folder (sbatch
# --chdir): POV-Ray renders task_NNNN.ini (NNNN: the array index), and its
# exit status is kept in task_NNNN.status once it has ended. A task that Slurm
# stops (scancel, its time limit) writes none.
trap 'exit 143' TERM INT
n=$(printf %04d "$SLURM_ARRAY_TASK_ID")
exec >"task_$n.log" 2>&1
rm -f "task_$n.tga" "task_$n.status"
povray "task_$n.ini"
status=$?
echo "$status" > "task_$n.status.part" && mv -f "task_$n.status.part" "task_$n.status"
exit "$status"
)";

const char *format_name(PictureFormat format) {
  switch (format) {
  case PictureFormat::tga:
    return "tga";
  case PictureFormat::jpeg:
    return "jpeg";
  case PictureFormat::png:
    break;
  }
  return "png";
}

} // namespace

std::vector<FarmTask> plan_bands(int height, int tiles) {
  const int blocks = (height + kPovrayBlockRows - 1) / kPovrayBlockRows;
  const int bands = std::max(1, std::min(tiles, blocks));
  std::vector<FarmTask> tasks;
  int block = 0;
  for (int i = 0; i < bands; ++i) {
    const int count = blocks / bands + (i < blocks % bands ? 1 : 0);
    FarmTask task;
    task.first_row = block * kPovrayBlockRows + 1;
    task.last_row = std::min((block + count) * kPovrayBlockRows, height);
    tasks.push_back(task);
    block += count;
  }
  return tasks;
}

std::vector<FarmTask> plan_frames(int first, int last) {
  std::vector<FarmTask> tasks;
  for (int frame = first; frame <= last; ++frame) {
    FarmTask task;
    task.frame = frame;
    tasks.push_back(task);
  }
  return tasks;
}

std::string task_file(int index, const char *suffix) { return "task_" + four_digits(index) + suffix; }

std::string scene_file(const FarmTask &task) {
  return task.frame > 0 ? "frame_" + four_digits(task.frame) + ".pov" : "scene.pov";
}

std::string frame_picture(const std::string &out, int frame) { return FrameNames(out).path(frame); }

std::string task_label(const FarmJob &job, int index) {
  const FarmTask &task = job.tasks[static_cast<size_t>(index)];
  const std::string what =
      task.frame > 0       ? "frame " + std::to_string(task.frame)
      : task.first_row > 0 ? "rows " + std::to_string(task.first_row) + "-" + std::to_string(task.last_row)
                           : "the picture";
  return "task " + std::to_string(index) + " (" + what + ")";
}

std::string write_task_files(const FarmJob &job) {
  for (size_t i = 0; i < job.tasks.size(); ++i)
    if (std::string why = write_text((fs::path(job.folder) / task_file(static_cast<int>(i), ".ini")).string(),
                                     ini_text(job, static_cast<int>(i)));
        !why.empty())
      return why;
  const std::string script = (fs::path(job.folder) / kBatchScript).string();
  if (std::string why = write_text(script, kScript); !why.empty())
    return why;
  std::error_code ec;
  fs::permissions(script, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, ec);
  return "";
}

std::string write_manifest(const FarmJob &job) {
  nlohmann::json tasks = nlohmann::json::array();
  for (const FarmTask &task : job.tasks)
    tasks.push_back({{"frame", task.frame},
                     {"first_row", task.first_row},
                     {"last_row", task.last_row},
                     {"submissions", task.submissions}});
  const nlohmann::json manifest = {{"brightfold_job", 1},
                                   {"out", job.out},
                                   {"own_folder", job.own_folder},
                                   {"width", job.width},
                                   {"height", job.height},
                                   {"antialias", job.antialias},
                                   {"format", format_name(job.picture.format)},
                                   {"quality", job.picture.quality},
                                   {"alpha", job.picture.alpha},
                                   {"pov_version", job.pov_version},
                                   {"frames", job.frames},
                                   {"first_frame", job.first_frame},
                                   {"last_frame", job.last_frame},
                                   {"partition", job.partition},
                                   {"tasks", tasks},
                                   {"job_ids", job.job_ids}};
  return write_text((fs::path(job.folder) / kJobManifest).string(), manifest.dump(1) + "\n");
}

std::string read_manifest(const std::string &folder, FarmJob &job) {
  const std::string path = (fs::path(folder) / kJobManifest).string();
  std::string text, why;
  if (!zal::read_input_file(path, 64 << 20, text, why))
    return "cannot read " + path + ": " + why;
  try {
    const nlohmann::json m = nlohmann::json::parse(text);
    if (m.at("brightfold_job").get<int>() != 1)
      return path + " is a job of another brightfold version";
    job.folder = fs::absolute(folder).lexically_normal().string();
    job.out = m.at("out").get<std::string>();
    job.own_folder = m.at("own_folder").get<bool>();
    job.width = m.at("width").get<int>();
    job.height = m.at("height").get<int>();
    job.antialias = m.at("antialias").get<bool>();
    const std::string format = m.at("format").get<std::string>();
    if (!picture_format("x." + format, nullptr, job.picture).empty())
      return path + ": unknown picture format \"" + format + "\"";
    job.picture.quality = m.at("quality").get<int>();
    job.picture.alpha = m.at("alpha").get<bool>();
    job.pov_version = m.at("pov_version").get<std::string>();
    job.frames = m.at("frames").get<bool>();
    job.first_frame = m.at("first_frame").get<int>();
    job.last_frame = m.at("last_frame").get<int>();
    job.partition = m.at("partition").get<std::string>();
    job.job_ids = m.at("job_ids").get<std::vector<std::string>>();
    job.tasks.clear();
    for (const nlohmann::json &t : m.at("tasks")) {
      FarmTask task;
      task.frame = t.at("frame").get<int>();
      task.first_row = t.at("first_row").get<int>();
      task.last_row = t.at("last_row").get<int>();
      task.submissions = t.at("submissions").get<int>();
      if (task.first_row < 0 || task.first_row > task.last_row || task.last_row > job.height)
        return path + ": a task's rows lie outside the picture";
      job.tasks.push_back(task);
    }
    if (job.width < 1 || job.height < 1 || job.width > 16384 || job.height > 16384 || job.tasks.empty() ||
        job.job_ids.empty())
      return path + " describes no job";
  } catch (const nlohmann::json::exception &e) {
    return path + " is not a brightfold job: " + e.what();
  }
  return "";
}

} // namespace bf
