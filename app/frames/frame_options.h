// What brightfold render --frames, --turntable, --resume and --video ask
// for, and the names of the frames' pictures.
#pragma once

#include <string>
#include <vector>

namespace bf {

struct ParsedArgs;

struct FrameRequest {
  bool active = false; // --frames or --turntable: pictures of frames
  int first = 1, last = 1;
  int fps = 24;         // frame n is the scene at n / fps seconds
  double turntable = 0; // seconds for one orbit of the camera; 0: none
  bool resume = false;  // frames whose picture is there whole are kept
  std::string video;    // absolute; "" for none
};

// The options render takes for frames: with a value, and flags.
extern const std::vector<std::string> kFrameValueOptions, kFrameFlags;

// Reads the frame options of `parsed`; `out` is the picture named
// (absolute, or "-"). False (after usage_error, in `code`) when they are
// bad or do not go together.
bool read_frame_options(const ParsedArgs &parsed, const std::string &out, FrameRequest &frames, int &code);

// The pictures' names: OUT.png gives OUT_0001.png..., a name holding %0Nd
// (or %d) has the number there, N digits at least.
class FrameNames {
public:
  explicit FrameNames(const std::string &out);
  std::string path(int frame) const;
  // The names as ffmpeg's image sequence pattern ("%" in the rest doubled).
  std::string ffmpeg_pattern() const;

private:
  std::string before_, after_;
  int width_ = 4;
};

} // namespace bf
