// Counting placed nodes in node graphs, without building them.
#include "oku/node_graph.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
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

std::string gltf_graph_problem(const std::string &text) {
  const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
  if (!doc.is_object() || !doc.contains("nodes"))
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

// A small reader of XML tags: enough to follow <node> nesting and
// references; text, comments and processing instructions are skipped.
class TagReader {
public:
  explicit TagReader(std::string_view xml) : xml_(xml) {}

  // The next tag: false at the end. `name` without a namespace prefix.
  bool next(std::string_view &name, std::string_view &attributes, bool &closing, bool &empty) {
    for (;;) {
      const size_t open = xml_.find('<', at_);
      if (open == std::string_view::npos)
        return false;
      at_ = open;
      if (skip("<!--", "-->") || skip("<![CDATA[", "]]>") || skip("<?", "?>") || skip("<!", ">"))
        continue;
      size_t end = at_ + 1;
      char quote = 0;
      for (; end < xml_.size() && (quote != 0 || xml_[end] != '>'); ++end)
        if (quote == 0 && (xml_[end] == '"' || xml_[end] == '\''))
          quote = xml_[end];
        else if (quote != 0 && xml_[end] == quote)
          quote = 0;
      if (end >= xml_.size())
        return false;
      std::string_view tag = xml_.substr(at_ + 1, end - at_ - 1);
      at_ = end + 1;
      closing = !tag.empty() && tag[0] == '/';
      empty = !tag.empty() && tag.back() == '/';
      if (closing)
        tag.remove_prefix(1);
      const size_t name_end = tag.find_first_of(" \t\r\n/");
      name = tag.substr(0, name_end);
      const size_t colon = name.find(':');
      if (colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
      attributes = name_end == std::string_view::npos ? std::string_view() : tag.substr(name_end);
      return true;
    }
  }

private:
  bool skip(std::string_view start, std::string_view end) {
    if (xml_.compare(at_, start.size(), start) != 0)
      return false;
    const size_t stop = xml_.find(end, at_ + start.size());
    at_ = stop == std::string_view::npos ? xml_.size() : stop + end.size();
    return true;
  }

  std::string_view xml_;
  size_t at_ = 0;
};

// The value of attribute `name` in a tag's attribute text ("" when none).
std::string attribute(std::string_view attributes, std::string_view name) {
  for (size_t at = attributes.find(name); at != std::string_view::npos; at = attributes.find(name, at + 1)) {
    const bool starts =
        at == 0 || std::string_view(" \t\r\n").find(attributes[at - 1]) != std::string_view::npos;
    size_t eq = at + name.size();
    while (eq < attributes.size() &&
           std::string_view(" \t\r\n").find(attributes[eq]) != std::string_view::npos)
      ++eq;
    if (!starts || eq >= attributes.size() || attributes[eq] != '=')
      continue;
    size_t quote = attributes.find_first_of("\"'", eq);
    if (quote == std::string_view::npos)
      return "";
    const size_t close = attributes.find(attributes[quote], quote + 1);
    return std::string(attributes.substr(quote + 1, close - quote - 1));
  }
  return "";
}

} // namespace

std::string collada_graph_problem(const std::string &xml) {
  Graph graph;
  std::vector<std::string> open_nodes, roots;
  int in_scene = 0;
  long unnamed = 0;
  std::string_view name, attributes;
  bool closing = false, empty = false;
  TagReader reader(xml);
  while (reader.next(name, attributes, closing, empty)) {
    if (name == "visual_scene" && !empty)
      in_scene += closing ? -1 : 1;
    if (name == "node" && closing) {
      if (!open_nodes.empty())
        open_nodes.pop_back();
    } else if (name == "node") {
      std::string id = attribute(attributes, "id");
      id = id.empty() ? "\n" + std::to_string(unnamed++) : id; // no id can hold a line break
      if (!open_nodes.empty())
        graph[open_nodes.back()].push_back(id);
      else if (in_scene > 0)
        roots.push_back(id);
      graph[id];
      if (!empty)
        open_nodes.push_back(id);
    } else if (name == "instance_node" && !closing && !open_nodes.empty()) {
      const std::string url = attribute(attributes, "url");
      graph[open_nodes.back()].push_back(url.rfind('#', 0) == 0 ? url.substr(1) : url);
    }
  }
  return problem_of(graph, roots);
}

} // namespace oku
