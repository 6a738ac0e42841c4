// The table. Scene texts are raw strings; "{dir}" in a message is the
// directory the case runs in (absolute paths in messages start there).
#include "badinput.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace badinput {

namespace {

const char *const kHelp = "Try 'brightfold --help'.\n";
const std::string kBox = "/usr/share/assimp/models/OBJ/box.obj";
const char *const kImage = "/usr/share/assimp/models/3DS/test.png";

void write(const std::string &path, const std::string &data) {
  std::ofstream(path, std::ios::binary) << data;
}
std::string read(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scene of one object with the given members after "type" and "name".
std::string object(const std::string &members) {
  return R"({"root": {"children": [{"type": "object", )" + members + "}]}}";
}
std::string with_part(const std::string &file) {
  return object(R"("geometry": {"part": ")" + file + R"("})");
}
std::string with_image(const std::string &file) {
  return object(R"("geometry": {"primitive": "box"}, "texture": {"image": ")" + file + R"("})");
}
std::string bad(const std::string &where, const std::string &what) {
  return "brightfold: scene.json: " + where + ": " + what + "\n";
}
std::string image_warning(const std::string &file, const std::string &why) {
  return "brightfold: warning: scene.json: /root/children/0/texture/image: cannot read \"{dir}/" + file +
         "\": " + why + "; the texture is written commented out unless its Targa file is already there\n";
}
const std::string kSave[] = {"save", "scene.json", "out.pov"};
std::vector<std::string> save() { return {kSave[0], kSave[1], kSave[2]}; }

// The root with `levels` levels of groups below it.
std::string deep_children(int levels) {
  std::string text = R"({"root": {"children": [)", tail;
  for (int i = 1; i < levels; ++i) {
    text += R"({"type": "group", "children": [)";
    tail += "]}";
  }
  return text + R"({"type": "group"})" + tail + "]}}";
}
std::string deep_pointer(int levels) {
  std::string p = "/root";
  for (int i = 0; i < levels - 1; ++i)
    p += "/children/0";
  return p + "/children";
}

void make_dir(const std::string &dir) { mkdir((dir + "/sub.obj").c_str(), 0755); }
void make_file(const std::string &dir) { write(dir + "/afile", "not a directory"); }
void make_fifo(const std::string &dir) { mkfifo((dir + "/pipe.obj").c_str(), 0600); }
void make_image_fifo(const std::string &dir) { mkfifo((dir + "/pipe.png").c_str(), 0600); }
void make_image_dir(const std::string &dir) { mkdir((dir + "/folder.png").c_str(), 0755); }
void make_empty_obj(const std::string &dir) { write(dir + "/empty.obj", ""); }
void make_empty_stl(const std::string &dir) { write(dir + "/empty.stl", ""); }
void make_cut_obj(const std::string &dir) { write(dir + "/cut.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2"); }
void make_nan_obj(const std::string &dir) {
  write(dir + "/nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
}
void make_huge_obj(const std::string &dir) {
  write(dir + "/huge.obj", "v 1e39 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
}
void make_cut_stl(const std::string &dir) {
  write(dir + "/cut.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n");
}
void make_empty_png(const std::string &dir) { write(dir + "/empty.png", ""); }
void make_cut_png(const std::string &dir) {
  const std::string png = read("/usr/share/assimp/models/3DS/test.png");
  write(dir + "/cut.png", png.substr(0, png.size() / 2));
}
void make_cut_tga(const std::string &dir) {
  // A 4 x 4 uncompressed Targa header with only half of its pixels.
  std::string tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
  tga += std::string(24, '\x7f');
  write(dir + "/cut.tga", tga);
}
void make_text_png(const std::string &dir) { write(dir + "/text.png", "this is not a picture"); }
void make_old_output(const std::string &dir) { write(dir + "/out.pov", "an earlier scene\n"); }
const std::string kTriangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
void make_okudefs_part(const std::string &dir) {
  write(dir + "/okudefs.obj", kTriangleObj);
  write(dir + "/okudefs.inc", "// the user's definitions\n");
}
void make_user_defs(const std::string &dir) { write(dir + "/okudefs.inc", "// the user's definitions\n"); }
void make_part_obj(const std::string &dir) { write(dir + "/part.obj", kTriangleObj); }
void make_bracket_inc(const std::string &dir) { write(dir + "/bracket.inc", kTriangleObj); }
void make_read_only(const std::string &path) {
  write(path, "an earlier file\n");
  chmod(path.c_str(), 0444);
}
void make_read_only_output(const std::string &dir) { make_read_only(dir + "/out.pov"); }
void make_read_only_include(const std::string &dir) { make_read_only(dir + "/Knob1.inc"); }
void make_read_only_picture(const std::string &dir) { make_read_only(dir + "/out.png"); }
void make_include_fifo(const std::string &dir) { mkfifo((dir + "/Knob1.inc").c_str(), 0600); }
void make_include_dir(const std::string &dir) { mkdir((dir + "/Knob1.inc").c_str(), 0755); }
void make_targa_fifo(const std::string &dir) { mkfifo((dir + "/oku_test.tga").c_str(), 0600); }
void make_image_copy(const std::string &dir) { write(dir + "/img.png", read(kImage)); }

// A mesh object named Knob holding id 1: its include file is Knob1.inc.
const std::string kKnob =
    object(R"("name": "Knob", "id": 1, "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
           R"( "polygons": [{"v": [0, 1, 2]}]}})");
std::string cannot_write(const std::string &file, const std::string &why,
                         const std::string &out = "out.pov") {
  return "POV Save: Cannot write " + file + ": " + why + ".\nbrightfold: saving " + out + " failed\n";
}

} // namespace

std::vector<Case> cases() {
  std::vector<Case> t;
  const auto add = [&t](Case c) { t.push_back(std::move(c)); };

  // ---- command lines
  add({"NoArguments", {}, "", 2, "Usage: brightfold COMMAND [ARGUMENTS]\n", Match::Prefix});
  add({"UnknownCommand",
       {"frobnicate"},
       "",
       2,
       "brightfold: unknown command \"frobnicate\"\n" + std::string(kHelp)});
  add({"UnknownTopOption", {"--bogus"}, "", 2, "brightfold: unknown option --bogus\n" + std::string(kHelp)});
  add({"SaveWithoutOperands",
       {"save"},
       "",
       2,
       "brightfold: save needs a scene file and at least one output file\n" + std::string(kHelp)});
  add({"SaveWithoutOutput",
       {"save", "scene.json"},
       "{}",
       2,
       "brightfold: save needs a scene file and at least one output file\n" + std::string(kHelp)});
  add({"SaverWithoutValue",
       {"save", "scene.json", "out.pov", "--saver"},
       "{}",
       2,
       "brightfold: option --saver needs a value\n" + std::string(kHelp)});
  add({"UnknownSaver",
       {"save", "scene.json", "out.pov", "--saver=Nope"},
       "{}",
       2,
       "brightfold: no saver is named \"Nope\" ('brightfold list' shows them)\n" + std::string(kHelp)});
  add({"UnknownSaveOption",
       {"save", "scene.json", "out.pov", "--frob"},
       "{}",
       2,
       "brightfold: unknown option --frob\n" + std::string(kHelp)});
  add({"ListWithArguments",
       {"list", "extra"},
       "",
       2,
       "brightfold: list takes no arguments\n" + std::string(kHelp)});
  add({"MissingSceneFile",
       {"save", "missing.json", "out.pov"},
       "",
       2,
       "brightfold: missing.json: cannot read: No such file or directory\n"});
  add({"SceneFileIsADirectory",
       {"save", "sub.obj", "out.pov"},
       "",
       2,
       "brightfold: sub.obj: cannot read: is a directory\n",
       Match::Exact,
       make_dir});
  add({"OutputDirectoryMissing",
       {"save", "scene.json", "nodir/out.pov"},
       "{}",
       1,
       "POV Save: Cannot open file for writing.\nbrightfold: saving nodir/out.pov failed\n"});
  add({"OutputDirectoryIsAFile",
       {"save", "scene.json", "afile/out.pov"},
       "{}",
       1,
       "POV Save: Cannot open file for writing.\nbrightfold: saving afile/out.pov failed\n",
       Match::Exact,
       make_file});
  add({"OutputIsADirectory",
       {"save", "scene.json", "sub.obj"},
       "{}",
       1,
       "POV Save: Cannot open file for writing.\nbrightfold: saving sub.obj failed\n",
       Match::Exact,
       make_dir});
  add({"BadSceneLeavesAnEarlierOutputAlone", save(), "{", 2,
       "brightfold: scene.json:1:2: syntax error while parsing object key - unexpected end of input; "
       "expected string "
       "literal\n",
       Match::Exact, make_old_output});

  // ---- malformed JSON
  add({"EmptySceneFile", save(), " ", 2,
       "brightfold: scene.json:1:2: syntax error while parsing value - unexpected end of input; expected "
       "'[', '{', "
       "or a literal\n"});
  add({"UnclosedArray", save(), R"({"root": {"children": [}})", 2,
       "brightfold: scene.json:1:24: syntax error while parsing value - unexpected '}'; expected '[', '{', "
       "or a "
       "literal\n"});
  add({"TrailingText", save(), "{} x", 2,
       "brightfold: scene.json:1:4: syntax error while parsing value - invalid literal; last read: '{} x'; "
       "expected "
       "end of input\n"});
  add({"NaNLiteral", save(), R"({"root": {"opacity": NaN}})", 2,
       "brightfold: scene.json:1:22: syntax error while parsing value - invalid literal; last read: "
       "'\"opacity\": N'\n"});
  add({"InfinityLiteral", save(), R"({"root": {"shininess": Infinity}})", 2,
       "brightfold: scene.json:1:24: syntax error while parsing value - invalid literal; last read: "
       "'\"shininess\": I'\n"});
  add({"NumberTooLargeForADouble", save(), R"({"root": {"shininess": 1e400}})", 2,
       "brightfold: scene.json:1:28: number overflow parsing '1e400'\n"});
  add({"LoneSurrogate", save(), R"({"root": {"name": "\ud800"}})", 2,
       "brightfold: scene.json:1:26: syntax error while parsing value - invalid string: surrogate "
       "U+D800..U+DBFF "
       "must be followed by U+DC00..U+DFFF; last read: '\"\\ud800\"'\n"});
  add({"BytesThatAreNotUtf8", save(), "{\"root\": {\"name\": \"caf\xe9\"}}", 2,
       "brightfold: scene.json:1:24: syntax error while parsing value - invalid string: ill-formed UTF-8 "
       "byte; last "
       "read: '\"caf<0xE9>\"'\n"});
  add({"DuplicateKey", save(), R"({"root": {"name": "a", "name": "b"}})", 2,
       "brightfold: scene.json:1:24: duplicate key \"name\"\n"});
  add({"HundredThousandNestedArrays", save(), std::string(100000, '[') + std::string(100000, ']'), 2,
       "brightfold: scene.json:1:601: nesting deeper than 600 levels\n"});
  add({"HundredThousandNestedObjects", save(),
       [] {
         std::string s;
         for (int i = 0; i < 100000; ++i)
           s += "{\"a\":";
         return s + "1" + std::string(100000, '}');
       }(),
       2, "brightfold: scene.json:1:3001: nesting deeper than 600 levels\n"});
  add({"ChildrenDeeperThanTheLimit", save(), deep_children(257), 2,
       bad(deep_pointer(257), "children nested deeper than 256 levels")});
  add({"ChildrenAtTheLimit", save(), deep_children(256), 0, ""});

  // ---- wrong types and unknown keys
  add({"TopLevelArray", save(), "[]", 2, "brightfold: scene.json: expected an object at the top level\n"});
  add({"UnknownTopKey", save(), R"({"roots": {}})", 2, bad("/roots", "unknown key")});
  add({"MisspelledNodeKey", save(), R"({"root": {"colour": [1, 0, 0]}})", 2,
       bad("/root/colour", "unknown key")});
  add({"RootIsANumber", save(), R"({"root": 5})", 2, bad("/root", "expected an object")});
  add({"NameIsANumber", save(), R"({"root": {"name": 5}})", 2, bad("/root/name", "expected a string")});
  add({"PositionOfTwoNumbers", save(), object(R"("position": [1, 2])"), 2,
       bad("/root/children/0/position", "expected 3 numbers")});
  add({"PositionOfStrings", save(), object(R"("position": ["1", "2", "3"])"), 2,
       bad("/root/children/0/position/0", "expected a number")});
  add({"VisibleIsText", save(), object(R"("visible": "yes")"), 2,
       bad("/root/children/0/visible", "expected true, false, 0 or 1")});
  add({"IdIsAFraction", save(), object(R"("id": 1.5)"), 2,
       bad("/root/children/0/id", "expected an integer")});
  add({"IdTooLarge", save(), object(R"("id": 4294967296)"), 2,
       bad("/root/children/0/id", "integer out of range")});
  add({"ChildrenIsAnObject", save(), R"({"root": {"children": {}}})", 2,
       bad("/root/children", "expected an array")});
  add({"ChildWithoutType", save(), R"({"root": {"children": [{"name": "x"}]}})", 2,
       bad("/root/children/0", "missing \"type\"")});
  add({"SecondRoot", save(), R"({"root": {"children": [{"type": "root"}]}})", 2,
       bad("/root/children/0/type", "only the top node can be the root")});
  add({"UnknownNodeType", save(), R"({"root": {"children": [{"type": "widget"}]}})", 2,
       bad("/root/children/0/type",
           "unknown node type \"widget\" (expected root, group, object, light, camera or an integer)")});
  add({"TopNodeNotTheRoot", save(), R"({"root": {"type": "group"}})", 2,
       bad("/root/type", "the top node must be the root")});
  add({"UnknownLightKind", save(), R"({"root": {"children": [{"type": "light", "kind": "laser"}]}})", 2,
       bad("/root/children/0/kind",
           "unknown light kind \"laser\" (expected distant, spot, point or an integer)")});

  // ---- non-finite, absurd and negative numbers
  add({"AmbientBeyondFloat", save(), R"({"environment": {"ambient": 1e39}})", 2,
       bad("/environment/ambient", "number out of range")});
  add({"PositionBeyondFloat", save(), object(R"("position": [0, -1e300, 0])"), 2,
       bad("/root/children/0/position/1", "number out of range")});
  add({"NegativeAmbient", save(), R"({"environment": {"ambient": -1}})", 2,
       bad("/environment/ambient", "must not be negative")});
  add({"OpacityAboveOne", save(), object(R"("opacity": 2)"), 2,
       bad("/root/children/0/opacity", "must be between 0 and 1")});
  add({"ColourAboveOne", save(), object(R"("color": [1.5, 0, 0])"), 2,
       bad("/root/children/0/color/0", "must be between 0 and 1")});
  add({"ViewAngleZero", save(), R"({"root": {"children": [{"type": "camera", "view_angle": 0}]}})", 2,
       bad("/root/children/0/view_angle", "must be more than 0 and less than 180")});
  add({"ViewAngle180", save(), R"({"root": {"children": [{"type": "camera", "view_angle": 180}]}})", 2,
       bad("/root/children/0/view_angle", "must be more than 0 and less than 180")});
  add({"NegativeBoxSize", save(), object(R"("geometry": {"primitive": "box", "size": [1, -2, 3]})"), 2,
       bad("/root/children/0/geometry/size/1", "must not be negative")});
  add({"NegativeRadius", save(), object(R"("geometry": {"primitive": "sphere", "radius": -1})"), 2,
       bad("/root/children/0/geometry/radius", "must not be negative")});
  add({"NegativeHeight", save(), object(R"("geometry": {"primitive": "cone", "height": -0.5})"), 2,
       bad("/root/children/0/geometry/height", "must not be negative")});
  add({"NegativeWidth", save(), object(R"("geometry": {"primitive": "rectangle", "width": -1})"), 2,
       bad("/root/children/0/geometry/width", "must not be negative")});
  add({"NegativeObjectRadius", save(), object(R"("radius": -3)"), 2,
       bad("/root/children/0/radius", "must not be negative")});
  add({"TextureActiveOutOfRange", save(),
       with_image("").replace(with_image("").find("\"image\""), 11, "\"active\": 9"), 2,
       bad("/root/children/0/texture/active", "must be between 0 and 3")});
  add({"UnderflowToZeroIsAccepted", save(), object(R"("position": [1e-400, 1e-45, -0.0])"), 0, ""});
  add({"ExtremeButFiniteValuesAreWrittenFinite", save(),
       R"({"environment": {"ambient": 1e-38}, "root": {"children": [)"
       R"({"type": "camera", "name": "c", "position": [3e38, -3e38, 3e38], "view_angle": 179.999},)"
       R"({"type": "light", "kind": "spot", "position": [1e38, 0, 0], "intensity": 3e38, "cone_angle": 1e30,)"
       R"( "exponent": 3e38, "look_at": [0, 0, 0]},)"
       R"({"type": "object", "name": "o", "emission": [1, 1, 1], "shininess": 3e38, "reflectivity": -3e38,)"
       R"( "rotation": [3e38, 1e30, -3e38], "geometry": {"primitive": "box", "size": [3e38, 3e38, 3e38]}}]}})",
       0, ""});

  add({"OrientationOfZeroLength", save(), object(R"("orientation": [0, 0, 0, 0])"), 2,
       bad("/root/children/0/orientation", "must be a unit quaternion (x, y, z, w with a length of 1)")});
  add({"OrientationOfHugeLength", save(), object(R"("orientation": [3e38, 3e38, 3e38, 3e38])"), 2,
       bad("/root/children/0/orientation", "must be a unit quaternion (x, y, z, w with a length of 1)")});
  add({"PositionThatOverflowsOncePlaced", save(),
       R"({"root": {"children": [{"type": "group", "position": [3e38, 0, 0], "children": [)"
       R"({"type": "object", "position": [3e38, 0, 0], "geometry": {"primitive": "box"}}]}]}})",
       2,
       bad("/root/children/0/children/0",
           "out of range once placed in the scene (a position, pivot or size too large)")});
  add({"PivotThatOverflowsOncePlaced", save(),
       object(R"("position": [3e38, 0, 0], "pivot": [-3e38, 0, 0], "geometry": {"primitive": "box"})"), 2,
       bad("/root/children/0",
           "out of range once placed in the scene (a position, pivot or size too large)")});
  add({"ContentsThatReachOutOfRange", save(),
       R"({"root": {"children": [{"type": "object", "position": [3e38, 0, 0],)"
       R"( "geometry": {"primitive": "box", "size": [3e38, 1, 1]}},)"
       R"({"type": "object", "position": [-3e38, 0, 0], "geometry": {"primitive": "box"}}]}})",
       2, bad("/root", "the scene's contents reach out of range (positions or sizes too large)")});
  add({"TinyViewAngleIsWrittenFinite", save(),
       R"({"root": {"children": [{"type": "camera", "view_angle": 1e-45}, {"type": "camera", "view_angle": 1e-30}]}})",
       0, ""});
  add({"EmissionOverTinyAmbientIsWrittenFinite", save(),
       R"({"environment": {"ambient": 1e-45}, "root": {"children": [{"type": "object", "emission": [1, 1, 1],)"
       R"( "geometry": {"primitive": "box"}, "texture": {"image": ")" +
           std::string(kImage) + R"("}}]}})",
       0, ""});
  add({"BackdropOfAHugeSceneIsWrittenFinite", save(),
       R"({"root": {"texture": {"image": ")" + std::string(kImage) +
           R"("}, "children": [)"
           R"({"type": "camera", "view_angle": 179.99, "position": [3e38, 0, 0]},)"
           R"({"type": "object", "position": [-3e38, 0, 0], "geometry": {"primitive": "box", "size": [1e38, 1e38, 1e38]}}]}})",
       0, ""});
  add({"TinyTextureScalesAreWrittenFinite", save(),
       object(R"("geometry": {"primitive": "box"}, "texture": {"image": ")" + std::string(kImage) +
              R"(", "scale": [1e-45, 0], "method": 2, "angle": 3e38, "position": [3e38, -3e38]})"),
       0, ""});

  // ---- names that must be unique, and exclusive keys
  add({"TwoCamerasNamedAsTheViewpoint", save(),
       R"({"viewpoint": "c", "root": {"children": [{"type": "camera", "name": "c"}, {"type": "camera", "name": "c"}]}})",
       2, bad("/viewpoint", "several cameras are named \"c\"")});
  add({"NameWithALineBreakInAMessage", save(), R"({"viewpoint": "a\nb\u001b[2J"})", 2,
       bad("/viewpoint", "no camera is named \"a<U+000A>b<U+001B>[2J\"")});
  add({"ViewpointNamesNoCamera", save(), R"({"viewpoint": "nowhere"})", 2,
       bad("/viewpoint", "no camera is named \"nowhere\"")});
  add({"RotationAndLookAt", save(), object(R"("rotation": [0, 0, 0], "look_at": [1, 0, 0])"), 2,
       bad("/root/children/0/look_at", "rotation and look_at cannot both be given")});
  add({"SkyWithoutLookAt", save(), object(R"("sky": [0, 1, 0])"), 2,
       bad("/root/children/0/sky", "sky needs look_at")});
  add({"TwoPrimitivesOnOneObject", save(),
       object(R"("geometry": [{"primitive": "box"}, {"primitive": "sphere"}])"), 2,
       bad("/root/children/0/geometry/1", "an object holds at most one primitive")});
  add({"PartAndMeshInOneEntry", save(), object(R"("geometry": {"part": "a.obj", "mesh": {}})"), 2,
       bad("/root/children/0/geometry", "give only one of \"part\", \"mesh\" and \"primitive\"")});
  add({"PolygonOfTwoCorners", save(),
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0]], "polygons": [{"v": [0, 1]}]}})"), 2,
       bad("/root/children/0/geometry/mesh/polygons/0/v", "a polygon needs at least 3 corners")});
  add({"VertexIndexOutOfRange", save(),
       object(
           R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [{"v": [0, 1, 3]}]}})"),
       2, bad("/root/children/0/geometry/mesh/polygons/0/v/2", "vertex index out of range")});
  add({"NegativeNormalIndex", save(),
       object(R"("geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "normals": [[0,0,1]],)"
              R"( "polygons": [{"v": [0, 1, 2], "n": [0, -1, 0]}]}})"),
       2, bad("/root/children/0/geometry/mesh/polygons/0/n/1", "normal index out of range")});

  // ---- part files
  add({"MissingPartFile", save(), with_part("missing.obj"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"{dir}/missing.obj\": no such file")});
  add({"PartFileIsADirectory", save(), with_part("sub.obj"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"{dir}/sub.obj\": not a regular file"),
       Match::Exact, make_dir});
  add({"PartFileIsAFifo", save(), with_part("pipe.obj"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"{dir}/pipe.obj\": not a regular file"),
       Match::Exact, make_fifo});
  add({"PartFileIsADevice", save(), object(R"("geometry": {"part": "/dev/zero", "part_type": "obj"})"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"/dev/zero\": not a regular file")});
  add({"EmptyObjFile", save(), with_part("empty.obj"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"{dir}/empty.obj\": OBJ-file is too small."),
       Match::Exact, make_empty_obj});
  add({"EmptyStlFile", save(), with_part("empty.stl"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"{dir}/empty.stl\": File is empty"), Match::Exact,
       make_empty_stl});
  add({"CutOffObjFile", save(), with_part("cut.obj"), 2,
       bad("/root/children/0/geometry/part", "cannot load \"{dir}/cut.obj\": the file holds no polygons"),
       Match::Exact, make_cut_obj});
  add({"CutOffStlFile", save(), with_part("cut.stl"), 2,
       bad("/root/children/0/geometry/part",
           "cannot load \"{dir}/cut.stl\": STL: Invalid number of vertices"),
       Match::Exact, make_cut_stl});
  add({"NaNInAPartFile", save(), with_part("nan.obj"), 2,
       bad("/root/children/0/geometry/part",
           "cannot load \"{dir}/nan.obj\": a vertex position is not a finite number"),
       Match::Exact, make_nan_obj});
  add({"OverflowInAPartFile", save(), with_part("huge.obj"), 2,
       bad("/root/children/0/geometry/part",
           "cannot load \"{dir}/huge.obj\": a vertex position is not a finite number"),
       Match::Exact, make_huge_obj});
  add({"PartFileWithoutExtension", save(), with_part("mesh"), 2,
       bad("/root/children/0/geometry/part", "the file name has no extension; give \"part_type\"")});
  add({"UnknownPartType", save(), with_part("mesh.xyz"), 2,
       bad("/root/children/0/geometry/part", "no loader for part type \"xyz\"")});
  add({"EmptyPartName", save(), with_part(""), 2,
       bad("/root/children/0/geometry/part", "must not be empty")});

  // ---- texture images: not a load error (the scene is still usable), but
  // a warning per file, and that texture is written commented out
  add({"MissingImage", save(), with_image("missing.png"), 0, image_warning("missing.png", "no such file")});
  add({"ImageIsADirectory", save(), with_image("folder.png"), 0,
       image_warning("folder.png", "not a regular file"), Match::Exact, make_image_dir});
  add({"ImageIsAFifo", save(), with_image("pipe.png"), 0, image_warning("pipe.png", "not a regular file"),
       Match::Exact, make_image_fifo});
  const std::string unreadable = "not a picture that can be read (empty, cut off or of an unknown format)";
  add({"EmptyImage", save(), with_image("empty.png"), 0, image_warning("empty.png", unreadable), Match::Exact,
       make_empty_png});
  add({"CutOffPng", save(), with_image("cut.png"), 0, image_warning("cut.png", unreadable), Match::Exact,
       make_cut_png});
  add({"CutOffTarga", save(), with_image("cut.tga"), 0, image_warning("cut.tga", unreadable), Match::Exact,
       make_cut_tga});
  add({"TextIsNoImage", save(), with_image("text.png"), 0, image_warning("text.png", unreadable),
       Match::Exact, make_text_png});

  // ---- names: they end up in comments, include lines and file names
  add({"NameWithLineBreaks", save(), object(R"("name": "a\nb\r\nc", "geometry": {"primitive": "box"})"), 0,
       ""});
  add({"NameWithQuotesAndBackslashes", save(),
       object(R"("name": "say \"hi\" \\ \\\"", "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
              R"( "polygons": [{"v": [0, 1, 2]}]}})"),
       0, ""});
  add({"NameWithCommentMarkers", save(),
       object(
           R"("name": "*/ } /* // */", "visible": 0, "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]],)"
           R"( "polygons": [{"v": [0, 1, 2]}]}})"),
       0, ""});
  add({"NameWithNul", save(), object(R"("name": "a\u0000b")"), 2,
       bad("/root/children/0/name", "must not contain a NUL character")});
  add({"PartLabelWithQuotesAndLineBreaks", save(),
       object(R"("geometry": {"part": ")" + kBox + R"(", "part_label": "x\"\n\\y */"})"), 0, ""});
  add({"TenThousandCharacterName", save(),
       object(
           R"("name": ")" + std::string(10000, 'n') +
           R"(", "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [{"v": [0, 1, 2]}]}})"),
       0, ""});
  add({"TenThousandCharacterUtf8Name", save(),
       object(
           R"("name": ")" +
           [] {
             std::string s;
             for (int i = 0; i < 5000; ++i)
               s += "\xc3\xa9";
             return s;
           }() +
           R"(", "geometry": {"mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "polygons": [{"v": [0, 1, 2]}]}})"),
       0, ""});
  add({"TenThousandCharacterPartLabel", save(),
       object(R"("geometry": {"part": ")" + kBox + R"(", "part_label": ")" + std::string(10000, 'p') +
              R"("})"),
       0, ""});
  add({"TenThousandCharacterImageName", save(), with_image(std::string(10000, 'i') + ".png"), 0,
       image_warning(std::string(10000, 'i') + ".png", "File name too long")});
  add({"ImageNameWithQuotes", save(), with_image("say \\\"hi\\\".png"), 0,
       image_warning("say \"hi\".png", "no such file")});

  // ---- files a save or render never writes: refused before anything is
  // written, naming the file
  add({"PartFileNamedOkudefs", save(), with_part("okudefs.obj"), 1,
       cannot_write("okudefs.inc", "it is the user's definitions file, which is only read"), Match::Exact,
       make_okudefs_part});
  add({"PartLabelledOkudefs", save(),
       object(R"("geometry": {"part": ")" + kBox + R"(", "part_label": "okudefs"})"), 1,
       cannot_write("okudefs.inc", "it is the user's definitions file, which is only read"), Match::Exact,
       make_user_defs});
  add({"SaveOverTheSceneFile",
       {"save", "scene.json", "scene.json"},
       "{}",
       1,
       "brightfold: cannot save to scene.json: it is the scene file being read\n"});
  add({"SaveOverAPartFile",
       {"save", "scene.json", "part.obj"},
       with_part("part.obj"),
       1,
       "brightfold: cannot save to part.obj: it is a file that the scene reads\n",
       Match::Exact,
       make_part_obj});
  add({"PartFileAtItsOwnIncludeName", save(),
       object(R"("geometry": {"part": "bracket.inc", "part_type": "obj"})"), 1,
       cannot_write("bracket.inc", "it is an input of the scene"), Match::Exact, make_bracket_inc});
  add({"SaveAsAPartsIncludeFile",
       {"save", "scene.json", "Knob1.inc"},
       kKnob,
       1,
       cannot_write("Knob1.inc", "it is the scene file being saved", "Knob1.inc")});
  add({"ReadOnlyOutput", save(), kKnob, 1, "brightfold: cannot save to out.pov: it is read-only\n",
       Match::Exact, make_read_only_output});
  add({"ReadOnlyIncludeFile", save(), kKnob, 1, cannot_write("Knob1.inc", "it is read-only"), Match::Exact,
       make_read_only_include});
  add({"FifoAtAnIncludeName", save(), kKnob, 1, cannot_write("Knob1.inc", "it is not a regular file"),
       Match::Exact, make_include_fifo});
  add({"DirectoryAtAnIncludeName", save(), kKnob, 1, cannot_write("Knob1.inc", "it is not a regular file"),
       Match::Exact, make_include_dir});
  add({"FifoAtATargaName", save(), with_image(kImage), 1,
       cannot_write("oku_test.tga", "it is not a regular file"), Match::Exact, make_targa_fifo});
  add({"ReadOnlyPicture",
       {"render", "scene.json", "out.png"},
       "{}",
       1,
       "brightfold: cannot write {dir}/out.png: it is read-only\n",
       Match::Exact,
       make_read_only_picture});
  add({"RenderOverATextureImage",
       {"render", "scene.json", "img.png"},
       with_image("img.png"),
       1,
       "brightfold: cannot write {dir}/img.png: it is a file that the scene reads\n",
       Match::Exact,
       make_image_copy});
  add({"KeepSceneOverTheSceneFile",
       {"render", "scene.json", "out.png", "--keep-scene", "scene.json"},
       "{}",
       1,
       "brightfold: cannot write {dir}/scene.json: it is the scene file being read\n"});
  return t;
}

} // namespace badinput
