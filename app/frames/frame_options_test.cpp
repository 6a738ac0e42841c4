// The frames' picture names.
#include "app/frames/frame_options.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameNames, TheNumberGoesBeforeTheExtensionOrWhereOutSaysSo) {
  const struct {
    const char *out;
    int frame;
    const char *path, *pattern;
  } rows[] = {
      {"/a/out.png", 7, "/a/out_0007.png", "/a/out_%04d.png"},
      {"/a/out.tga", 123456, "/a/out_123456.tga", "/a/out_%04d.tga"}, // more digits when needed
      {"/a/f%02d.jpg", 3, "/a/f03.jpg", "/a/f%02d.jpg"},
      {"/a/f%d.png", 3, "/a/f3.png", "/a/f%01d.png"},
      {"/a/100%/x%04d.png", 12, "/a/100%/x0012.png",
       "/a/100%%/x%04d.png"}, // another % stays, doubled for ffmpeg
      {"/a/50%s.v1/pic.png", 1, "/a/50%s.v1/pic_0001.png", "/a/50%%s.v1/pic_%04d.png"},
  };
  for (const auto &row : rows) {
    const bf::FrameNames names(row.out);
    EXPECT_EQ(names.path(row.frame), row.path) << row.out;
    EXPECT_EQ(names.ffmpeg_pattern(), row.pattern) << row.out;
  }
}

} // namespace
