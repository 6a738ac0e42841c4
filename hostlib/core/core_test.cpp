#include "core/ascii_text.h"
#include "zalbase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::string simple(const char *path) {
  char out[256];
  return pathname_get_simple(path, out);
}

std::string with_ext(const char *base, const char *name, const char *ext) {
  char out[256];
  return pathname_set(out, base, name, nullptr, ext);
}

int compare_ints(const void *a, const void *b) {
  return *static_cast<const int *>(a) - *static_cast<const int *>(b);
}

} // namespace

TEST(List, PositionsCountFromOneAndFindUsesTheComparison) {
  LIST list;
  int a = 1, b = 2, c = 2;
  EXPECT_EQ(list.add(&a), 1);
  EXPECT_EQ(list.append(&b), 2);
  EXPECT_EQ(list.get(0), nullptr);
  EXPECT_EQ(list.get(3), nullptr);
  EXPECT_EQ(list.get(2), &b);
  EXPECT_EQ(list.findcontents(&c, compare_ints), 2);
  EXPECT_EQ(list.remove(1), 1);
  EXPECT_EQ(list.remove(5), 0);
  EXPECT_EQ(list.get(1), &b);
}

TEST(ListIter, FirstNextAndRemoveWalkEveryItemOnce) {
  LIST list;
  int v[4] = {1, 2, 3, 4};
  for (int &x : v)
    list.add(&x);
  LIST_ITER it(list);
  int seen = 0;
  while (it.next()) {
    int value = *static_cast<int *>(it.getdata());
    if (value % 2 == 0)
      it.remove();
    ++seen;
  }
  EXPECT_EQ(seen, 4);
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(*static_cast<int *>(list.get(2)), 3);
  LIST empty;
  LIST_ITER none(empty);
  EXPECT_EQ(none.first(), 0);
  EXPECT_EQ(none.next(), 0);
}

TEST(Assoc, KeepsInsertionOrderAndReplacesExistingKeys) {
  ASSOC table;
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(table.add("x.inc", &a), 1);
  EXPECT_EQ(table.add("y.inc", &b), 2);
  EXPECT_EQ(table.add("x.inc", &c), 1);
  EXPECT_EQ(table.count(), 2);
  EXPECT_EQ(table.find("y.inc"), 2);
  EXPECT_EQ(table.find("z.inc"), 0);
  EXPECT_EQ(table.getvalue("x.inc"), &c);
  EXPECT_EQ(table.getvalue("nope"), nullptr);
  EXPECT_STREQ(table.getkey(2), "y.inc");
  static int released;
  released = 0;
  table.clear([](void *) { ++released; });
  EXPECT_EQ(released, 2);
  EXPECT_EQ(table.count(), 0);
  EXPECT_EQ(table.getvalue(1), nullptr);
}

TEST(Text, CaseInsensitiveCompareAndNarrowCopy) {
  EXPECT_EQ(zal_stricmp("Wood.PNG", "wood.png"), 0);
  EXPECT_LT(zal_stricmp("a", "b"), 0);
  EXPECT_NE(zal_stricmp("a", "ab"), 0);
  char out[256];
  std::string longer(300, 'n');
  EXPECT_EQ(std::string(zal_narrow(out, longer.c_str())).size(), 255u);
  // A two-byte character straddling the cut is dropped whole.
  std::string utf8(254, 'a');
  utf8 += "\xc3\xa9";
  EXPECT_EQ(std::string(zal_narrow(out, utf8.c_str())).size(), 254u);
  EXPECT_STREQ(zal_narrow(out, "Bracket"), "Bracket");
  // A long run of continuation bytes is not UTF-8: it is cut at the
  // capacity (give or take a character), not backed over down to nothing.
  std::string garbage = "ab" + std::string(300, '\x80');
  EXPECT_GE(std::string(zal_narrow(out, garbage.c_str())).size(), 252u);
}

