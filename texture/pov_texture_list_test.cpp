// The texture list: acquiring, sharing, releasing and clearing records.
#include "tests/support/textured_scenes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using textest::ScratchCwd;
using textest::textured;

TEST(TextureList, ExistingFileIsReusedWithoutConversion) {
  ScratchCwd dir;
  // The image itself does not exist: only reuse can make the texture usable.
  textest::write_targa_header(dir.file("oku_wood.tga"), 640, 480);
  int usable = 0;
  TextureRecord *r = texture_acquire(dir.session, textured(nullptr, dir.file("missing/wood.png")), &usable);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(usable, 1);
  EXPECT_EQ(r->width, 640);
  EXPECT_EQ(r->height, 480);
  EXPECT_EQ(r->converted, 0);
  EXPECT_EQ(dir.state->texture_list.count(), 1);
  EXPECT_EQ(dir.state->texture_list.get(1), r);
  texture_release(dir.state, r); // listed: kept
  EXPECT_EQ(dir.state->texture_list.get(1), r);
  EXPECT_EQ(r->width, 640);
}

TEST(TextureList, ObjectsShareOneRecordAndOneConversion) {
  ScratchCwd dir;
  ASSERT_TRUE(textest::write_png(dir.file("Wood.png"), 4, 2, textest::pattern(4, 2)));
  int usable = 0;
  TextureRecord *first = texture_acquire(dir.session, textured(nullptr, dir.file("Wood.png"), 1), &usable);
  EXPECT_EQ(usable, 1);
  EXPECT_EQ(first->converted, 1);
  EXPECT_TRUE(dir.exists("oku_Wood.png_c.tga"));
  // With the image and the Targa file gone, only the listed record can serve.
  std::filesystem::remove(dir.file("Wood.png"));
  std::filesystem::remove(dir.file("oku_Wood.png_c.tga"));
  TextureRecord *second = texture_acquire(dir.session, textured(nullptr, dir.file("WOOD.PNG"), 1), &usable);
  EXPECT_EQ(usable, 1);
  EXPECT_EQ(second, first);
  EXPECT_EQ(dir.state->texture_list.count(), 1);
  texture_release(dir.state, second);
  texture_release(dir.state, first);
  EXPECT_EQ(dir.state->texture_list.count(), 1);
}

TEST(TextureList, SameFileNameFromAnotherDirectoryGetsItsOwnRecord) {
  ScratchCwd dir;
  std::filesystem::create_directory(dir.file("a"));
  ASSERT_TRUE(textest::write_png(dir.file("a/wood.png"), 3, 5, textest::pattern(3, 5)));
  int usable = 0;
  TextureRecord *first = texture_acquire(dir.session, textured(nullptr, dir.file("a/wood.png")), &usable);
  ASSERT_EQ(usable, 1);
  // b/wood.png does not exist; the file that a/wood.png made serves it.
  TextureRecord *second = texture_acquire(dir.session, textured(nullptr, dir.file("b/wood.png")), &usable);
  EXPECT_EQ(usable, 1);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->converted, 0);
  EXPECT_EQ(second->width, 3);
  EXPECT_EQ(second->height, 5);
  EXPECT_EQ(dir.state->texture_list.count(), 2);
}

TEST(TextureList, FailedConversionIsNotListed) {
  ScratchCwd dir;
  int usable = 1;
  TextureRecord *r = texture_acquire(dir.session, textured(nullptr, dir.file("missing.png")), &usable);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(usable, 0);
  EXPECT_STREQ(r->file_name, "oku_missing.tga");
  EXPECT_EQ(r->width, 1);
  EXPECT_EQ(dir.state->texture_list.count(), 0);
  EXPECT_TRUE(dir.entries().empty());
  texture_release(dir.state, r); // transient: freed (the sanitizer build checks for leaks)
  texture_release(dir.state, nullptr);
}

TEST(TextureList, ADirectoryUnderTheTargaNameIsNoConvertedFile) {
  ScratchCwd dir;
  std::filesystem::create_directory(dir.file("oku_wood.tga"));
  int usable = 1;
  TextureRecord *r = texture_acquire(dir.session, textured(nullptr, dir.file("missing/wood.png")), &usable);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(usable, 0); // written commented out, not as a picture that is none
  EXPECT_EQ(dir.state->texture_list.count(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("oku_wood.tga")));
  texture_release(dir.state, r);
}

TEST(TextureList, ClearDeletesOnlyTheFilesItMade) {
  ScratchCwd dir;
  ASSERT_TRUE(textest::write_png(dir.file("made.png"), 2, 2, textest::pattern(2, 2)));
  textest::write_targa_header(dir.file("oku_found.tga"), 8, 8);
  int usable = 0;
  texture_acquire(dir.session, textured(nullptr, dir.file("made.png")), &usable);
  texture_acquire(dir.session, textured(nullptr, dir.file("found.png")), &usable);
  ASSERT_EQ(dir.state->texture_list.count(), 2);
  texture_list_clear(dir.state, 1);
  EXPECT_EQ(dir.state->texture_list.count(), 0);
  EXPECT_FALSE(dir.exists("oku_made.tga"));
  EXPECT_TRUE(dir.exists("oku_found.tga"));

  // Clearing without deletion keeps every file; the next acquisition finds it.
  texture_acquire(dir.session, textured(nullptr, dir.file("made.png")), &usable);
  texture_list_clear(dir.state, 0);
  EXPECT_TRUE(dir.exists("oku_made.tga"));
  TextureRecord *again = texture_acquire(dir.session, textured(nullptr, dir.file("made.png")), &usable);
  EXPECT_EQ(again->converted, 0);
}

TEST(TextureList, ManyTexturesKeepOrderAndIdentity) {
  ScratchCwd dir;
  const int count = 2000;
  for (int i = 0; i < count; i++)
    textest::write_targa_header(dir.file("oku_t" + std::to_string(i) + ".tga"), i + 1, 1);
  std::vector<TextureRecord *> records;
  int usable = 0;
  for (int i = 0; i < count; i++)
    records.push_back(
        texture_acquire(dir.session, textured(nullptr, "/x/t" + std::to_string(i) + ".png"), &usable));
  ASSERT_EQ(dir.state->texture_list.count(), count);
  for (int i = 0; i < count; i++) {
    EXPECT_EQ(dir.state->texture_list.get(i + 1), records[i]);
    // Upper case finds the same record.
    EXPECT_EQ(texture_acquire(dir.session, textured(nullptr, "/X/T" + std::to_string(i) + ".PNG"), &usable),
              records[i]);
  }
  EXPECT_EQ(dir.state->texture_list.count(), count);
  EXPECT_EQ(records[count - 1]->width, count);
}

TEST(TextureList, IndexFollowsAListEmptiedElsewhere) {
  ScratchCwd dir;
  textest::write_targa_header(dir.file("oku_wood.tga"), 2, 2);
  int usable = 0;
  TextureRecord *r = texture_acquire(dir.session, textured(nullptr, "/x/wood.png"), &usable);
  // Someone empties the shared list by hand (taking the record with them).
  dir.state->texture_list.remove(1);
  TextureRecord *again = texture_acquire(dir.session, textured(nullptr, "/x/wood.png"), &usable);
  EXPECT_NE(again, r);
  EXPECT_EQ(dir.state->texture_list.count(), 1);
  texture_record_free(r);
}

} // namespace
