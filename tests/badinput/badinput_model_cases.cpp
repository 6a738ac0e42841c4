// Rows for model files given in place of a scene (save, render, import) and
// named by "part_mesh" entries: the same guards as a part file, the files a
// model names counted as inputs, and honest messages.
#include "badinput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace badinput {

namespace {

void write(const std::string &path, const std::string &data) {
  std::ofstream(path, std::ios::binary) << data;
}

// A glTF triangle whose points come from the buffer at `uri`, its corners
// at +-`reach`, placed by `nodes` (the first node is the scene's).
std::string gltf(const std::string &uri, const std::string &reach = "1",
                 const std::string &nodes = R"({"mesh": 0})") {
  return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [)" + nodes +
         R"(], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                "min": [-)" +
         reach + ", -" + reach + ", 0], \"max\": [" + reach + ", " + reach + R"(, 0]}],
 "bufferViews": [{"buffer": 0, "byteLength": 36}],
 "buffers": [{"byteLength": 36, "uri": ")" +
         uri + R"("}]})";
}
// The points of that triangle: (0 0 0), (r 0 0), (0 r 0) as floats.
std::string triangle_bin(unsigned r_bits = 0x3f800000) {
  std::string bytes(36, '\0');
  for (int k = 0; k < 4; ++k) {
    bytes[12 + k] = static_cast<char>((r_bits >> (8 * k)) & 0xff);
    bytes[28 + k] = static_cast<char>((r_bits >> (8 * k)) & 0xff);
  }
  return bytes;
}
void gltf_box(const std::string &dir) {
  write(dir + "/box.gltf", gltf("box.bin"));
  write(dir + "/box.bin", triangle_bin());
}
void gltf_buffer_fifo(const std::string &dir) {
  write(dir + "/pipe.gltf", gltf("pipe.bin"));
  mkfifo((dir + "/pipe.bin").c_str(), 0600);
}
void gltf_buffer_as_output(const std::string &dir) {
  write(dir + "/box.gltf", gltf("out.json"));
  write(dir + "/out.json", triangle_bin());
}
void gltf_buffer_like_include(const std::string &dir) {
  write(dir + "/box.gltf", gltf("box.inc"));
  write(dir + "/box.inc", triangle_bin());
}
void gltf_picture_links_to_buffer(const std::string &dir) {
  gltf_box(dir);
  symlink("box.bin", (dir + "/link.png").c_str());
}
void gltf_buffer_outside(const std::string &dir) {
  mkdir((dir + "/models").c_str(), 0755);
  write(dir + "/models/away.gltf", gltf("../secret.bin"));
  write(dir + "/secret.bin", triangle_bin());
}
// Points at +-3.4e38, the largest float.
void gltf_huge(const std::string &dir) {
  write(dir + "/huge.gltf", gltf("huge.bin", "3.4e38"));
  write(dir + "/huge.bin", triangle_bin(0x7f7fffff));
}
// Node i places node i + 1: a chain deeper than the node depth allowed.
void gltf_deep_chain(const std::string &dir) {
  std::string nodes;
  for (int i = 0; i < 1500; ++i)
    nodes += "{\"children\": [" + std::to_string(i + 1) + "]}, ";
  write(dir + "/deep.gltf", gltf("box.bin", "1", nodes + R"({"mesh": 0})"));
  write(dir + "/box.bin", triangle_bin());
}

const std::string kTriangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
void obj_mtllib_fifo(const std::string &dir) {
  write(dir + "/tri.obj", "mtllib pipe.mtl\n" + kTriangleObj);
  mkfifo((dir + "/pipe.mtl").c_str(), 0600);
}
void obj_with_mtl(const std::string &dir) {
  write(dir + "/tri.obj", "mtllib tri.mtl\nusemtl red\n" + kTriangleObj);
  write(dir + "/tri.mtl", "newmtl red\nKd 1 0 0\n");
}
void obj_no_area(const std::string &dir) { write(dir + "/line.obj", "v 0 0 0\nv 1 1 1\nv 2 2 2\nf 1 2 3\n"); }

