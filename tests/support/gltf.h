// Small glTF files written by tests: meshes, nodes, cameras and lights in a
// JSON file with its buffer embedded as base64.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace bftest {

using json = nlohmann::json;

class Gltf {
public:
  Gltf() {
    doc_ = {{"asset", {{"version", "2.0"}}},
            {"scene", 0},
            {"scenes", {{{"nodes", json::array()}}}},
            {"nodes", json::array()},
            {"meshes", json::array()},
            {"accessors", json::array()},
            {"bufferViews", json::array()},
            {"materials", json::array()}};
  }
  // A mesh of float triples and corner indices; mode 4 triangles, 0 points,
  // 1 lines. Answers its index.
  int mesh(const std::vector<float> &positions, const std::vector<uint32_t> &indices, int material = -1,
           int mode = 4, const std::vector<float> &normals = {}) {
    json primitive = {{"attributes", {{"POSITION", accessor(positions, true)}}}, {"mode", mode}};
    if (!normals.empty())
      primitive["attributes"]["NORMAL"] = accessor(normals, false);
    primitive["indices"] = index_accessor(indices);
    if (material >= 0)
      primitive["material"] = material;
    doc_["meshes"].push_back({{"primitives", {primitive}}});
    return static_cast<int>(doc_["meshes"].size()) - 1;
  }
  // A cube of side 2 around the origin.
  int cube(int material = -1) {
    std::vector<float> p;
    for (int i = 0; i < 8; ++i)
      p.insert(p.end(), {i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f});
    return mesh(p, {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                    2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5},
                material);
  }
  // Gives the mesh's vertices a float attribute of `width` values each
  // ("TEXCOORD_0" pairs, "COLOR_0" triples or quadruples).
  void attribute(int mesh, const std::string &name, const std::vector<float> &v, int width) {
    static const char *const types[] = {"", "SCALAR", "VEC2", "VEC3", "VEC4"};
    doc_["meshes"][mesh]["primitives"][0]["attributes"][name] =
        add("accessors", {{"bufferView", view(v.data(), v.size() * 4)},
                          {"componentType", 5126},
                          {"count", v.size() / width},
                          {"type", types[width]}});
  }
  // A texture of the image at `uri` (a file name or a data URI); answers
  // its index.
  int texture(const std::string &uri) { return add("textures", {{"source", add("images", {{"uri", uri}})}}); }
  // A texture of a picture held in the file's buffer, as a .glb holds it.
  int embedded_texture(const std::string &bytes, const std::string &mime = "image/png") {
    return add(
        "textures",
        {{"source", add("images", {{"bufferView", view(bytes.data(), bytes.size())}, {"mimeType", mime}})}});
  }
  int material(const json &m) { return add("materials", m); }
  // A node (keys as glTF has them); a child of `parent`, or of the scene.
  int node(const json &n, int parent = -1) {
    const int index = add("nodes", n);
    if (parent < 0)
      doc_["scenes"][0]["nodes"].push_back(index);
    else
      doc_["nodes"][parent]["children"].push_back(index);
    return index;
  }
  int camera(const json &c) { return add("cameras", c); }
  int light(const json &l) {
    doc_["extensionsUsed"] = {"KHR_lights_punctual"};
    doc_["extensions"]["KHR_lights_punctual"]["lights"].push_back(l);
    return static_cast<int>(doc_["extensions"]["KHR_lights_punctual"]["lights"].size()) - 1;
  }
  // An animation channel of `node`: its "translation", "rotation" or
  // "scale" at `times` (seconds), `values` 3 or 4 floats a key.
  void animate(int node, const std::string &path, const std::vector<float> &times,
               const std::vector<float> &values, const std::string &interpolation = "LINEAR") {
    const int input = add("accessors", {{"bufferView", view(times.data(), times.size() * 4)},
                                        {"componentType", 5126},
                                        {"count", times.size()},
                                        {"type", "SCALAR"},
                                        {"min", {times.front()}},
                                        {"max", {times.back()}}});
    const int output = add("accessors", {{"bufferView", view(values.data(), values.size() * 4)},
                                         {"componentType", 5126},
                                         {"count", times.size()},
                                         {"type", path == "rotation" ? "VEC4" : "VEC3"}});
    if (!doc_.contains("animations"))
      doc_["animations"] = {{{"channels", json::array()}, {"samplers", json::array()}}};
    json &animation = doc_["animations"][0];
    animation["samplers"].push_back({{"input", input}, {"output", output}, {"interpolation", interpolation}});
    animation["channels"].push_back(
        {{"sampler", animation["samplers"].size() - 1}, {"target", {{"node", node}, {"path", path}}}});
  }
  json &doc() { return doc_; }

  void write(const std::filesystem::path &path) {
    json out = doc_;
    if (!bytes_.empty())
      out["buffers"] = {
          {{"byteLength", bytes_.size()}, {"uri", "data:application/octet-stream;base64," + base64()}}};
    std::ofstream(path) << out.dump();
  }

private:
  int add(const char *list, const json &value) {
    doc_[list].push_back(value);
    return static_cast<int>(doc_[list].size()) - 1;
  }
  int view(const void *data, size_t size) {
    const size_t offset = bytes_.size();
    bytes_.resize(offset + (size + 3) / 4 * 4);
    std::memcpy(bytes_.data() + offset, data, size);
    return add("bufferViews", {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
  }
  int accessor(const std::vector<float> &v, bool bounds) {
    json a = {{"bufferView", view(v.data(), v.size() * 4)},
              {"componentType", 5126},
              {"count", v.size() / 3},
              {"type", "VEC3"}};
    if (bounds) {
      std::vector<float> lo(3, 1e30f), hi(3, -1e30f);
      for (size_t i = 0; i < v.size(); ++i)
        lo[i % 3] = std::min(lo[i % 3], v[i]), hi[i % 3] = std::max(hi[i % 3], v[i]);
      a["min"] = lo, a["max"] = hi;
    }
    return add("accessors", a);
  }
  int index_accessor(const std::vector<uint32_t> &v) {
    return add("accessors", {{"bufferView", view(v.data(), v.size() * 4)},
                             {"componentType", 5125},
                             {"count", v.size()},
                             {"type", "SCALAR"}});
  }
  std::string base64() const {
    static const char *digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes_.size(); i += 3) {
      uint32_t n = bytes_[i] << 16;
      if (i + 1 < bytes_.size())
        n |= bytes_[i + 1] << 8;
      if (i + 2 < bytes_.size())
        n |= bytes_[i + 2];
      out += digits[n >> 18 & 63];
      out += digits[n >> 12 & 63];
      out += i + 1 < bytes_.size() ? digits[n >> 6 & 63] : '=';
      out += i + 2 < bytes_.size() ? digits[n & 63] : '=';
    }
    return out;
  }

  json doc_;
  std::vector<unsigned char> bytes_;
};

} // namespace bftest
