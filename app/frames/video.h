// The frames assembled into a video by Debian's ffmpeg.
#pragma once

#include <string>

namespace bf {

// The ffmpeg program: $BRIGHTFOLD_FFMPEG when set, else the first ffmpeg on
// the PATH; "" when there is none.
std::string find_ffmpeg();

// Runs ffmpeg (no shell) on the pictures `pattern` (ffmpeg's %0Nd form)
// from frame `first` at `fps`, into `video` (.mp4, .gif or .webm), written
// under a temporary name beside it and renamed when whole. "" when done,
// else why not. Runs in the render's private directory (the current one).
std::string make_video(const std::string &ffmpeg, const std::string &pattern, int first, int fps,
                       const std::string &video);

} // namespace bf
