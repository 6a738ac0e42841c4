// Rows for the part and image loaders: small model files written by hand
// or generated, each one of a kind that crashed, hung, ate gigabytes or
// gave a misleading message.
#include "badinput.h"

#include <fstream>
#include <string>

namespace badinput {

namespace {

void write(const std::string &path, const std::string &data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string with_part(const std::string &file) {
  return R"({"root": {"children": [{"type": "object", "geometry": {"part": ")" + file + R"("}}]}})";
}
std::string with_image(const std::string &file) {
  return R"({"root": {"children": [{"type": "object", "geometry": {"primitive": "box"}, "texture": {"image": ")" +
         file + R"("}}]}})";
}
std::string refused(const std::string &file, const std::string &why) {
  return "brightfold: scene.json: /root/children/0/geometry/part: cannot load \"{dir}/" + file +
         "\": " + why + "\n";
}
std::string unreadable_image(const std::string &file) {
  return "brightfold: warning: scene.json: /root/children/0/texture/image: cannot read \"{dir}/" + file +
         "\": not a picture that can be read (empty, cut off or of an unknown format); the texture is "
         "written "
         "commented out unless its Targa file is already there\n";
}

// Two named groups of triangles: Assimp's RAW reader counts a child node
// for a group that it never makes.
void raw_groups(const std::string &dir) {
  write(dir + "/groups.raw",
        "Group_one\n0.5 0.5 0.5 0 0 0 0 1 0 1 0 0\n\n\nGroup_two\n0 1 0 0 3 0 0 4 0 1 3 0\n");
}

