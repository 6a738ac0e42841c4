// render's cluster options: --slurm, --partition, --tiles, --no-wait,
// --job-dir. (The frames are render's own options.)
#include "app/farm/farm_run.h"

#include "app/frames/frame_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace bf {

namespace {

bool whole_number(const std::string &text, int low, int high, int &value) {
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || n < low || n > high)
    return false;
  value = static_cast<int>(n);
  return true;
}

// The option's value, from "--name=value" or the next argument, which is
// taken out of args with it; false when there is none.
bool take_value(Args &args, size_t i, const std::string &name, std::string &value) {
  if (args[i].size() > name.size()) {
    value = args[i].substr(name.size() + 1);
  } else {
    if (i + 1 >= args.size())
      return false;
    value = args[i + 1];
    args.erase(args.begin() + static_cast<long>(i) + 1);
  }
  args.erase(args.begin() + static_cast<long>(i));
  return true;
}

} // namespace

bool take_farm_options(Args &args, FarmOptions &farm, int &code) {
  const std::vector<std::string> valued = {"--partition", "--tiles", "--job-dir"};
  std::vector<std::string> given;
  for (size_t i = 0; i < args.size();) {
    const std::string &a = args[i];
    if (a == "--")
      break;
    const std::string name = a.substr(0, a.find('='));
    if (a == "--slurm" || a == "--no-wait") {
      given.push_back(a);
      if (a == "--slurm")
        farm.slurm = true;
      else
        farm.wait = false;
      args.erase(args.begin() + static_cast<long>(i));
      continue;
    }
    if (std::find(valued.begin(), valued.end(), name) == valued.end()) {
      ++i;
      continue;
    }
    std::string value;
    if (!take_value(args, i, name, value)) {
      code = usage_error("option " + name + " needs a value");
      return false;
    }
    given.push_back(name);
    if (name == "--partition")
      farm.partition = value;
    else if (name == "--job-dir")
      farm.job_dir = value;
    else if (name == "--tiles" && !whole_number(value, 1, 1000, farm.tiles)) {
      code = usage_error("--tiles needs a whole number from 1 to 1000, not \"" + value + "\"");
      return false;
    }
  }
  for (const std::string &name : given)
    if (!farm.slurm) {
      code = usage_error(name + " goes with --slurm");
      return false;
    }
  return true;
}

bool take_farm_frames(const FrameRequest &frames, FarmOptions &farm, int &code) {
  if (!farm.slurm || !frames.active)
    return true;
  if (farm.tiles > 1) {
    code = usage_error("--tiles splits a still into bands; with --frames each frame is a task of its own");
    return false;
  }
  if (frames.resume || !frames.video.empty()) {
    code = usage_error(std::string(frames.resume ? "--resume" : "--video") +
                       " goes without --slurm: when the job is done, a local render of the same frames with "
                       "--resume --video OUT.mp4 keeps every frame and makes the video");
    return false;
  }
  farm.frames = true;
  farm.first_frame = frames.first;
  farm.last_frame = frames.last;
  farm.fps = frames.fps;
  farm.turntable = frames.turntable;
  return true;
}

} // namespace bf
