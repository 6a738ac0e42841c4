// Bad scene files: each is refused with a message naming the file and the
// line and column (syntax) or the JSON pointer (values).
#include "scene_loader.h"

#include "json_text.h"
#include "oku/scene_db.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char *text;
  const char *message;
};

std::string error_of(const std::string &text) {
  try {
    bf::load_scene_text(text, "bad.json");
  } catch (const bf::SceneError &e) {
    return e.what();
  }
  return "(loaded)";
}

TEST(SceneErrors, SyntaxErrorsGiveLineAndColumn) {
  const Case cases[] = {
      {"",
       "bad.json:1:1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
       "literal"},
      {"{\n  \"root\": {\n    \"name\": tru\n  }\n}", "bad.json:3:16: syntax error while parsing value - "
                                                      "invalid literal; last read: '\"name\": tru<U+000A>'"},
      {R"({"root": {"name": "x",}})",
       "bad.json:1:23: syntax error while parsing object key - unexpected '}'; expected string literal"},
      {R"({"root": {"radius": 1e999}})", "bad.json:1:25: number overflow parsing '1e999'"},
      {R"({} {})", "bad.json:1:4: syntax error while parsing value - unexpected '{'; expected end of input"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(error_of(c.text), c.message) << c.text;
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

TEST(SceneErrors, BadValuesGiveTheirPointer) {
  const Case cases[] = {
      {"[]", "bad.json: expected an object at the top level"},
      {R"({"roots": {}})", "bad.json: /roots: unknown key"},
      {R"({"root": {"a/b~c": 1}})", "bad.json: /root/a~1b~0c: unknown key"},
      {R"({"root": {"children": [{"type": "object", "colr": [1, 0, 0]}]}})",
       "bad.json: /root/children/0/colr: unknown key"},
      {R"({"root": {"opacity": "1"}})", "bad.json: /root/opacity: expected a number"},
      {R"({"root": {"opacity": 2}})", "bad.json: /root/opacity: must be between 0 and 1"},
      {R"({"root": {"color": [1, 2, 0]}})", "bad.json: /root/color/1: must be between 0 and 1"},
      {R"({"root": {"color": [1, 0]}})", "bad.json: /root/color: expected 3 numbers"},
      {R"({"root": {"position": [1e39, 0, 0]}})", "bad.json: /root/position/0: number out of range"},
      {R"({"root": {"id": 1.5}})", "bad.json: /root/id: expected an integer"},
      {R"({"root": {"id": 3000000000}})", "bad.json: /root/id: integer out of range"},
      {R"({"root": {"active": 2}})", "bad.json: /root/active: expected true, false, 0 or 1"},
      {R"({"root": {"name": "a\u0000b"}})", "bad.json: /root/name: must not contain a NUL character"},
      {R"({"root": {"children": {}}})", "bad.json: /root/children: expected an array"},
      {R"({"root": {"children": [3]}})", "bad.json: /root/children/0: expected an object"},
      {R"({"root": {"children": [{"name": "x"}]}})", "bad.json: /root/children/0: missing \"type\""},
      {R"({"root": {"children": [{"type": "gruop"}]}})",
       "bad.json: /root/children/0/type: unknown node type \"gruop\" (expected root, group, object, light, "
       "camera "
       "or an integer)"},
      {R"({"root": {"children": [{"type": true}]}})",
       "bad.json: /root/children/0/type: expected a node type name or an integer"},
      {R"({"root": {"children": [{"type": "root"}]}})",
       "bad.json: /root/children/0/type: only the top node can be the root"},
      {R"({"root": {"type": "group"}})", "bad.json: /root/type: the top node must be the root"},
      {R"({"root": {"children": [{"type": "light", "kind": "sun"}]}})",
       "bad.json: /root/children/0/kind: unknown light kind \"sun\" (expected distant, spot, point or an "
       "integer)"},
      {R"({"root": {"children": [{"type": "camera", "rotation": [0, 0, 0], "look_at": [0, 0, 1]}]}})",
       "bad.json: /root/children/0/look_at: rotation and look_at cannot both be given"},
      {R"({"root": {"children": [{"type": "camera", "sky": [0, 0, 1]}]}})",
       "bad.json: /root/children/0/sky: sky needs look_at"},
      {R"({"root": {"children": [{"type": "camera", "view_angle": 0}]}})",
       "bad.json: /root/children/0/view_angle: must be more than 0 and less than 180"},
      {R"({"root": {"texture": {"active": 4}}})", "bad.json: /root/texture/active: must be between 0 and 3"},
      {R"({"root": {"texture": {"image": 3}}})", "bad.json: /root/texture/image: expected a string"},
      {R"({"environment": {"ambient": -1}})", "bad.json: /environment/ambient: must not be negative"},
      {R"({"environment": {"fog": 1}})", "bad.json: /environment/fog: unknown key"},
      {R"({"viewpoint": "Cam", "root": {"children": [{"type": "object", "name": "Cam"}]}})",
       "bad.json: /viewpoint: no camera is named \"Cam\""},
      {R"({"viewpoint": "Cam", "root": {"children": [{"type": "camera", "name": "Cam"},
         {"type": "camera", "name": "Cam"}]}})",
       "bad.json: /viewpoint: several cameras are named \"Cam\""},
  };
  for (const Case &c : cases)
    EXPECT_EQ(error_of(c.text), c.message) << c.text;
}

