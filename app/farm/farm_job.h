// A render handed to a Slurm cluster, and the job folder that holds it: the
// scene text (one file per frame), the include and Targa files the scenes
// share, one POV-Ray INI file per task, the batch script, and job.json, which
// lets `brightfold collect` finish the job later. Every node reads and
// writes the folder, so it must be on a file system that they all see.
//
//   job.json               what was asked, the tasks, the Slurm job ids
//   scene.pov              a still's scene (frames: frame_0001.pov, ...)
//   *.inc, *.tga           the parts and images the scenes include
//   render.sh              the batch script: POV-Ray on task_NNNN.ini
//   task_0000.ini          a task: its scene, its band of rows, its output
//   task_0000.tga          the task's picture, as POV-Ray wrote it
//   task_0000.status       POV-Ray's exit status, written when it ended
//   task_0000.log          what the task printed
#pragma once

#include "app/cli/picture_output.h"

#include <string>
#include <vector>

namespace bf {

struct FarmTask {
  int frame = 0;                   // the frame it renders; 0 for a still
  int first_row = 0, last_row = 0; // its band, rows counted from 1; 0: the whole picture
  int submissions = 0;             // how often it was handed to Slurm
};

struct FarmJob {
  std::string folder;     // absolute
  bool own_folder = true; // made for the job, so removed with it (else only emptied)
  std::string out;        // the picture, or the name the frames' pictures are named after
  int width = 640, height = 480;
  bool antialias = true;
  PictureSettings picture;
  std::string pov_version = "3.0"; // the language of the scenes; 3.0 asks POV-Ray for it
  bool frames = false;
  int first_frame = 1, last_frame = 1;
  std::string partition;            // "" for the cluster's default
  std::vector<FarmTask> tasks;      // task i is Slurm's array index i
  std::vector<std::string> job_ids; // every submission, the latest last
};

// POV-Ray 3.7 anti-aliases (method 1) within render blocks of 32 x 32
// pixels counted from the first row it renders: a band that starts on a
// block's edge gives the same pixels as the whole picture.
constexpr int kPovrayBlockRows = 32;

// `tiles` bands of whole blocks, as even as they can be; fewer when the
// picture has fewer blocks of rows.
std::vector<FarmTask> plan_bands(int height, int tiles);
// One task per frame from first to last.
std::vector<FarmTask> plan_frames(int first, int last);

// File names in the job folder.
std::string task_file(int index, const char *suffix); // task_0003.ini
std::string scene_file(const FarmTask &task);         // scene.pov, frame_0003.pov
constexpr const char *kJobManifest = "job.json";
constexpr const char *kBatchScript = "render.sh";

// The picture of a frame, as a local render names it: OUT.png gives
// OUT_0001.png; a %04d in the name takes the number instead.
std::string frame_picture(const std::string &out, int frame);
// What a task renders, for messages: "task 2 (frame 3)", "task 1 (rows 33-64)".
std::string task_label(const FarmJob &job, int index);

// Writes the INI files and the batch script; "" when done, else why not.
std::string write_task_files(const FarmJob &job);
// job.json, written whole; "" when done, else why not.
std::string write_manifest(const FarmJob &job);
// Reads the job folder's job.json; "" when done, else why not.
std::string read_manifest(const std::string &folder, FarmJob &job);

} // namespace bf
