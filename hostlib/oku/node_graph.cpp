// Counting placed nodes in node graphs, without building them.
#include "oku/node_graph.h"

#include <expat.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace oku {

namespace {

// Nodes by name, each with the names of the nodes it places.
using Graph = std::map<std::string, std::vector<std::string>>;

class PlacementCount {
public:
  explicit PlacementCount(const Graph &graph) : graph_(graph) {}

  // Placed nodes below and including `name`, at most kMaxPlacedNodes + 1;
  // kCycle when the node places itself somewhere below, kTooDeep when
  // nodes nest deeper than kMaxNodeDepth.
  long count(const std::string &name, int depth = 0) {
    if (depth > kMaxNodeDepth)
      return kTooDeep;
    auto [it, fresh] = memo_.emplace(name, kCycle);
    if (!fresh)
      return it->second;
    long total = 1;
    const auto node = graph_.find(name);
    if (node != graph_.end())
      for (const std::string &child : node->second) {
        const long below = count(child, depth + 1);
        if (below < 0)
          return memo_[name] = below;
        total = std::min(total + below, kMaxPlacedNodes + 1);
      }
    return memo_[name] = total;
  }

  static constexpr long kCycle = -1; // also the mark of a node being counted
  static constexpr long kTooDeep = -2;

private:
  const Graph &graph_;
  std::map<std::string, long> memo_;
};

std::string problem_of(const Graph &graph, const std::vector<std::string> &roots) {
  PlacementCount counter(graph);
  long total = 0;
  for (const std::string &root : roots) {
    const long n = counter.count(root);
    if (n == PlacementCount::kCycle)
      return "a node of the file is placed inside itself";
    if (n == PlacementCount::kTooDeep)
      return "the file nests its nodes more than " + std::to_string(kMaxNodeDepth) + " levels deep";
    total += n;
    if (total > kMaxPlacedNodes)
      return "the file places more than " + std::to_string(kMaxPlacedNodes) +
             " nodes (its nodes are placed over and over inside each other)";
  }
  return "";
}

// A reference to a node: an index (glTF 2) or a name (glTF 1).
std::string key_of(const nlohmann::json &ref) {
  if (ref.is_number_unsigned())
    return std::to_string(ref.get<unsigned long long>());
  return ref.is_string() ? ref.get<std::string>() : std::string();
}

} // namespace

// Assimp's glTF 2 reader reads one inverse bind matrix per joint from the
// skin's accessor without checking that it holds that many: a skin without
// the accessor (the glTF default: identities) makes it follow a null
// pointer, and a short one makes it read past the accessor's data.
static std::string gltf_skin_problem(const nlohmann::json &doc) {
  if (!doc.contains("skins") || !(doc["skins"].is_array() || doc["skins"].is_object()))
    return "";
  const nlohmann::json *accessors = doc.contains("accessors") ? &doc["accessors"] : nullptr;
  for (const auto &skin : doc["skins"]) {
    if (!skin.is_object())
      continue;
    if (!skin.contains("inverseBindMatrices"))
      return "a skin without inverse bind matrices, which the model reader cannot take";
    const nlohmann::json &index = skin["inverseBindMatrices"];
    const size_t joints = skin.contains("joints") && skin["joints"].is_array() ? skin["joints"].size() : 0;
    if (!index.is_number_unsigned() || !accessors || !accessors->is_array())
      continue; // glTF 1 names its accessors; its reader copies what it finds
    const size_t i = index.get<size_t>();
    const nlohmann::json *accessor = i < accessors->size() ? &(*accessors)[i] : nullptr;
    // Looked up with contains(): a const operator[] must not meet a missing key.
    const bool fits = accessor && accessor->is_object() && accessor->contains("type") &&
                      (*accessor)["type"] == "MAT4" && accessor->contains("count") &&
                      (*accessor)["count"].is_number_unsigned() &&
                      (*accessor)["count"].get<size_t>() >= joints;
    if (!fits)
      return "a skin with fewer inverse bind matrices than joints, which the model reader cannot take";
  }
  return "";
}

std::string gltf_graph_problem(const nlohmann::json &doc) {
  if (!doc.is_object())
    return "";
  if (std::string skin = gltf_skin_problem(doc); !skin.empty())
    return skin;
  if (!doc.contains("nodes"))
    return "";
  Graph graph;
  const nlohmann::json &nodes = doc["nodes"];
  const auto add = [&](const std::string &name, const nlohmann::json &node) {
    auto &children = graph[name];
    if (node.is_object() && node.contains("children") && node["children"].is_array())
      for (const auto &child : node["children"])
        children.push_back(key_of(child));
  };
  if (nodes.is_array())
    for (size_t i = 0; i < nodes.size(); ++i)
      add(std::to_string(i), nodes[i]);
  else if (nodes.is_object())
    for (auto it = nodes.begin(); it != nodes.end(); ++it)
      add(it.key(), it.value());
  std::vector<std::string> roots;
  if (doc.contains("scenes") && (doc["scenes"].is_array() || doc["scenes"].is_object()))
    for (const auto &scene : doc["scenes"])
      if (scene.is_object() && scene.contains("nodes") && scene["nodes"].is_array())
        for (const auto &root : scene["nodes"])
          roots.push_back(key_of(root));
  return problem_of(graph, roots);
}

namespace {

// The element name without its namespace prefix.
std::string_view local_name(const XML_Char *name) {
  std::string_view n(name);
  const size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const XML_Char *attribute(const XML_Char **attributes, std::string_view name) {
  for (int i = 0; attributes[i] != nullptr; i += 2)
    if (name == attributes[i])
      return attributes[i + 1];
  return "";
}

// Follows <node> nesting and <instance_node> references through expat.
struct ColladaScan {
  Graph graph;
  std::vector<std::string> open_nodes, roots;
  int in_scene = 0;
  long unnamed = 0;

  void start(std::string_view name, const XML_Char **attributes) {
    if (name == "visual_scene") {
      ++in_scene;
    } else if (name == "node") {
      std::string id = attribute(attributes, "id");
      id = id.empty() ? "\n" + std::to_string(unnamed++) : id; // no id holds a line break
      if (!open_nodes.empty())
        graph[open_nodes.back()].push_back(id);
      else if (in_scene > 0)
        roots.push_back(id);
      graph[id];
      open_nodes.push_back(id);
    } else if (name == "instance_node" && !open_nodes.empty()) {
      const std::string url = attribute(attributes, "url");
      graph[open_nodes.back()].push_back(url.rfind('#', 0) == 0 ? url.substr(1) : url);
    }
  }
  void end(std::string_view name) {
    if (name == "visual_scene")
      --in_scene;
    else if (name == "node" && !open_nodes.empty())
      open_nodes.pop_back();
  }
};

} // namespace

std::string collada_graph_problem(const std::string &xml) {
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
  if (!parser || xml.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return "";
  ColladaScan scan;
  XML_SetUserData(parser.get(), &scan);
  XML_SetElementHandler(
      parser.get(),
      [](void *data, const XML_Char *name, const XML_Char **attributes) {
        static_cast<ColladaScan *>(data)->start(local_name(name), attributes);
      },
      [](void *data, const XML_Char *name) { static_cast<ColladaScan *>(data)->end(local_name(name)); });
  if (XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), 1) != XML_STATUS_OK)
    return ""; // Assimp says what is wrong with the file
  return problem_of(scan.graph, scan.roots);
}

} // namespace oku