// A Collada triangle whose material's image is tex.tga, beside it.
void collada_textured(const std::string &dir) {
  write(dir + "/tri.dae", R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <library_images><image id="img"><init_from>tex.tga</init_from></image></library_images>
 <library_effects><effect id="fx"><profile_COMMON>
  <newparam sid="surf"><surface type="2D"><init_from>img</init_from></surface></newparam>
  <newparam sid="samp"><sampler2D><source>surf</source></sampler2D></newparam>
  <technique sid="t"><lambert><diffuse><texture texture="samp" texcoord="uv"/></diffuse></lambert></technique>
 </profile_COMMON></effect></library_effects>
 <library_materials><material id="mat"><instance_effect url="#fx"/></material></library_materials>
 <library_geometries><geometry id="tri"><mesh>
  <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
   <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
    <param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
  <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
  <triangles count="1" material="m"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
 </mesh></geometry></library_geometries>
 <library_visual_scenes><visual_scene id="s"><node id="n"><instance_geometry url="#tri">
  <bind_material><technique_common><instance_material symbol="m" target="#mat"/></technique_common>
  </bind_material></instance_geometry></node></visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)");
  write(dir + "/tex.tga",
        std::string{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0} + "\x10\x80\xf0");
}
// <node>s nested deeper than the node depth allowed, the last one placing
// a triangle.
void collada_deep(const std::string &dir) {
  std::string open, close;
  for (int i = 0; i < 1500; ++i)
    open += "<node>", close += "</node>";
  write(dir + "/deep.dae", R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <library_visual_scenes><visual_scene id="s">)" +
                               open + close + R"(</visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)");
}
void collada_self(const std::string &dir) {
  write(dir + "/loop.dae", R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <library_nodes><node id="loop"><instance_node url="#loop"/></node></library_nodes>
 <library_visual_scenes><visual_scene id="s"><node id="top"><instance_node url="#loop"/></node>
 </visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)");
}
void ply_announcing_millions(const std::string &dir) {
  write(dir + "/bomb.ply", "ply\nformat ascii 1.0\nelement vertex 400000000\nproperty float x\n"
                           "property float y\nproperty float z\nend_header\n0 0 0\n1 0 0\n0 1 0\n");
}
// A triangle whose face announces 2^28 corners: Assimp sets aside room for
// them all.
void ply_binary_large(const std::string &dir) {
  std::string data(36, '\0');
  data[15] = data[31] = '\x3f', data[14] = data[30] = '\x80'; // 1.0 as x of point 1, y of point 2
  data += std::string("\0\0\0\x10", 4) + std::string(12, '\0');
  write(dir + "/large.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
                            "property float y\nproperty float z\nelement face 1\n"
                            "property list uint int vertex_indices\nend_header\n" +
                                data);
}
// A zip archive whose one member, model.dae, states 512 MiB unpacked.
void zae_bomb(const std::string &dir) {
  const auto le = [](unsigned v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
      s += static_cast<char>((v >> (8 * i)) & 0xff);
    return s;
  };
  const std::string name = "model.dae", data = "<COLLADA/>";
  const std::string sizes = le(0, 4) + le(static_cast<unsigned>(data.size()), 4) + le(512u << 20, 4);
  const std::string local = "PK\3\4" + le(20, 2) + le(0, 2) + le(0, 2) + le(0, 4) + sizes +
                            le(static_cast<unsigned>(name.size()), 2) + le(0, 2) + name + data;
  const std::string central = "PK\1\2" + le(20, 2) + le(20, 2) + le(0, 2) + le(0, 2) + le(0, 4) + sizes +
                              le(static_cast<unsigned>(name.size()), 2) + le(0, 2) + le(0, 2) + le(0, 2) +
                              le(0, 2) + le(0, 4) + le(0, 4) + name;
  const std::string end = "PK\5\6" + le(0, 2) + le(0, 2) + le(1, 2) + le(1, 2) +
                          le(static_cast<unsigned>(central.size()), 4) +
                          le(static_cast<unsigned>(local.size()), 4) + le(0, 2);
  write(dir + "/bomb.zae", local + central + end);
}
void irrmesh(const std::string &dir) {
  write(dir + "/cellar.irrmesh",
        "<?xml version=\"1.0\"?>\n<mesh xmlns=\"http://irrlicht.sourceforge.net/IRRMESH_09_2007\" "
        "version=\"1.0\">\n<buffer>\n<material>\n<color name=\"Diffuse\" value=\"ff808080\" />\n"
        "</material>\n<vertices type=\"standard\" vertexCount=\"3\">\n0 0 0 0 0 1 ffffffff 0 0\n"
        "1 0 0 0 0 1 ffffffff 1 0\n0 1 0 0 0 1 ffffffff 0 1\n</vertices>\n<indices indexCount=\"3\">\n"
        "0 1 2\n</indices>\n</buffer>\n</mesh>\n");
}