// A triangle in Collada with the given library nodes and scene nodes.
std::string collada(const std::string &library, const std::string &scene) {
  return R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <library_geometries><geometry id="tri"><mesh>
  <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
   <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
    <param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
  <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
  <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
 </mesh></geometry></library_geometries>
 <library_nodes>)" +
         library + R"(</library_nodes>
 <library_visual_scenes><visual_scene id="s">)" +
         scene + R"(</visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)";
}
void collada_self(const std::string &dir) {
  write(dir + "/loop.dae",
        collada(R"(<node id="loop"><instance_geometry url="#tri"/><instance_node url="#loop"/></node>)",
                R"(<node id="top"><instance_node url="#loop"/></node>)"));
}
// Level i places level i - 1 twice: 2^21 nodes from 21 lines.
void collada_doubling(const std::string &dir) {
  std::string library = R"(<node id="n0"><instance_geometry url="#tri"/></node>)";
  for (int i = 1; i <= 20; ++i)
    library += "<node id=\"n" + std::to_string(i) + "\"><instance_node url=\"#n" + std::to_string(i - 1) +
               "\"/><instance_node url=\"#n" + std::to_string(i - 1) + "\"/></node>";
  write(dir + "/doubling.dae", collada(library, R"(<node id="top"><instance_node url="#n20"/></node>)"));
}

// A glTF triangle whose node i lists node i - 1 twice as its child.
std::string gltf_doubling(int levels) {
  std::string nodes = R"({"mesh": 0})";
  for (int i = 1; i <= levels; ++i)
    nodes += ", {\"children\": [" + std::to_string(i - 1) + ", " + std::to_string(i - 1) + "]}";
  return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [)" + std::to_string(levels) +
         R"(]}], "nodes": [)" + nodes +
         R"(], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                "min": [0, 0, 0], "max": [1, 1, 0]}],
 "bufferViews": [{"buffer": 0, "byteLength": 36}],
 "buffers": [{"byteLength": 36, "uri":
   "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})";
}
// 2^17 - 1 nodes: below the limit, beyond what 100 MiB holds.
void gltf_sixteen_levels(const std::string &dir) { write(dir + "/big.gltf", gltf_doubling(16)); }

void off_billions(const std::string &dir) {
  write(dir + "/bomb.off", "OFF\n353535235358 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
}
void ply_billions(const std::string &dir) {
  write(dir + "/bomb.ply",
        "ply\nformat ascii 1.0\nelement vertex 4000000000\nproperty float x\nproperty float y\n"
        "property float z\nend_header\n0 0 0\n1 0 0\n0 1 0\n");
}
void obj_utf16(const std::string &dir) {
  const std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  std::string utf16 = "\xff\xfe";
  for (char c : text)
    utf16 += std::string{c, '\0'};
  write(dir + "/utf16.obj", utf16);
}
void irr_cube(const std::string &dir) {
  write(dir + "/cube.irr", "<?xml version=\"1.0\"?>\n<irr_scene>\n<node type=\"cube\">\n<attributes>\n"
                           "<string name=\"Name\" value=\"c\" />\n<float name=\"Size\" value=\"1\" />\n"
                           "</attributes>\n</node>\n</irr_scene>\n");
}
// Assimp's OpenGEX reader prints a line of its own on an empty structure.
void ogex_empty_camera(const std::string &dir) { write(dir + "/camera.ogex", "CameraObject {}\n"); }
void ter_cut(const std::string &dir) { write(dir + "/cut.ter", "TERRAGENTERRAIN SIZE"); }
void obj_no_area(const std::string &dir) { write(dir + "/line.obj", "v 0 0 0\nv 1 1 1\nv 2 2 2\nf 1 2 3\n"); }

// Pictures that announce more than they hold, and 16-bit grey.
void pgm16_cut(const std::string &dir) {
  std::string pgm = "P5 4096 4096 65535\n";
  pgm.resize(4000, 'U');
  write(dir + "/cut16.pgm", pgm);
}
void ppm_cut(const std::string &dir) {
  std::string ppm = "P6 8192 8192 255\n"; // the pixel budget, in 40 KB
  ppm.resize(40000, 'U');
  write(dir + "/cut.ppm", ppm);
}
void bmp_cut(const std::string &dir) {
  // BITMAPINFOHEADER of 8192 x 8192, 24 bits, uncompressed.
  std::string bmp = {'B', 'M', 0,    0, 0, 0, 0,    0, 0, 0, 54, 0,  0, 0, 40, 0, 0,
                     0,   0,   0x20, 0, 0, 0, 0x20, 0, 0, 1, 0,  24, 0, 0, 0,  0, 0};
  bmp.resize(40000, 'U');
  write(dir + "/cut.bmp", bmp);
}

// 8000 x 8000 pixels of one grey in run-length Targa packets of 128: 2 MB
// of file, 192 MB of pixels.
void tga_large(const std::string &dir) {
  std::string tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x1f, 0x40, 0x1f, 24, 0};
  for (int i = 0; i < 8000 * 8000 / 128; ++i)
    tga += "\xff\x80\x80\x80";
  write(dir + "/large.tga", tga);
}

// Run-length Targa announcing 16384 x 16384 pixels: its 8 MB would decode
// into 805 MB; a few packets of it are enough to be refused.
void tga_over_budget(const std::string &dir) {
  std::string tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40, 0x00, 0x40, 24, 0};
  for (int i = 0; i < 1000; ++i)
    tga += "\xff\x80\x80\x80";
  write(dir + "/over.tga", tga);
}

// A glTF triangle whose colour is an embedded JPEG of 23 bytes announcing
// 26000 x 26000 pixels.
void gltf_embedded_over_budget(const std::string &dir) {
  write(dir + "/over.gltf", R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
 "nodes": [{"mesh": 0}], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "material": 0}]}],
 "materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}],
 "textures": [{"source": 0}], "images": [{"uri": "data:image/jpeg;base64,/9j/wAARCGWQZZADAREAAhEBAxEB/9k="}],
 "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],
 "bufferViews": [{"buffer": 0, "byteLength": 36}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                "min": [0, 0, 0], "max": [1, 1, 0]}]})");
}

} // namespace

void gltf_twenty_levels(const std::string &dir) { write(dir + "/doubling.gltf", gltf_doubling(20)); }

