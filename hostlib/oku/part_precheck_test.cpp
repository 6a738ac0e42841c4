// The checks made before Assimp reads a part file: each row is the file's
// bytes, its type and the problem expected ("" for a file that must pass).
#include "oku/node_graph.h"
#include "oku/part_precheck.h"
#include "oku/utf16_text.h"

#include <gtest/gtest.h>

namespace {

struct Row {
  const char *name;
  std::string bytes;
  const char *type;
  std::string problem;
};

const std::string kTooMany = "the file is cut off or announces more elements than it holds";
const std::string kCycle = "a node of the file is placed inside itself";

std::string ply_binary(int vertices, int data_bytes) {
  return "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(vertices) +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face 0\n"
         "property list uchar int vertex_indices\nend_header\n" +
         std::string(static_cast<size_t>(data_bytes), '\0');
}

void le32(std::string &out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>((v >> (8 * i)) & 0xff);
}

std::string glb(const std::string &json) {
  std::string out = "glTF";
  le32(out, 2);
  le32(out, static_cast<uint32_t>(20 + json.size()));
  le32(out, static_cast<uint32_t>(json.size()));
  out += "JSON" + json;
  return out;
}

// A skin of two joints whose inverse bind matrices are accessor `index`.
const std::string kShortSkin =
    "a skin with fewer inverse bind matrices than joints, which the model reader cannot take";
std::string skin_gltf(const std::string &accessor, int index = 0) {
  return R"({"nodes": [{"skin": 0}, {}, {}], "skins": [{"inverseBindMatrices": )" + std::to_string(index) +
         R"(, "joints": [1, 2]}], "accessors": [)" + accessor + "]}";
}

// Three nodes nested as a chain, the last placing the first.
const std::string kGltfCycle = R"({"scenes": [{"nodes": [0]}], "nodes": [{"children": [1]}, {"children": [2]},
                                   {"children": [0]}]})";
std::string gltf_chain(int depth) {
  std::string nodes;
  for (int i = 0; i < depth; ++i)
    nodes += "{\"children\": [" + std::to_string(i + 1) + "]}, ";
  return R"({"scenes": [{"nodes": [0]}], "nodes": [)" + nodes + "{}]}";
}

// A glTF 2 document over one 24-byte buffer: its views, accessors and
// whatever else `more` adds.
std::string gltf2(const std::string &views, const std::string &accessors, const std::string &more = "") {
  return R"({"buffers": [{"byteLength": 24}], "bufferViews": [)" + views + R"(], "accessors": [)" +
         accessors + "]" + more + "}";
}
const std::string kView24 = R"({"buffer": 0, "byteLength": 24})";
const std::string kPastView = "an accessor of the file reads past the end of its buffer view";
const std::string kPastBuffer = "a buffer view of the file reaches past the end of its buffer";
const std::string kSets = "a primitive of the file numbers its attribute sets out of order (or past 7)";
std::string vec3s(int count, int offset = 0) {
  return R"({"bufferView": 0, "componentType": 5126, "type": "VEC3", "count": )" + std::to_string(count) +
         R"(, "byteOffset": )" + std::to_string(offset) + "}";
}
// A glTF 1 document whose buffer states 24 bytes and whose view takes `view_bytes`.
std::string gltf1(int view_bytes) {
  return R"({"buffers": {"b": {"byteLength": 24, "uri": "x.bin"}}, "bufferViews": {"v": {"buffer": "b", "byteLength": )" +
         std::to_string(view_bytes) + "}}}";
}
// A binary glTF 1 file whose body holds `body` bytes, read through buffer "binary_glTF".
std::string glb1(int body) {
  const std::string json = R"({"bufferViews": {"v": {"buffer": "binary_glTF", "byteLength": 24}}})";
  std::string out = "glTF";
  const uint32_t start = static_cast<uint32_t>((20 + json.size() + 3) / 4 * 4);
  le32(out, 1);
  le32(out, start + static_cast<uint32_t>(body));
  le32(out, static_cast<uint32_t>(json.size()));
  le32(out, 0);
  out += json;
  out.resize(start + static_cast<size_t>(body), ' ');
  return out;
}

