// Node graphs of scene formats that place one node in several parents
// (glTF's child lists, Collada's <instance_node>), checked before Assimp
// reads the file: Assimp copies a node for every place it appears in, and
// follows a node that places itself until the stack runs out.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace oku {

// Nodes that a part file may place, counting every copy: far beyond any
// real model, and about 220 MB of Assimp's own node records.
constexpr long kMaxPlacedNodes = 200000;
// Nesting deeper than this is refused too: Assimp walks (and frees) node
// trees recursively.
constexpr int kMaxNodeDepth = 1000;

// What stops a glTF JSON document or a Collada document from being read
// ("" when nothing does): a node that contains itself, more than
// kMaxPlacedNodes placed nodes, or nodes nested too deep; for glTF also a
// skin without inverse bind matrices (Assimp's glTF 2 reader crashes on
// one). A Collada document that cannot be parsed is left to Assimp, which
// says what is wrong with it.
std::string gltf_graph_problem(const nlohmann::json &doc);
std::string collada_graph_problem(const std::string &xml);

} // namespace oku
