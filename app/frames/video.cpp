// ffmpeg started with fork and exec, its output kept for the error report,
// stopped when the command is interrupted.
#include "app/frames/video.h"

#include "app/watch/povray_run.h"

#include "wholefile/whole_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

namespace bf {

namespace {

bool executable(const std::string &path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The encoder settings for the video's kind.
std::vector<std::string> codec_args(const std::string &video) {
  const std::string ext = std::filesystem::path(video).extension().string();
  if (ext == ".gif")
    return {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-f", "gif"};
  if (ext == ".webm")
    return {"-c:v", "libvpx", "-b:v", "4M", "-pix_fmt", "yuv420p", "-f", "webm"};
  // H.264 in 4:2:0 wants even sizes.
  return {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-f", "mp4"};
}

// Runs the program, its standard error into `log`; its exit status, or -1
// when it could not be started or was stopped.
int run(const std::vector<std::string> &args, const std::string &log) {
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (err < 0 || in < 0 || dup2(err, STDERR_FILENO) < 0 || dup2(err, STDOUT_FILENO) < 0 ||
        dup2(in, STDIN_FILENO) < 0)
      _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (child < 0)
    return -1;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child)
      break;
    if (done < 0 && errno != EINTR)
      return -1;
    if (RenderGuard::interrupted())
      kill(child, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string last_lines(const std::string &log) {
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

} // namespace

std::string find_ffmpeg() {
  if (const char *given = std::getenv("BRIGHTFOLD_FFMPEG"))
    return executable(given) ? given : "";
  const char *path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && executable(dir + "/ffmpeg"))
      return dir + "/ffmpeg";
  return "";
}

std::string make_video(const std::string &ffmpeg, const std::string &pattern, int first, int fps,
                       const std::string &video) {
  const std::string target = wf::final_target(video);
  std::string temp;
  wf::Pending *pending = nullptr;
  FILE *file = wf::open_beside(target, nullptr, ".bf-", temp, &pending);
  if (file == nullptr)
    return std::string("cannot write beside it: ") + std::strerror(errno);
  std::fclose(file);
  const std::string log = "ffmpeg.log"; // in the render's private directory
  std::vector<std::string> args{
      ffmpeg,       "-nostdin",          "-hide_banner",  "-loglevel",           "error", "-y",
      "-framerate", std::to_string(fps), "-start_number", std::to_string(first), "-i",    pattern};
  for (const std::string &a : codec_args(video))
    args.push_back(a);
  args.push_back(temp);
  const int status = run(args, log);
  const std::string said = last_lines(log);
  std::remove(log.c_str());
  if (RenderGuard::interrupted()) {
    wf::discard(nullptr, temp.c_str(), pending);
    return "interrupted";
  }
  if (status != 0) {
    wf::discard(nullptr, temp.c_str(), pending);
    return "ffmpeg " +
           (status < 0 ? std::string("could not be run or was stopped")
                       : "failed (exit status " + std::to_string(status) + ")") +
           (said.empty() ? "" : ":\n" + said);
  }
  if (!wf::put_in_place(temp.c_str(), target.c_str(), &pending)) {
    const int error = errno;
    wf::discard(nullptr, temp.c_str(), pending);
    return std::strerror(error);
  }
  return "";
}

} // namespace bf
