// Bad scene files: each is refused with a message naming the file and the
// line and column (syntax) or the JSON pointer (values).
#include "app/scene/scene_loader.h"

#include "app/scene/json_text.h"
#include "oku/scene_db.h"
#include "tests/support/loader_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string error_of(const std::string &text) {
  try {
    bf::load_scene_text(text, "bad.json");
  } catch (const bf::SceneError &e) {
    return e.what();
  }
  return "(loaded)";
}

// The shared table: each message names the file and the line and column, or
// the JSON pointer of the value.
TEST(SceneErrors, EveryRowOfTheLoaderMessageTable) {
  for (const bftest::LoaderMessage &row : bftest::loader_messages())
    EXPECT_EQ(error_of(row.scene), "bad.json" + row.message) << row.name;
}

TEST(SceneErrors, NulBytesAreRefusedWhereverTheyAre) {
  // The parser would stop at the NUL and take the text before it for the
  // whole file (found by the fuzzer: a bad key after the NUL then escaped
  // as the parser's own exception).
  using namespace std::string_literals;
  EXPECT_EQ(error_of("{\"root\": {}}\0{\"junk\": 1}"s),
            "bad.json:1:13: a NUL byte (the file is not JSON text)");
  EXPECT_EQ(error_of("\"rotation\"\0\0{\"a\\q\": 1}"s),
            "bad.json:1:11: a NUL byte (the file is not JSON text)");
  EXPECT_EQ(error_of("{\"root\": {\"name\": \"a\0b\"}}"s),
            "bad.json:1:21: a NUL byte (the file is not JSON text)");
}

TEST(SceneErrors, RepeatedKeysAndDeepNesting) {
  EXPECT_EQ(error_of(R"({"root": {"name": "a", "id": 1, "name": "b"}})"),
            "bad.json:1:33: duplicate key \"name\"");
  EXPECT_EQ(error_of("{\"root\": {\"n\\u0061me\": \"a\",\n \"name\": \"b\"}}"),
            "bad.json:2:2: duplicate key \"name\"");
  // The same key in different objects is fine.
  EXPECT_EQ(error_of(R"({"root": {"name": "a", "children": [{"type": "group", "name": "a"}]}})"), "(loaded)");

  const std::string deep = "{\"root\": {\"texture\": " + std::string(bf::kMaxJsonDepth, '[');
  EXPECT_EQ(error_of(deep), "bad.json:1:" + std::to_string(21 + bf::kMaxJsonDepth - 1) +
                                ": nesting deeper than " + std::to_string(bf::kMaxJsonDepth) + " levels");
  // Very deep text is refused without building it all.
  EXPECT_EQ(error_of(std::string(1000000, '[')).substr(0, 15), "bad.json:1:601:");

  // One level of children beyond the limit.
  std::string text = R"({"root": {)", pointer = "/root";
  for (int i = 0; i <= bf::kMaxTreeDepth; ++i) {
    text += R"("children": [{"type": "group", )";
    if (i < bf::kMaxTreeDepth)
      pointer += "/children/0";
  }
  text += R"("name": "x")";
  for (int i = 0; i <= bf::kMaxTreeDepth; ++i)
    text += "}]";
  text += "}}";
  EXPECT_EQ(error_of(text), "bad.json: " + pointer + "/children: children nested deeper than 256 levels");
}