TEST(Text, AsciiLowerLeavesEveryOtherByte) {
  EXPECT_EQ(zal::ascii_lower(std::string("OBJ.Ply_Z@[`{")), "obj.ply_z@[`{");
  EXPECT_EQ(zal::ascii_lower(std::string("\xc3\x84\xc4\xb0")), "\xc3\x84\xc4\xb0"); // UTF-8 stays as it is
  EXPECT_EQ(zal::ascii_lower('I'), 'i');
}

// Cutting "a" + U+00E9 (2 bytes) + U+20AC (3 bytes) at each length: never
// inside a character; a run of continuation bytes longer than a character
// is cut where it is.
TEST(Text, Utf8CutNeverSplitsACharacter) {
  const char *text = "a\xc3\xa9\xe2\x82\xac!";
  const size_t expected[] = {0, 1, 1, 3, 3, 3, 6};
  for (size_t n = 0; n < sizeof expected / sizeof expected[0]; ++n)
    EXPECT_EQ(zal::utf8_cut(text, n), expected[n]) << n;
  EXPECT_EQ(zal::utf8_cut("a\x80\x80\x80\x80\x80", 5), 2u);
}

TEST(Paths, SimpleNameSplitAndExtensions) {
  EXPECT_EQ(simple("/a/b/wood.png"), "wood.png");
  EXPECT_EQ(simple("C:\\images\\wood.png"), "wood.png");
  EXPECT_EQ(simple("wood"), "wood");
  char dir[256], name[256], ext[256];
  split_path("/x/y/my part-2.obj", dir, name, ext);
  EXPECT_STREQ(dir, "/x/y/");
  EXPECT_STREQ(name, "my part-2");
  EXPECT_STREQ(ext, "obj");
  split_path("/x/y/wedge.v2.obj", dir, name, ext); // the last dot starts the extension
  EXPECT_STREQ(name, "wedge.v2");
  EXPECT_STREQ(ext, "obj");
  split_path("$$povuds.pov", nullptr, name, nullptr);
  EXPECT_STREQ(name, "$$povuds");
  EXPECT_EQ(with_ext("/out/scene.pov", "Bracket", "inc"), "/out/Bracket.inc");
  EXPECT_EQ(with_ext("$$povuds.pov", "Knob1", "inc"), "Knob1.inc");
  char added[256];
  EXPECT_STREQ(pathname_add_ext(added, "Bracket", "inc"), "Bracket.inc");
}

TEST(Paths, NumbersInDerivedNamesAreNeverExtensions) {
  // Only a trailing run of letters and digits that starts with a letter counts.
  EXPECT_EQ(with_ext("oku_wood.png", nullptr, "tga"), "oku_wood.tga");
  EXPECT_EQ(with_ext("oku_wood.v2.png", nullptr, "tga"), "oku_wood.v2.tga");
  EXPECT_EQ(with_ext("oku_wood.png_ck   0.25   1", nullptr, "tga"), "oku_wood.png_ck   0.25   1.tga");
  EXPECT_NE(with_ext("oku_wood.png_ck   20.25", nullptr, "tga"),
            with_ext("oku_wood.png_ck   20.75", nullptr, "tga"));
  EXPECT_EQ(with_ext("oku_wood.png_c", nullptr, "tga"), "oku_wood.png_c.tga");
  EXPECT_EQ(with_ext("oku_wood_50", nullptr, "tga"), "oku_wood_50.tga");
  EXPECT_EQ(with_ext("oku_wood.png_ca 1.5e+06", nullptr, "tga"), "oku_wood.png_ca 1.5e+06.tga");
}

TEST(Maths, QuaternionTurnsVectorsByTheTransposeOfItsMatrix) {
  // R turns 90 degrees about z (x to y); its quaternion's usual matrix is
  // R transposed, the turn by -90 degrees.
  float s = std::sqrt(0.5f);
  ZAL_QUAT q{0, 0, -s, s};
  ZAL_VECT3 v = q.xform({1, 0, 0});
  EXPECT_NEAR(v.x, 0, 1e-6);
  EXPECT_NEAR(v.y, 1, 1e-6);
  EXPECT_NEAR(v.z, 0, 1e-6);
  EXPECT_FLOAT_EQ((ZAL_VECT3{3, 4, 0}.mag()), 5.0f);
}
