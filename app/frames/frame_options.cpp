// The frame options of render and the frames' picture names.
#include "app/frames/frame_options.h"

#include "app/cli/commands.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace bf {

const std::vector<std::string> kFrameValueOptions{"--frames", "--fps", "--turntable", "--video"};
const std::vector<std::string> kFrameFlags{"--resume"};

namespace {

constexpr long kMaxFrame = 999'999;

// "A-B" or "N", whole numbers from 0 to kMaxFrame with A <= B.
bool read_range(const std::string &text, int &first, int &last) {
  char *end = nullptr;
  errno = 0;
  const long a = std::strtol(text.c_str(), &end, 10);
  long b = a;
  if (end != text.c_str() && *end == '-') {
    const char *from = end + 1;
    b = std::strtol(from, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(*from)))
      return false;
  }
  if (!std::isdigit(static_cast<unsigned char>(text.c_str()[0])) || *end || errno || a < 0 || b > kMaxFrame ||
      a > b)
    return false;
  first = static_cast<int>(a), last = static_cast<int>(b);
  return true;
}

bool fail(int &code, const std::string &message) {
  code = usage_error(message);
  return false;
}

} // namespace

bool read_frame_options(const ParsedArgs &parsed, const std::string &out, FrameRequest &frames, int &code) {
  const std::string *range = parsed.find("--frames"), *fps = parsed.find("--fps"),
                    *turntable = parsed.find("--turntable"), *video = parsed.find("--video");
  frames.resume = parsed.find("--resume") != nullptr;
  frames.active = range || turntable;
  if (!frames.active && (fps || video || frames.resume))
    return fail(code, "--fps, --resume and --video need --frames A-B or --turntable SECONDS");
  if (!frames.active)
    return true;
  if (out == "-")
    return fail(code, "frames are written to files: name a picture such as out.png, not -");
  if (parsed.find("--watch"))
    return fail(code, "--watch draws a still, not frames");
  if (fps) {
    char *end = nullptr;
    const long n = std::strtol(fps->c_str(), &end, 10);
    if (fps->empty() || *end || n < 1 || n > 1000)
      return fail(code, "--fps needs a whole number of frames a second from 1 to 1000, not \"" + *fps + "\"");
    frames.fps = static_cast<int>(n);
  }
  if (turntable) {
    char *end = nullptr;
    frames.turntable = std::strtod(turntable->c_str(), &end);
    if (turntable->empty() || *end || !(frames.turntable > 0) || frames.turntable > 1e6)
      return fail(code, "--turntable needs the seconds of one orbit, above 0, not \"" + *turntable + "\"");
    // One orbit: frames 1 to seconds * fps, the last one step short of the first.
    frames.first = 1;
    frames.last =
        static_cast<int>(std::fmin(kMaxFrame, std::fmax(1, std::round(frames.turntable * frames.fps))));
  }
  if (range && !read_range(*range, frames.first, frames.last))
    return fail(code, "--frames needs A-B (or one frame N): whole numbers from 0 to " +
                          std::to_string(kMaxFrame) + " with A no more than B, not \"" + *range + "\"");
  if (video) {
    const std::string ext = std::filesystem::path(*video).extension().string();
    if (ext != ".mp4" && ext != ".gif" && ext != ".webm")
      return fail(code, "--video writes .mp4, .gif or .webm, not \"" + *video + "\"");
    frames.video = std::filesystem::absolute(*video).string();
  }
  return true;
}

FrameNames::FrameNames(const std::string &out) {
  // A number directive of the user's: %d or %0Nd.
  for (size_t i = out.find('%'); i != std::string::npos; i = out.find('%', i + 1)) {
    size_t j = i + 1;
    int width = 1;
    if (j + 1 < out.size() && out[j] == '0' && out[j + 1] >= '1' && out[j + 1] <= '9')
      width = out[j + 1] - '0', j += 2;
    if (j < out.size() && out[j] == 'd') {
      before_ = out.substr(0, i), after_ = out.substr(j + 1), width_ = width;
      return;
    }
  }
  const std::filesystem::path p(out);
  const std::string ext = p.extension().string();
  before_ = out.substr(0, out.size() - ext.size()) + "_";
  after_ = ext;
}

std::string FrameNames::path(int frame) const {
  char number[32];
  std::snprintf(number, sizeof number, "%0*d", width_, frame);
  return before_ + number + after_;
}

std::string FrameNames::ffmpeg_pattern() const {
  auto escaped = [](const std::string &text) {
    std::string out;
    for (char c : text)
      out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
  };
  return escaped(before_) + "%0" + std::to_string(width_) + "d" + escaped(after_);
}

} // namespace bf