std::string model_entry(const std::string &file) {
  return R"({"root": {"children": [{"type": "object", "geometry": {"part": ")" + file +
         R"(", "part_mesh": 0}}]}})";
}
std::string import_refused(const std::string &file, const std::string &why) {
  return "brightfold: " + file + ": cannot import: " + why + "\n";
}

} // namespace

std::vector<Case> model_cases() {
  const auto save = [](const std::string &model) {
    return std::vector<std::string>{"save", model, "out.pov"};
  };
  const std::string graph =
      "the file places more than 200000 nodes (its nodes are placed over and over inside each other)";
  const std::string deep = "the file nests its nodes more than 1000 levels deep";
  const std::string cycle = "a node of the file is placed inside itself";
  const std::string too_many = "the file is cut off or announces more elements than it holds";
  const std::string reads = "it is a file that the scene reads";
  return {
      // ---- the part guards on every way a model is read
      {"ModelColladaNodePlacingItself", save("loop.dae"), "", 2, import_refused("loop.dae", cycle),
       Match::Exact, collada_self},
      {"ModelEntryColladaNodePlacingItself",
       {"save", "scene.json", "out.pov"},
       model_entry("loop.dae"),
       2,
       "brightfold: scene.json: /root/children/0/geometry/part: cannot load \"{dir}/loop.dae\": " + cycle +
           "\n",
       Match::Exact,
       collada_self},
      {"ModelGltfChildTwicePerLevel",
       {"render", "doubling.gltf", "out.png"},
       "",
       2,
       import_refused("doubling.gltf", graph),
       Match::Exact,
       gltf_twenty_levels},
      {"ModelGltfChainTooDeep",
       {"import", "deep.gltf", "out.json"},
       "",
       2,
       import_refused("deep.gltf", deep),
       Match::Exact,
       gltf_deep_chain},
      {"ModelColladaNodesNestedTooDeep", save("deep.dae"), "", 2, import_refused("deep.dae", deep),
       Match::Exact, collada_deep},
      {"ModelPlyAnnouncingMillions", save("bomb.ply"), "", 2, import_refused("bomb.ply", too_many),
       Match::Exact, ply_announcing_millions},
      {"ModelZaeUnpackingBeyondTheBound", save("bomb.zae"), "", 2,
       import_refused("bomb.zae", "the archive unpacks to more than 256 MiB, more than a model may"),
       Match::Exact, zae_bomb},
      {"ModelBinaryPlyOutOfMemory", save("large.ply"), "", 2, import_refused("large.ply", "out of memory"),
       Match::Exact, ply_binary_large, 100},
      {"ModelIrrlichtMesh", save("cellar.irrmesh"), "", 2,
       import_refused(
           "cellar.irrmesh",
           "Irrlicht mesh files (.irrmesh) cannot be read: the Assimp library in use does not read them"),
       Match::Exact, irrmesh},
      // ---- files a model names: regular files only, never overwritten
      {"ModelBufferIsAFifo", save("pipe.gltf"), "", 2,
       import_refused("pipe.gltf",
                      "cannot read \"{dir}/pipe.bin\", which the file names: not a regular file"),
       Match::Exact, gltf_buffer_fifo},
      {"PartMaterialLibraryIsAFifo",
       {"save", "scene.json", "out.pov"},
       R"({"root": {"children": [{"type": "object", "geometry": {"part": "tri.obj"}}]}})",
       2,
       "brightfold: scene.json: /root/children/0/geometry/part: cannot load \"{dir}/tri.obj\": cannot read "
       "\"{dir}/pipe.mtl\", which the file names: not a regular file\n",
       Match::Exact,
       obj_mtllib_fifo},
      {"SaveOverAModelBuffer",
       {"save", "box.gltf", "box.bin"},
       "",
       1,
       "brightfold: cannot save to box.bin: " + reads + "\n",
       Match::Exact,
       gltf_box},
      {"SaveOverAModelMaterialLibrary",
       {"save", "tri.obj", "tri.mtl"},
       "",
       1,
       "brightfold: cannot save to tri.mtl: " + reads + "\n",
       Match::Exact,
       obj_with_mtl},
      {"RenderOverAModelImage",
       {"render", "tri.dae", "tex.tga"},
       "",
       1,
       "brightfold: cannot write {dir}/tex.tga: " + reads + "\n",
       Match::Exact,
       collada_textured},
      {"RenderThroughALinkToAModelBuffer",
       {"render", "box.gltf", "link.png"},
       "",
       1,
       "brightfold: cannot write {dir}/link.png: " + reads + "\n",
       Match::Exact,
       gltf_picture_links_to_buffer},
      {"SaveBesideABufferNamedLikeAnInclude", save("box.gltf"), "", 1,
       "brightfold: cannot save to out.pov: {dir}/box.inc beside it is a file that the scene reads, at a "
       "name "
       "the save may write\n",
       Match::Exact, gltf_buffer_like_include},
      {"ImportOverAModelBuffer",
       {"import", "box.gltf", "out.json"},
       "",
       1,
       "brightfold: cannot write out.json: " + reads + "\n",
       Match::Exact,
       gltf_buffer_as_output},
      {"KeepSceneOverTheDefinitions",
       {"render", "box.gltf", "out.png", "--keep-scene", "okudefs.inc"},
       "",
       1,
       "brightfold: cannot write {dir}/okudefs.inc: it is the user's definitions file, which is only read\n",
       Match::Exact,
       gltf_box},
      // ---- lesser
      {"ModelPointsBeyondTheFloatRange",
       {"import", "huge.gltf", "out.json"},
       "",
       2,
       "brightfold: {dir}/huge.gltf: the model's points reach 3.402823e+38, beyond the 1e+30 that "
       "a scene can frame and hold\n",
       Match::Exact,
       gltf_huge},
      // The object after the camera and the key, fill and rim lights.
      {"ModelWithoutAnyArea", save("line.obj"), "", 0,
       "brightfold: warning: line.obj: /root/children/4/geometry/part: mesh 0 of \"{dir}/line.obj\" holds "
       "no "
       "polygon with an area; the part is saved empty and draws nothing\n",
       Match::Exact, obj_no_area},
      {"ModelReadingOutsideItsFolder", save("models/away.gltf"), "", 0,
       "brightfold: warning: {dir}/models/away.gltf reads \"{dir}/secret.bin\", outside its own folder; a "
       "model "
       "from others may read any file the user can\n",
       Match::Exact, gltf_buffer_outside},
  };
}

} // namespace badinput