// Every number the loader reads, at a value beyond the float range: each is
// refused by its pointer, so no "inf" can reach the scene text.
TEST(SceneErrors, EveryNumericKeyRefusesNumbersBeyondTheFloatRange) {
  struct Key {
    const char *json; // "@" stands for the number
    const char *pointer;
  };
  const Key keys[] = {
      {R"({"environment": {"ambient": @}})", "/environment/ambient"},
      {R"({"environment": {"background": [0, @, 0]}})", "/environment/background/1"},
      {R"({"root": {"opacity": @}})", "/root/opacity"},
      {R"({"root": {"position": [@, 0, 0]}})", "/root/position/0"},
      {R"({"root": {"rotation": [0, @, 0]}})", "/root/rotation/1"},
      {R"({"root": {"look_at": [0, 0, @]}})", "/root/look_at/2"},
      {R"({"root": {"look_at": [0, 0, 1], "sky": [@, 1, 0]}})", "/root/sky/0"},
      {R"({"root": {"color": [@, 0, 0]}})", "/root/color/0"},
      {R"({"root": {"specular": [0, @, 0]}})", "/root/specular/1"},
      {R"({"root": {"emission": [0, 0, @]}})", "/root/emission/2"},
      {R"({"root": {"shininess": @}})", "/root/shininess"},
      {R"({"root": {"reflectivity": @}})", "/root/reflectivity"},
      {R"({"root": {"intensity": @}})", "/root/intensity"},
      {R"({"root": {"fade_distance": @}})", "/root/fade_distance"},
      {R"({"root": {"cone_angle": @}})", "/root/cone_angle"},
      {R"({"root": {"exponent": @}})", "/root/exponent"},
      {R"({"root": {"view_angle": @}})", "/root/view_angle"},
      {R"({"root": {"pivot": [0, @, 0]}})", "/root/pivot/1"},
      {R"({"root": {"orientation": [0, 0, @, 1]}})", "/root/orientation/2"},
      {R"({"root": {"euler": [@, 0, 0]}})", "/root/euler/0"},
      {R"({"root": {"midpoint": [0, @, 0]}})", "/root/midpoint/1"},
      {R"({"root": {"radius": @}})", "/root/radius"},
      {R"({"root": {"geometry": {"primitive": "box", "size": [1, 1, @]}}})", "/root/geometry/size/2"},
      {R"({"root": {"geometry": {"primitive": "sphere", "radius": @}}})", "/root/geometry/radius"},
      {R"({"root": {"geometry": {"primitive": "cone", "height": @}}})", "/root/geometry/height"},
      {R"({"root": {"geometry": {"primitive": "rectangle", "width": @}}})", "/root/geometry/width"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, @, 0]]}}}})", "/root/geometry/mesh/vertices/0/1"},
      {R"({"root": {"geometry": {"mesh": {"normals": [[0, 0, @]]}}}})", "/root/geometry/mesh/normals/0/2"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0],)"
       R"( "color": [@, 0, 0]}]}}}})",
       "/root/geometry/mesh/polygons/0/color/0"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0],)"
       R"( "uv": [[0, 0], [0, @], [0, 0]]}]}}}})",
       "/root/geometry/mesh/polygons/0/uv/1/1"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0],)"
       R"( "colors": [[0, 0, 0], [0, 0, 0], [0, 0, @]]}]}}}})",
       "/root/geometry/mesh/polygons/0/colors/2/2"},
      {R"({"root": {"texture": {"scale": [@, 1]}}})", "/root/texture/scale/0"},
      {R"({"root": {"texture": {"position": [0, @]}}})", "/root/texture/position/1"},
      {R"({"root": {"texture": {"angle": @}}})", "/root/texture/angle"},
      {R"({"root": {"texture": {"grid_position": [0, 0, @]}}})", "/root/texture/grid_position/2"},
      {R"({"root": {"texture": {"grid_angles": [@, 0, 0]}}})", "/root/texture/grid_angles/0"},
  };
  for (const Key &key : keys) {
    for (const char *number : {"3.5e38", "-1e300"}) {
      std::string text = key.json;
      text.replace(text.find('@'), 1, number);
      EXPECT_EQ(error_of(text), std::string("bad.json: ") + key.pointer + ": number out of range") << text;
    }
  }
}

TEST(SceneErrors, AFailedLoadLeavesTheDatabaseEmpty) {
  error_of(R"({"root": {"name": "half", "children": [{"type": "group"}, {"type": "nope"}]}})");
  EXPECT_STREQ(obj_get_name(db_get_root()), "");
  EXPECT_EQ(obj_get_children(db_get_root())->count(), 0);
}

TEST(SceneErrors, UnreadableFiles) {
  try {
    bf::load_scene_file("/nonexistent/scene.json");
    FAIL();
  } catch (const bf::SceneError &e) {
    EXPECT_STREQ(e.what(), "/nonexistent/scene.json: cannot read: No such file or directory");
  }
  try {
    bf::load_scene_file("/");
    FAIL();
  } catch (const bf::SceneError &e) {
    EXPECT_STREQ(e.what(), "/: cannot read: is a directory");
  }
}

} // namespace