std::vector<Case> loader_cases() {
  const std::vector<std::string> save = {"save", "scene.json", "out.pov"};
  const std::string graph =
      "the file places more than 200000 nodes (its nodes are placed over and over inside "
      "each other)";
  const std::string too_many = "the file is cut off or announces more elements than it holds";
  return {
      // ---- crashes and endless recursion
      {"RawGroupsWithAMissingChild", save, with_part("groups.raw"), 0, "", Match::Exact, raw_groups},
      {"ColladaNodePlacingItself", save, with_part("loop.dae"), 2,
       refused("loop.dae", "a node of the file is placed inside itself"), Match::Exact, collada_self},
      // ---- memory bombs: refused before Assimp builds anything
      {"GltfChildTwicePerLevel", save, with_part("doubling.gltf"), 2, refused("doubling.gltf", graph),
       Match::Exact, gltf_twenty_levels},
      {"ColladaInstanceNodeTwicePerLevel", save, with_part("doubling.dae"), 2, refused("doubling.dae", graph),
       Match::Exact, collada_doubling},
      {"OffAnnouncingBillionsOfVertices", save, with_part("bomb.off"), 2, refused("bomb.off", too_many),
       Match::Exact, off_billions},
      {"PlyAnnouncingBillionsOfVertices", save, with_part("bomb.ply"), 2, refused("bomb.ply", too_many),
       Match::Exact, ply_billions},
      {"OutOfMemoryWhileLoading", save, with_part("big.gltf"), 2, refused("big.gltf", "out of memory"),
       Match::Exact, gltf_sixteen_levels, 100},
      // ---- honest messages
      {"Utf16ObjFile", save, with_part("utf16.obj"), 0, "", Match::Exact, obj_utf16},
      {"IrrlichtSceneFile", save, with_part("cube.irr"), 2,
       refused("cube.irr",
               "Irrlicht scene files (.irr) cannot be read: the Assimp library in use does not read "
               "them"),
       Match::Exact, irr_cube},
      {"LibraryPrintingOnItsOwn", save, with_part("camera.ogex"), 2,
       refused("camera.ogex", "the file holds no polygons"), Match::Exact, ogex_empty_camera},
      {"ReaderStoppingInItsParser", save, with_part("cut.ter"), 2,
       refused("cut.ter",
               "Assimp's TER reader cannot read this file (it stopped with \"End of file or stream "
               "limit was reached\")"),
       Match::Exact, ter_cut},
      {"PartWithoutAnyArea", save, with_part("line.obj"), 0,
       "brightfold: warning: scene.json: /root/children/0/geometry/part: \"{dir}/line.obj\" holds no polygon "
       "with an area; the part is saved empty and draws nothing\n",
       Match::Exact, obj_no_area},
      // ---- pictures holding fewer pixels than announced
      {"CutOffSixteenBitPgm", save, with_image("cut16.pgm"), 0, unreadable_image("cut16.pgm"), Match::Exact,
       pgm16_cut},
      {"CutOffHugePpm", save, with_image("cut.ppm"), 0, unreadable_image("cut.ppm"), Match::Exact, ppm_cut},
      {"CutOffHugeBmp", save, with_image("cut.bmp"), 0, unreadable_image("cut.bmp"), Match::Exact, bmp_cut},
      {"PictureLargerThanMemory", save, with_image("large.tga"), 0,
       "brightfold: warning: scene.json: /root/children/0/texture/image: cannot read \"{dir}/large.tga\": "
       "out of "
       "memory; the texture is written commented out unless its Targa file is already there\n",
       Match::Exact, tga_large, 100},
      // ---- pictures beyond the pixel budget, refused from their header
      {"PictureBeyondThePixelBudget", save, with_image("over.tga"), 0,
       "brightfold: warning: scene.json: /root/children/0/texture/image: cannot read \"{dir}/over.tga\": "
       "16384 x 16384 pixels, more than the 64 megapixels an image may have; the texture is written "
       "commented out unless its Targa file is already there\n",
       Match::Exact, tga_over_budget},
      {"EmbeddedPictureBeyondThePixelBudget",
       {"save", "over.gltf", "out.pov"},
       "",
       0,
       "brightfold: warning: {dir}/over.gltf: cannot read the texture image \"*0\": 26000 x 26000 pixels, "
       "more "
       "than the 64 megapixels an image may have; its material keeps its plain colour\n",
       Match::Exact,
       gltf_embedded_over_budget},
  };
}

} // namespace badinput
