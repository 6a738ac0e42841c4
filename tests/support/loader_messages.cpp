// The one table of the scene loader's messages.
#include "loader_messages.h"

namespace bftest {

namespace {

// A scene of one object with the given members after "type".
std::string object(const std::string &members) {
  return R"({"root": {"children": [{"type": "object", )" + members + "}]}}";
}
// A message about the value at a JSON pointer.
std::string at(const std::string &pointer, const std::string &what) { return ": " + pointer + ": " + what; }

std::string deep_pointer(int levels) {
  std::string p = "/root";
  for (int i = 0; i < levels - 1; ++i)
    p += "/children/0";
  return p + "/children";
}

std::vector<LoaderMessage> rows() {
  return {
      // ---- text that is not JSON, or JSON too deep
      {"EmptyText", "",
       ":1:1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"IncompleteLiteralOnTheThirdLine", "{\n  \"root\": {\n    \"name\": tru\n  }\n}",
       ":3:16: syntax error while parsing value - invalid literal; last read: '\"name\": tru<U+000A>'"},
      {"CommaBeforeTheClosingBrace", R"({"root": {"name": "x",}})",
       ":1:23: syntax error while parsing object key - unexpected '}'; expected string literal"},
      {"NumberOverflowingADouble", R"({"root": {"radius": 1e999}})",
       ":1:25: number overflow parsing '1e999'"},
      {"TwoTopLevelValues", R"({} {})",
       ":1:4: syntax error while parsing value - unexpected '{'; expected end of input"},
      {"EmptySceneFile", " ",
       ":1:2: syntax error while parsing value - unexpected end of input; expected "
       "'[', '{', "
       "or a literal"},
      {"UnclosedArray", R"({"root": {"children": [}})",
       ":1:24: syntax error while parsing value - unexpected '}'; expected '[', '{', "
       "or a "
       "literal"},
      {"TrailingText", "{} x",
       ":1:4: syntax error while parsing value - invalid literal; last read: '{} x'; "
       "expected "
       "end of input"},
      {"NaNLiteral", R"({"root": {"opacity": NaN}})",
       ":1:22: syntax error while parsing value - invalid literal; last read: "
       "'\"opacity\": N'"},
      {"InfinityLiteral", R"({"root": {"shininess": Infinity}})",
       ":1:24: syntax error while parsing value - invalid literal; last read: "
       "'\"shininess\": I'"},
      {"NumberTooLargeForADouble", R"({"root": {"shininess": 1e400}})",
       ":1:28: number overflow parsing '1e400'"},
      {"LoneSurrogate", R"({"root": {"name": "\ud800"}})",
       ":1:26: syntax error while parsing value - invalid string: surrogate "
       "U+D800..U+DBFF "
       "must be followed by U+DC00..U+DFFF; last read: '\"\\ud800\"'"},
      {"BytesThatAreNotUtf8", "{\"root\": {\"name\": \"caf\xe9\"}}",
       ":1:24: syntax error while parsing value - invalid string: ill-formed UTF-8 "
       "byte; last "
       "read: '\"caf<0xE9>\"'"},
      {"DuplicateKey", R"({"root": {"name": "a", "name": "b"}})", ":1:24: duplicate key \"name\""},
      {"HundredThousandNestedArrays", std::string(100000, '[') + std::string(100000, ']'),
       ":1:601: nesting deeper than 600 levels"},
      {"HundredThousandNestedObjects",
       [] {
         std::string s;
         for (int i = 0; i < 100000; ++i)
           s += "{\"a\":";
         return s + "1" + std::string(100000, '}');
       }(),
       ":1:3001: nesting deeper than 600 levels"},
      {"ChildrenDeeperThanTheLimit", deep_children(257),
       at(deep_pointer(257), "children nested deeper than 256 levels")},

      {"TopLevelArray", "[]", ": expected an object at the top level"},
      {"UnknownTopKey", R"({"roots": {}})", at("/roots", "unknown key")},
      {"MisspelledNodeKey", R"({"root": {"colour": [1, 0, 0]}})", at("/root/colour", "unknown key")},
      {"RootIsANumber", R"({"root": 5})", at("/root", "expected an object")},
      {"NameIsANumber", R"({"root": {"name": 5}})", at("/root/name", "expected a string")},
      {"PositionOfTwoNumbers", object(R"("position": [1, 2])"),
       at("/root/children/0/position", "expected 3 numbers")},
      {"PositionOfStrings", object(R"("position": ["1", "2", "3"])"),
       at("/root/children/0/position/0", "expected a number")},
      {"VisibleIsText", object(R"("visible": "yes")"),
       at("/root/children/0/visible", "expected true, false, 0 or 1")},
      {"IdIsAFraction", object(R"("id": 1.5)"), at("/root/children/0/id", "expected an integer")},
      {"IdTooLarge", object(R"("id": 4294967296)"), at("/root/children/0/id", "integer out of range")},
      {"ChildrenIsAnObject", R"({"root": {"children": {}}})", at("/root/children", "expected an array")},
      {"ChildWithoutType", R"({"root": {"children": [{"name": "x"}]}})",
       at("/root/children/0", "missing \"type\"")},
      {"SecondRoot", R"({"root": {"children": [{"type": "root"}]}})",
       at("/root/children/0/type", "only the top node can be the root")},
      {"UnknownNodeType", R"({"root": {"children": [{"type": "widget"}]}})",
       at("/root/children/0/type",
          "unknown node type \"widget\" (expected root, group, object, light, camera or an integer)")},
      {"TopNodeNotTheRoot", R"({"root": {"type": "group"}})",
       at("/root/type", "the top node must be the root")},
      {"UnknownLightKind", R"({"root": {"children": [{"type": "light", "kind": "laser"}]}})",
       at("/root/children/0/kind",
          "unknown light kind \"laser\" (expected distant, spot, point or an integer)")},

      {"AmbientBeyondFloat", R"({"environment": {"ambient": 1e39}})",
       at("/environment/ambient", "number out of range")},
      {"PositionBeyondFloat", object(R"("position": [0, -1e300, 0])"),
       at("/root/children/0/position/1", "number out of range")},
      {"NegativeAmbient", R"({"environment": {"ambient": -1}})",
       at("/environment/ambient", "must not be negative")},
      {"OpacityAboveOne", object(R"("opacity": 2)"),
       at("/root/children/0/opacity", "must be between 0 and 1")},
      {"ColourAboveOne", object(R"("color": [1.5, 0, 0])"),
       at("/root/children/0/color/0", "must be between 0 and 1")},
      {"ViewAngleZero", R"({"root": {"children": [{"type": "camera", "view_angle": 0}]}})",
       at("/root/children/0/view_angle", "must be more than 0 and less than 180")},
      {"ViewAngle180", R"({"root": {"children": [{"type": "camera", "view_angle": 180}]}})",
       at("/root/children/0/view_angle", "must be more than 0 and less than 180")},
      {"NegativeBoxSize", object(R"("geometry": {"primitive": "box", "size": [1, -2, 3]})"),
       at("/root/children/0/geometry/size/1", "must not be negative")},
      {"NegativeRadius", object(R"("geometry": {"primitive": "sphere", "radius": -1})"),
       at("/root/children/0/geometry/radius", "must not be negative")},
      {"NegativeHeight", object(R"("geometry": {"primitive": "cone", "height": -0.5})"),
       at("/root/children/0/geometry/height", "must not be negative")},
      {"NegativeWidth", object(R"("geometry": {"primitive": "rectangle", "width": -1})"),
       at("/root/children/0/geometry/width", "must not be negative")},
      {"NegativeFadeDistance", R"({"root": {"children": [{"type": "light", "fade_distance": -1}]}})",
       at("/root/children/0/fade_distance", "must not be negative")},
      {"NegativeObjectRadius", object(R"("radius": -3)"),
       at("/root/children/0/radius", "must not be negative")},
      {"TextureActiveOutOfRange", object(R"("geometry": {"primitive": "box"}, "texture": {"active": 9})"),
       at("/root/children/0/texture/active", "must be between 0 and 3")},

      {"OrientationOfZeroLength", object(R"("orientation": [0, 0, 0, 0])"),
       at("/root/children/0/orientation", "must be a unit quaternion (x, y, z, w with a length of 1)")},
      {"OrientationOfHugeLength", object(R"("orientation": [3e38, 3e38, 3e38, 3e38])"),
       at("/root/children/0/orientation", "must be a unit quaternion (x, y, z, w with a length of 1)")},
      {"AnimationWithAnUnknownKey", object(R"("animation": {"scale": []})"),
       at("/root/children/0/animation/scale", "unknown key")},
      {"AnimationKeyWithoutItsTime", object(R"("animation": {"position": [[[1, 2, 3]]]})"),
       at("/root/children/0/animation/position/0", "expected [seconds, value]")},
      {"AnimationKeyTimesGoingDown",
       object(R"("animation": {"position": [[1, [0, 0, 0]], [0.5, [1, 0, 0]]]})"),
       at("/root/children/0/animation/position/1/0", "key times must not go down")},
      {"AnimationRotationNotUnit", object(R"("animation": {"rotation": [[0, [0, 0, 0, 2]]]})"),
       at("/root/children/0/animation/rotation/0/1",
          "must be a unit quaternion (x, y, z, w with a length of 1)")},
      {"AnimationRotationWithLookAt",
       object(R"("look_at": [0, 0, 1], "animation": {"rotation": [[0, [0, 0, 0, 1]]]})"),
       at("/root/children/0/animation/rotation", "rotation keys and look_at cannot both be given")},
      {"AnimationUnknownInterpolation", object(R"("animation": {"interpolation": "cubic"})"),
       at("/root/children/0/animation/interpolation", "expected \"linear\" or \"step\", not \"cubic\"")},
      {"PositionThatOverflowsOncePlaced",
       R"({"root": {"children": [{"type": "group", "position": [3e38, 0, 0], "children": [)"
       R"({"type": "object", "position": [3e38, 0, 0], "geometry": {"primitive": "box"}}]}]}})",
       at("/root/children/0/children/0",
          "out of range once placed in the scene (a position, pivot or size too large)")},
      {"PivotThatOverflowsOncePlaced",
       object(R"("position": [3e38, 0, 0], "pivot": [-3e38, 0, 0], "geometry": {"primitive": "box"})"),
       at("/root/children/0", "out of range once placed in the scene (a position, pivot or size too large)")},
      {"ContentsThatReachOutOfRange",
       R"({"root": {"children": [{"type": "object", "position": [3e38, 0, 0],)"
       R"( "geometry": {"primitive": "box", "size": [3e38, 1, 1]}},)"
       R"({"type": "object", "position": [-3e38, 0, 0], "geometry": {"primitive": "box"}}]}})",
       at("/root", "the scene's contents reach out of range (positions or sizes too large)")},

      {"TwoCamerasNamedAsTheViewpoint",
       R"({"viewpoint": "c", "root": {"children": [{"type": "camera", "name": "c"}, {"type": "camera", "name": "c"}]}})",
       at("/viewpoint", "several cameras are named \"c\"")},
      {"NameWithALineBreakInAMessage", R"({"viewpoint": "a\nb\u001b[2J"})",
       at("/viewpoint", "no camera is named \"a<U+000A>b<U+001B>[2J\"")},
      {"ViewpointNamesNoCamera", R"({"viewpoint": "nowhere"})",
       at("/viewpoint", "no camera is named \"nowhere\"")},
      {"RotationAndLookAt", object(R"("rotation": [0, 0, 0], "look_at": [1, 0, 0])"),
       at("/root/children/0/look_at", "rotation and look_at cannot both be given")},
      {"SkyWithoutLookAt", object(R"("sky": [0, 1, 0])"), at("/root/children/0/sky", "sky needs look_at")},
      {"TwoPrimitivesOnOneObject", object(R"("geometry": [{"primitive": "box"}, {"primitive": "sphere"}])"),
       at("/root/children/0/geometry/1", "an object holds at most one primitive")},
      {"PartAndMeshInOneEntry", object(R"("geometry": {"part": "a.obj", "mesh": {}})"),
       at("/root/children/0/geometry", "give only one of \"part\", \"mesh\" and \"primitive\"")},
      {"PolygonOfTwoCorners",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0]], "polygons": [{"v": [0, 1]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/v", "a polygon needs at least 3 corners")},
      {"VertexIndexOutOfRange",
       object(
           R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [{"v": [0, 1, 3]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/v/2", "vertex index out of range")},
      {"NegativeNormalIndex",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "normals": [[0,0,1]],)"
              R"( "polygons": [{"v": [0, 1, 2], "n": [0, -1, 0]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/n/1", "normal index out of range")},
      {"CornerUvsFewerThanCorners",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
              R"( "polygons": [{"v": [0, 1, 2], "uv": [[0, 0], [1, 0]]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/uv", "\"uv\" must have as many entries as \"v\"")},
      {"CornerUvOfThreeNumbers",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
              R"( "polygons": [{"v": [0, 1, 2], "uv": [[0, 0], [1, 0], [0, 1, 0]]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/uv/2", "expected 2 numbers")},
      {"CornerColoursMoreThanCorners",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
              R"( "polygons": [{"v": [0, 1, 2], "colors": [[1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 1, 1]]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/colors",
          "\"colors\" must have as many entries as \"v\"")},
      {"CornerColourAboveOne",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
              R"( "polygons": [{"v": [0, 1, 2], "colors": [[1, 0, 0], [0, 2, 0], [0, 0, 1]]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/colors/1/1", "must be between 0 and 1")},
      {"CornerUvMisspelled",
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
              R"( "polygons": [{"v": [0, 1, 2], "uvs": [[0, 0], [1, 0], [0, 1]]}]}})"),
       at("/root/children/0/geometry/mesh/polygons/0/uvs", "unknown key")},
      {"TextureMappingUnknown", object(R"("geometry": {"primitive": "box"}, "texture": {"mapping": "UV"})"),
       at("/root/children/0/texture/mapping", "expected \"projection\" or \"uv\"")},
      {"TextureMappingAsANumber", R"({"root": {"texture": {"mapping": 1}}})",
       at("/root/texture/mapping", "expected a string")},
      {"TextureWrapUnknown",
       object(
           R"("geometry": {"primitive": "box"}, "texture": {"mapping": "uv", "wrap": ["repeat", "mirrored"]})"),
       at("/root/children/0/texture/wrap/1", "expected \"repeat\", \"mirror\" or \"clamp\"")},
      {"TextureWrapOfOneValue",
       object(R"("geometry": {"primitive": "box"}, "texture": {"mapping": "uv", "wrap": "clamp"})"),
       at("/root/children/0/texture/wrap", "expected [u, v], each \"repeat\", \"mirror\" or \"clamp\"")},
      {"TextureWrapWithoutUv",
       object(R"("geometry": {"primitive": "box"}, "texture": {"wrap": ["clamp", "clamp"]})"),
       at("/root/children/0/texture/wrap", "needs \"mapping\": \"uv\"")},

      // ---- values (kept from the loader's own tests)
      {"UnknownKeyWithPointerEscapes", R"({"root": {"a/b~c": 1}})", at("/root/a~1b~0c", "unknown key")},
      {"MisspelledChildKey", R"({"root": {"children": [{"type": "object", "colr": [1, 0, 0]}]}})",
       at("/root/children/0/colr", "unknown key")},
      {"OpacityAsText", R"({"root": {"opacity": "1"}})", at("/root/opacity", "expected a number")},
      {"RootOpacityAboveOne", R"({"root": {"opacity": 2}})", at("/root/opacity", "must be between 0 and 1")},
      {"SecondColourComponentAboveOne", R"({"root": {"color": [1, 2, 0]}})",
       at("/root/color/1", "must be between 0 and 1")},
      {"ColourOfTwoNumbers", R"({"root": {"color": [1, 0]}})", at("/root/color", "expected 3 numbers")},
      {"RootPositionBeyondFloat", R"({"root": {"position": [1e39, 0, 0]}})",
       at("/root/position/0", "number out of range")},
      {"RootIdIsAFraction", R"({"root": {"id": 1.5}})", at("/root/id", "expected an integer")},
      {"IdBeyondInt", R"({"root": {"id": 3000000000}})", at("/root/id", "integer out of range")},
      {"ActiveIsTwo", R"({"root": {"active": 2}})", at("/root/active", "expected true, false, 0 or 1")},
      {"NameWithANulCharacter", R"({"root": {"name": "a\u0000b"}})",
       at("/root/name", "must not contain a NUL character")},
      {"ChildIsANumber", R"({"root": {"children": [3]}})", at("/root/children/0", "expected an object")},
      {"MisspelledNodeType", R"({"root": {"children": [{"type": "gruop"}]}})",
       at("/root/children/0/type",
          "unknown node type \"gruop\" (expected root, group, object, light, camera or an integer)")},
      {"NodeTypeIsABoolean", R"({"root": {"children": [{"type": true}]}})",
       at("/root/children/0/type", "expected a node type name or an integer")},
      {"UnknownLightKindSun", R"({"root": {"children": [{"type": "light", "kind": "sun"}]}})",
       at("/root/children/0/kind",
          "unknown light kind \"sun\" (expected distant, spot, point or an integer)")},
      {"CameraWithRotationAndLookAt",
       R"({"root": {"children": [{"type": "camera", "rotation": [0, 0, 0], "look_at": [0, 0, 1]}]}})",
       at("/root/children/0/look_at", "rotation and look_at cannot both be given")},
      {"CameraSkyWithoutLookAt", R"({"root": {"children": [{"type": "camera", "sky": [0, 0, 1]}]}})",
       at("/root/children/0/sky", "sky needs look_at")},
      {"RootTextureActiveOutOfRange", R"({"root": {"texture": {"active": 4}}})",
       at("/root/texture/active", "must be between 0 and 3")},
      {"TextureImageIsANumber", R"({"root": {"texture": {"image": 3}}})",
       at("/root/texture/image", "expected a string")},
      {"UnknownEnvironmentKey", R"({"environment": {"fog": 1}})", at("/environment/fog", "unknown key")},
      {"ViewpointNamesAnObject",
       R"({"viewpoint": "Cam", "root": {"children": [{"type": "object", "name": "Cam"}]}})",
       at("/viewpoint", "no camera is named \"Cam\"")},
      {"TwoCamerasOnTwoLines",
       R"({"viewpoint": "Cam", "root": {"children": [{"type": "camera", "name": "Cam"},
         {"type": "camera", "name": "Cam"}]}})",
       at("/viewpoint", "several cameras are named \"Cam\"")},

      // ---- geometry (kept from the loader's own tests)
      {"GeometryIsANumber", R"({"root": {"geometry": 3}})",
       at("/root/geometry", "expected an object or an array")},
      {"GeometryOfNothing", R"({"root": {"geometry": {}}})",
       at("/root/geometry", "expected one of \"part\", \"mesh\" or \"primitive\"")},
      {"PrimitiveAndMeshInOneEntry", R"({"root": {"geometry": {"primitive": "box", "mesh": {}}}})",
       at("/root/geometry", "give only one of \"part\", \"mesh\" and \"primitive\"")},
      {"MisspelledPrimitiveKey", R"({"root": {"geometry": {"primitive": "box", "sise": [1, 1, 1]}}})",
       at("/root/geometry/sise", "unknown key")},
      {"UnknownPrimitive", R"({"root": {"geometry": {"primitive": "cube"}}})",
       at("/root/geometry/primitive",
          "unknown primitive \"cube\" (expected box, cone, cylinder, sphere, rectangle or an integer)")},
      {"RootBoxOfNegativeSize", R"({"root": {"geometry": {"primitive": "box", "size": [1, -1, 1]}}})",
       at("/root/geometry/size/1", "must not be negative")},
      {"RootWithTwoPrimitives", R"({"root": {"geometry": [{"primitive": "box"}, {"primitive": "sphere"}]}})",
       at("/root/geometry/1", "an object holds at most one primitive")},
      {"PartInAMissingFolder", R"({"root": {"geometry": {"part": "/nonexistent/knob.obj"}}})",
       at("/root/geometry/part", "cannot load \"/nonexistent/knob.obj\": no such file")},
      {"EmptyPartNameOnTheRoot", R"({"root": {"geometry": {"part": ""}}})",
       at("/root/geometry/part", "must not be empty")},
      {"PartOfAnUnknownType", R"({"root": {"geometry": {"part": "/x/knob.xyz"}}})",
       at("/root/geometry/part", "no loader for part type \"xyz\"")},
      {"UnknownPartTypeGiven", R"({"root": {"geometry": {"part": "/x/knob.obj", "part_type": "xyz"}}})",
       at("/root/geometry/part_type", "no loader for part type \"xyz\"")},
      {"PartNameWithoutExtension", R"({"root": {"geometry": {"part": "/x/knob"}}})",
       at("/root/geometry/part", "the file name has no extension; give \"part_type\"")},
      {"VertexIndexPastTheOnlyVertex",
       R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 1]}]}}}})",
       at("/root/geometry/mesh/polygons/0/v/2", "vertex index out of range")},
      {"PolygonOfTwoIndices",
       R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0]}]}}}})",
       at("/root/geometry/mesh/polygons/0/v", "a polygon needs at least 3 corners")},
      {"FewerNormalsThanCorners",
       R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0], "n": [0]}]}}}})",
       at("/root/geometry/mesh/polygons/0/n", "\"n\" must have as many entries as \"v\"")},
      {"NormalIndexWithoutNormals",
       R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0, 0]], "polygons": [{"v": [0, 0, 0],
          "n": [null, null, 0]}]}}}})",
       at("/root/geometry/mesh/polygons/0/n/2", "normal index out of range")},
      {"VertexOfTwoNumbers", R"({"root": {"geometry": {"mesh": {"vertices": [[0, 0]]}}}})",
       at("/root/geometry/mesh/vertices/0", "expected 3 numbers")},
  };
}

} // namespace

const std::vector<LoaderMessage> &loader_messages() {
  static const std::vector<LoaderMessage> table = rows();
  return table;
}

// The root with `levels` levels of groups below it.
std::string deep_children(int levels) {
  std::string text = R"({"root": {"children": [)", tail;
  for (int i = 1; i < levels; ++i) {
    text += R"({"type": "group", "children": [)";
    tail += "]}";
  }
  return text + R"({"type": "group"})" + tail + "]}}";
}

} // namespace bftest
