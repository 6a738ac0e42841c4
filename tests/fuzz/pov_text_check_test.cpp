// The scene-text checker that the fuzz targets rely on: it must pass what
// the module writes and catch each kind of breakage.
#include "pov_text_check.h"

#include <gtest/gtest.h>

using bf_fuzz::check_pov_text;
using bf_fuzz::is_one_block_comment;

TEST(PovTextCheck, PassesWhatTheModuleWrites) {
  EXPECT_EQ(check_pov_text("/* Object oku_Tri_1 */\n#declare OKU_MESH_0 = mesh {\n"
                           "\tsmooth_triangle { < 0, 1, 0 >, < 0, 0, -1 >, < 0, 0, 0 >, < 0, 0, -1 >, "
                           "< 1, 0, 0 >, < 0, 0, -1 >\t}\n}\n#declare OKU_OBJECT = object {OKU_MESH_0}\n"),
            "");
  EXPECT_EQ(check_pov_text("#declare OKU_MESH_1 = union {\n}\n"), "");
  EXPECT_EQ(check_pov_text("#if (file_exists (OKU_SCENE_DEFS))\n#include OKU_SCENE_DEFS\n#end\n"), "");
  EXPECT_EQ(check_pov_text("/*\nobject { // a / * b * / c \"\n}\n*/\n"), "");
  EXPECT_EQ(check_pov_text("texture { pigment { image_map { tga \"oku_w\\u00e9.tga\" } } }\n"), "");
  EXPECT_EQ(check_pov_text("object { // caf\xc3\xa9 \xff\n}\n"), "");
  EXPECT_EQ(check_pov_text("scale <1e-45, 3.40282e+38, -0>\n"), "");
}

TEST(PovTextCheck, CatchesBrokenComments) {
  EXPECT_NE(check_pov_text("/* a /* b */\nsphere { 0, 1 }\n"), ""); // comments nest
  EXPECT_NE(check_pov_text("/*\nobject { // x */ y\n*/\n"), "");    // "//" does not hide "*/"
  EXPECT_NE(check_pov_text("object { // a\nb */ }\n"), "");
  EXPECT_TRUE(is_one_block_comment("/* a // b */"));
  EXPECT_TRUE(is_one_block_comment("/* a /* b */ c */"));
  EXPECT_FALSE(is_one_block_comment("/* a */ b */"));
  EXPECT_FALSE(is_one_block_comment("/* a */ b"));
  EXPECT_FALSE(is_one_block_comment("/* a /* b */"));
}

TEST(PovTextCheck, CatchesBrokenStringsAndBraces) {
  EXPECT_NE(check_pov_text("#include \"a\nb.inc\"\n"), "");
  EXPECT_NE(check_pov_text("#include \"a\" b.inc\"\n"), "");
  EXPECT_NE(check_pov_text("#include \"a\\\"\n"), "");
  EXPECT_NE(check_pov_text("object { sphere { 0, 1 }\n"), "");
  EXPECT_NE(check_pov_text("object { sphere { 0, 1 } } }\n"), "");
  EXPECT_NE(check_pov_text("#if (a\n"), "");
  EXPECT_NE(check_pov_text("object { ( }\n"), "");
}

TEST(PovTextCheck, CatchesEmptyMeshesAndNumbersPovRayCannotRead) {
  EXPECT_NE(check_pov_text("#declare OKU_MESH_0 = mesh {\n}\n"), "");
  EXPECT_NE(check_pov_text("scale <1, nan, 1>\n"), "");
  EXPECT_NE(check_pov_text("scale <1, -inf, 1>\n"), "");
  EXPECT_NE(check_pov_text("scale <1, -NaN, 1>\n"), "");
  EXPECT_NE(check_pov_text("translate <1e999, 0, 0>\n"), "");
  EXPECT_NE(check_pov_text("object { \xc3\xa9 }\n"), ""); // a stray byte outside comments
}
