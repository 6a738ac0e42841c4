// The table. Scene texts are raw strings; "{dir}" in a message is the
// directory the case runs in (absolute paths in messages start there).
#include "badinput.h"
#include "tests/support/loader_messages.h"

#include <sys/stat.h>
#include <unistd.h>

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
void make_scene_fifo(const std::string &dir) { mkfifo((dir + "/pipe.json").c_str(), 0600); }
void make_scene_zero(const std::string &dir) { symlink("/dev/zero", (dir + "/zero.json").c_str()); }
void make_defs_fifo(const std::string &dir) { mkfifo((dir + "/okudefs.inc").c_str(), 0600); }
void make_defs_zero(const std::string &dir) { symlink("/dev/zero", (dir + "/okudefs.inc").c_str()); }
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
  // Only a regular file is read: a FIFO would wait for a writer for ever,
  // /dev/zero never ends.
  add({"SceneFileIsAFifo",
       {"save", "pipe.json", "out.pov"},
       "",
       2,
       "brightfold: pipe.json: cannot read: not a regular file\n",
       Match::Exact,
       make_scene_fifo});
  add({"SceneFileIsALinkToDevZero",
       {"save", "zero.json", "out.pov"},
       "",
       2,
       "brightfold: zero.json: cannot read: not a regular file\n",
       Match::Exact,
       make_scene_zero});
  add({"DefinitionsAreAFifo",
       {"render", "scene.json", "out.png"},
       "{}",
       2,
       "brightfold: cannot read {dir}/okudefs.inc: not a regular file\n",
       Match::Exact,
       make_defs_fifo});
  add({"DefinitionsLinkToDevZero",
       {"render", "scene.json", "out.png"},
       "{}",
       2,
       "brightfold: cannot read {dir}/okudefs.inc: not a regular file\n",
       Match::Exact,
       make_defs_zero});
  add({"OutputDirectoryMissing",
       {"save", "scene.json", "nodir/out.pov"},
       "{}",
       1,
       "brightfold: cannot save to nodir/out.pov: No such file or directory\n"});
  add({"OutputDirectoryIsAFile",
       {"save", "scene.json", "afile/out.pov"},
       "{}",
       1,
       "brightfold: cannot save to afile/out.pov: Not a directory\n",
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

  // ---- the loader's messages (one table with the loader's own tests)
  // (An empty scene here means no scene file: the empty text is left to the
  // loader's own test; EmptySceneFile runs a blank one.)
  for (const bftest::LoaderMessage &row : bftest::loader_messages())
    if (!row.scene.empty())
      add({row.name, save(), row.scene, 2, "brightfold: scene.json" + row.message + "\n"});

  // ---- scenes at the limits that load
  add({"ChildrenAtTheLimit", save(), bftest::deep_children(256), 0, ""});

  add({"UnderflowToZeroIsAccepted", save(), object(R"("position": [1e-400, 1e-45, -0.0])"), 0, ""});
  add({"ExtremeButFiniteValuesAreWrittenFinite", save(),
       R"({"environment": {"ambient": 1e-38}, "root": {"children": [)"
       R"({"type": "camera", "name": "c", "position": [3e38, -3e38, 3e38], "view_angle": 179.999},)"
       R"({"type": "light", "kind": "spot", "position": [1e38, 0, 0], "intensity": 3e38, "cone_angle": 1e30,)"
       R"( "exponent": 3e38, "look_at": [0, 0, 0]},)"
       R"({"type": "object", "name": "o", "emission": [1, 1, 1], "shininess": 3e38, "reflectivity": -3e38,)"
       R"( "rotation": [3e38, 1e30, -3e38], "geometry": {"primitive": "box", "size": [3e38, 3e38, 3e38]}}]}})",
       0, ""});

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