TEST(SceneErrors, BadGeometry) {
  const Case cases[] = {
      {R"({"root": {"geometry": 3}})", "bad.json: /root/geometry: expected an object or an array"},
      {R"({"root": {"geometry": {}}})",
       "bad.json: /root/geometry: expected one of \"part\", \"mesh\" or \"primitive\""},
      {R"({"root": {"geometry": {"primitive": "box", "mesh": {}}}})",
       "bad.json: /root/geometry: give only one of \"part\", \"mesh\" and \"primitive\""},
      {R"({"root": {"geometry": {"primitive": "box", "sise": [1, 1, 1]}}})",
       "bad.json: /root/geometry/sise: unknown key"},
      {R"({"root": {"geometry": {"primitive": "cube"}}})",
       "bad.json: /root/geometry/primitive: unknown primitive \"cube\" (expected box, cone, cylinder, "
       "sphere, "
       "rectangle or an integer)"},
      {R"({"root": {"geometry": {"primitive": "box", "size": [1, -1, 1]}}})",
       "bad.json: /root/geometry/size/1: must not be negative"},
      {R"({"root": {"geometry": [{"primitive": "box"}, {"primitive": "sphere"}]}})",
       "bad.json: /root/geometry/1: an object holds at most one primitive"},
      {R"({"root": {"geometry": {"part": "/nonexistent/knob.obj"}}})",
       "bad.json: /root/geometry/part: cannot load \"/nonexistent/knob.obj\": no such file"},
      {R"({"root": {"geometry": {"part": ""}}})", "bad.json: /root/geometry/part: must not be empty"},
      {R"({"root": {"geometry": {"part": "/x/knob.xyz"}}})",
       "bad.json: /root/geometry/part: no loader for part type \"xyz\""},
      {R"({"root": {"geometry": {"part": "/x/knob.obj", "part_type": "xyz"}}})",
       "bad.json: /root/geometry/part_type: no loader for part type \"xyz\""},
      {R"({"root": {"geometry": {"part": "/x/knob"}}})",
       "bad.json: /root/geometry/part: the file name has no extension; give \"part_type\""},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 1]}]}}}})",
       "bad.json: /root/geometry/mesh/polygons/0/v/2: vertex index out of range"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0]}]}}}})",
       "bad.json: /root/geometry/mesh/polygons/0/v: a polygon needs at least 3 corners"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0], "n": [0]}]}}}})",
       "bad.json: /root/geometry/mesh/polygons/0/n: \"n\" must have as many entries as \"v\""},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0],
          "n": [null, null, 0]}]}}}})",
       "bad.json: /root/geometry/mesh/polygons/0/n/2: normal index out of range"},
      {R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0]]}}}})",
       "bad.json: /root/geometry/mesh/vertices/0: expected 3 numbers"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(error_of(c.text), c.message) << c.text;
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
