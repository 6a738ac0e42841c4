// render's cluster options: --slurm, --partition, --tiles, --no-wait,
// --job-dir (and --frames with --slurm).
#include "app/farm/farm_run.h"

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

// "A-B" (or "A" alone), frames from 0 up.
bool frame_range(const std::string &text, int &first, int &last) {
  const size_t dash = text.find('-', 1);
  if (!whole_number(text.substr(0, dash), 0, 9999999, first))
    return false;
  last = first;
  return dash == std::string::npos || (whole_number(text.substr(dash + 1), first, 9999999, last));
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
  const std::vector<std::string> valued = {"--partition", "--tiles", "--job-dir", "--frames"};
  std::vector<std::string> given;
  bool has_slurm = false;
  for (const std::string &a : args) {
    if (a == "--")
      break;
    has_slurm = has_slurm || a == "--slurm";
  }
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
    if (std::find(valued.begin(), valued.end(), name) == valued.end() || (name == "--frames" && !has_slurm)) {
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
    } else if (name == "--frames" && !(farm.frames = frame_range(value, farm.first_frame, farm.last_frame))) {
      code = usage_error("--frames needs a range of frames such as 1-24, not \"" + value + "\"");
      return false;
    }
  }
  for (const std::string &name : given)
    if (!farm.slurm) {
      code = usage_error(name + " goes with --slurm");
      return false;
    }
  if (farm.frames && farm.tiles > 1) {
    code = usage_error("--tiles splits a still into bands; with --frames each frame is a task of its own");
    return false;
  }
  return true;
}

} // namespace bf
