// Where a glTF file's accessors read, checked before Assimp reads the file.
// Assimp's glTF 2 reader measures an accessor against its buffer view by
// component rather than by element, so a VEC3 accessor may read past its
// view, and it trusts a sparse accessor's views; its glTF 1 reader checks
// neither views nor accessors, copies an element into a slot of the size it
// expects whatever the element's size, and walks every attribute as far as
// the positions go.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace oku {

// What stops the glTF document `doc` from being read ("" when nothing
// does): an accessor that reaches past its buffer view (its last element,
// or a sparse accessor's indices or values), a glTF 1 buffer view past its
// buffer, a primitive with too few vertices for its mode; in glTF 1 also
// attributes whose counts differ from the positions', and elements larger
// than the reader's slots. `glb_body` is the length of a binary glTF 1
// file's body, which stands for its buffer "binary_glTF" (-1: no body).
std::string gltf_accessor_problem(const nlohmann::json &doc, long long glb_body = -1);

} // namespace oku