const Row kRows[] = {
    {"OffWithRoom", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "off", ""},
    {"OffCountsOnTheFirstLine", "OFF 3 1 0\n# a comment\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "off", ""},
    {"OffAnnouncingTooMuch", "OFF\n# comment\n1000 1 0\n0 0 0\n", "off", kTooMany},
    {"PlyBinaryExactFit", ply_binary(2, 24), "ply", ""},
    {"PlyBinaryOneByteShort", ply_binary(2, 23), "ply", kTooMany},
    {"OffWithoutHeaderAnnouncingTooMuch", "1000 1 0\n0 0 0\n", "off", kTooMany},
    {"PlyInCapitalsAnnouncingTooMuch", "PLY" + ply_binary(2, 23).substr(3), "ply", kTooMany},
    {"PlyNamedGltf", ply_binary(2, 23), "gltf", kTooMany},
    {"PlyWithoutHeaderEnd", "ply\nformat ascii 1.0\nelement vertex 99999999999\n", "ply", ""},
    {"GltfTree", R"({"scenes": [{"nodes": [0]}], "nodes": [{"children": [1, 2]}, {}, {}]})", "gltf", ""},
    {"GltfCycle", kGltfCycle, "gltf", kCycle},
    {"GltfOneNameForManyNodes",
     R"({"scenes": {"s": {"nodes": ["a"]}}, "nodes": {"a": {"children": ["b", "b"]}, "b": {}}})", "gltf", ""},
    {"GltfTooDeep", gltf_chain(1001), "gltf", "the file nests its nodes more than 1000 levels deep"},
    {"GlbCycle", glb(kGltfCycle), "glb", kCycle},
    {"GltfNotJson", "{not json", "gltf", ""},
    {"GltfSkinMatrixPerJoint", skin_gltf(R"({"type": "MAT4", "count": 2})"), "gltf", ""},
    {"GltfSkinShortOfMatrices", skin_gltf(R"({"type": "MAT4", "count": 1})"), "gltf", kShortSkin},
    {"GltfSkinMatricesOfAnotherType", skin_gltf(R"({"type": "VEC4", "count": 8})"), "gltf", kShortSkin},
    {"GltfSkinMatricesWithoutCount", skin_gltf(R"({"type": "MAT4"})"), "gltf", kShortSkin},
    {"GltfSkinMatricesTypedByNumber", skin_gltf(R"({"type": 4, "count": 2})"), "gltf", kShortSkin},
    {"GltfSkinMatricesNotThere", skin_gltf("{}", 5), "gltf", kShortSkin},
    {"GltfReadUpToANul", kGltfCycle + std::string("\0 garbage", 9), "gltf", kCycle},
    {"GltfWithAByteOfNoUtf8",
     skin_gltf(R"({"type": "MAT4", "count": 1, "name": ")"
               "\xff"
               R"("})"),
     "gltf", kShortSkin},
    {"GltfNestedTooDeep", "{\"x\": " + std::string(1001, '[') + std::string(1001, ']') + "}", "gltf",
     "the file nests its JSON more than 1000 levels deep"},
    {"GltfOneMemberTwice", R"({"nodes": [], "nodes": []})", "gltf",
     "an object of the file names one member twice"},
    {"GltfVec3sFillTheirView", gltf2(kView24, vec3s(2)), "gltf", ""},
    {"GltfVec3sFromAnOffsetPastTheirView", gltf2(kView24, vec3s(2, 4)), "gltf", kPastView},
    {"GltfStridedLastElementPastTheView",
     gltf2(R"({"buffer": 0, "byteLength": 24, "byteStride": 16})", vec3s(2)), "gltf", kPastView},
    {"GltfSparseWithoutValues", gltf2(kView24, R"({"componentType": 5126, "type": "VEC3", "count": 2,
                         "sparse": {"count": 1, "indices": {"bufferView": 0, "componentType": 5121}}})"),
     "gltf", "a sparse accessor of the file lacks its indices or values"},
    {"GltfSparseValuesPastTheirView",
     gltf2(kView24, R"({"componentType": 5126, "type": "VEC3", "count": 4, "sparse": {"count": 3,
                         "indices": {"bufferView": 0, "componentType": 5121}, "values": {"bufferView": 0}}})"),
     "gltf", kPastView},
    {"GltfStripOfTwoVertices",
     gltf2(kView24, vec3s(2),
           R"(, "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "mode": 5}]}])"),
     "gltf", "a primitive of the file has too few vertices for its mode"},
    {"GltfSecondUvSetAlone",
     gltf2(kView24, vec3s(2), R"(, "meshes": [{"primitives": [{"attributes": {"TEXCOORD_1": 0}}]}])"), "gltf",
     kSets},
    {"GltfMorphTargetSetBelowZero",
     gltf2(kView24, vec3s(2), R"(, "meshes": [{"primitives": [{"targets": [{"POSITION_-1": 0}]}]}])"), "gltf",
     kSets},
    {"GltfAnimationWithFewerValuesThanTimes",
     gltf2(kView24, vec3s(2) + R"(, {"bufferView": 0, "componentType": 5126, "count": 3})",
           R"(, "animations": [{"samplers": [{"input": 1, "output": 0}]}])"),
     "gltf", "an animation of the file has fewer values than key times"},
    {"Gltf1ViewFillsItsBuffer", gltf1(24), "gltf", ""},
    {"Gltf1ViewPastItsBuffer", gltf1(25), "gltf", kPastBuffer},
    {"Gltf1NormalsFewerThanPositions",
     R"({"accessors": {"p": {"count": 3, "type": "VEC3"}, "n": {"count": 2, "type": "VEC3"}},
         "meshes": {"m": {"primitives": [{"attributes": {"POSITION": "p", "NORMAL": "n"}}]}}})",
     "gltf", "the attributes of a primitive of the file hold different numbers of vertices"},
    {"Gltf1PositionsOfFourFloats",
     R"({"accessors": {"p": {"count": 3, "type": "VEC4", "componentType": 5126}},
         "meshes": {"m": {"primitives": [{"attributes": {"POSITION": "p"}}]}}})",
     "gltf", "an attribute of the file has elements larger than the model reader takes"},
    {"Glb1BodyHoldsTheView", glb1(24), "glb", ""},
    {"Glb1BodyShortOfTheView", glb1(20), "glb", kPastBuffer},
    {"ColladaInstanceInComment",
     R"(<visual_scene><node id="a"><!-- <instance_node url="#a"/> --></node></visual_scene>)", "dae", ""},
    {"ColladaNestedCycle",
     R"(<COLLADA><library_nodes><node id="a"><node id="b"><instance_node url='#a'/></node></node></library_nodes>)"
     R"(<visual_scene><node><instance_node url="#a"/></node></visual_scene></COLLADA>)",
     "dae", kCycle},
    {"ColladaPrefixedNames",
     R"(<c:COLLADA xmlns:c="x"><c:visual_scene><c:node id="a"><c:instance_node url="#a"/></c:node>)"
     R"(</c:visual_scene></c:COLLADA>)",
     "dae", kCycle},
    {"ColladaNotXml", "<COLLADA><node id='a'><instance_node url='#a'/>", "dae", ""},
    {"ObjIsNotChecked", "v 1 2 3\n", "obj", ""},
};

TEST(PartPrecheck, AnnouncedCountsAndNodeGraphs) {
  for (const Row &row : kRows)
    EXPECT_EQ(oku::part_bytes_problem(row.bytes, row.type, static_cast<long long>(row.bytes.size())),
              row.problem)
        << row.name;
}

TEST(PartPrecheck, Utf16TextBecomesUtf8) {
  const struct {
    std::string in, out;
  } rows[] = {
      {std::string("\xff\xfe"
                   "a\0\xe9\0",
                   6),
       "a\xc3\xa9"},
      {std::string("\xfe\xff\0a\x20\xac", 6), "a\xe2\x82\xac"},
      {std::string("\xff\xfe\x3d\xd8\x00\xde", 6), "\xf0\x9f\x98\x80"}, // a surrogate pair
      {std::string("\xff\xfe\x3d\xd8"
                   "a\0",
                   6),
       "\xef\xbf\xbd"
       "a"}, // a lone surrogate
  };
  for (const auto &row : rows) {
    std::string out;
    ASSERT_TRUE(oku::utf16_to_utf8(row.in, out));
    EXPECT_EQ(out, row.out);
  }
  std::string out;
  EXPECT_FALSE(oku::utf16_to_utf8("v 0 0 0\n", out));
}

} // namespace
