// Accessors, buffer views, attributes and animation samplers of a glTF
// document, measured against what Assimp's readers do with them.
#include "oku/gltf_accessors.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace oku {

namespace {

using json = nlohmann::json;
// Sums and products of two sizes read from a file, without overflow.
using Wide = unsigned __int128;

const char *const kPastView = "an accessor of the file reads past the end of its buffer view";
const char *const kPastBuffer = "a buffer view of the file reaches past the end of its buffer";
const char *const kSparse = "a sparse accessor of the file lacks its indices or values";
const char *const kFewVertices = "a primitive of the file has too few vertices for its mode";
const char *const kSets = "a primitive of the file numbers its attribute sets out of order (or past 7)";
const char *const kCounts = "the attributes of a primitive of the file hold different numbers of vertices";
const char *const kLarge = "an attribute of the file has elements larger than the model reader takes";
const char *const kKeys = "an animation of the file has fewer values than key times";

const json *member(const json &object, const char *key) {
  if (!object.is_object())
    return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// The entry of a collection that `ref` names: an index into an array
// (glTF 2) or a key of an object (glTF 1); null when there is none.
const json *entry(const json &doc, const char *collection, const json *ref) {
  const json *all = member(doc, collection);
  if (all == nullptr || ref == nullptr)
    return nullptr;
  if (all->is_array() && ref->is_number_unsigned()) {
    const auto i = ref->get<std::uint64_t>();
    return i < all->size() ? &(*all)[i] : nullptr;
  }
  return all->is_object() && ref->is_string() ? member(*all, ref->get<std::string>().c_str()) : nullptr;
}

// A size as Assimp reads it: a whole number, else the default.
std::uint64_t size_of(const json &object, const char *key, std::uint64_t fallback = 0) {
  const json *v = member(object, key);
  return v != nullptr && v->is_number_unsigned() ? v->get<std::uint64_t>() : fallback;
}

// Bytes of an element; 0 for a component type that the readers refuse themselves.
Wide element_bytes(const json &accessor) {
  unsigned bytes = 0;
  switch (size_of(accessor, "componentType", 5120)) {
  case 5120:
  case 5121:
    bytes = 1;
    break;
  case 5122:
  case 5123:
    bytes = 2;
    break;
  case 5125:
  case 5126:
    bytes = 4;
    break;
  }
  const json *type = member(accessor, "type");
  const std::string name = type != nullptr && type->is_string() ? type->get<std::string>() : "";
  static const std::pair<const char *, unsigned> kComponents[] = {{"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4},
                                                                  {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
  for (const auto &[kind, n] : kComponents)
    if (name == kind)
      return Wide(bytes) * n;
  return bytes; // SCALAR, or a type the readers take as one
}

// Whether `count` elements of `element` bytes, `stride` apart from
// `offset`, end within `length` bytes.
bool fits(Wide offset, Wide count, Wide stride, Wide element, Wide length) {
  return count == 0 || offset + (count - 1) * stride + element <= length;
}

std::string sparse_problem(const json &doc, const json &sparse, Wide element) {
  const json *indices = member(sparse, "indices"), *values = member(sparse, "values");
  const json *index_view = indices ? entry(doc, "bufferViews", member(*indices, "bufferView")) : nullptr;
  const json *value_view = values ? entry(doc, "bufferViews", member(*values, "bufferView")) : nullptr;
  if (index_view == nullptr || value_view == nullptr)
    return kSparse; // Assimp follows the missing view
  const Wide count = size_of(sparse, "count"), index = element_bytes(*indices);
  const bool fit =
      fits(size_of(*indices, "byteOffset"), count, index, index, size_of(*index_view, "byteLength")) &&
      fits(size_of(*values, "byteOffset"), count, element, element, size_of(*value_view, "byteLength"));
  return fit ? "" : kPastView;
}

// Both readers take the stride from the view (glTF 2) or the accessor
// (glTF 1); the larger one reaches furthest.
std::string accessor_problem(const json &doc, const json &accessor) {
  const Wide element = element_bytes(accessor);
  if (element == 0)
    return "";
  if (const json *view = entry(doc, "bufferViews", member(accessor, "bufferView"))) {
    const Wide stride =
        std::max({Wide(size_of(*view, "byteStride")), Wide(size_of(accessor, "byteStride")), element});
    if (!fits(size_of(accessor, "byteOffset"), size_of(accessor, "count"), stride, element,
              size_of(*view, "byteLength")))
      return kPastView;
  }
  const json *sparse = member(accessor, "sparse");
  return sparse != nullptr ? sparse_problem(doc, *sparse, element) : "";
}

// glTF 1 only: its reader measures no view against its buffer. The body of
// a binary file stands for the buffer "binary_glTF".
std::string view_problem(const json &doc, const json &view, long long glb_body) {
  const json *ref = member(view, "buffer");
  const bool body = glb_body >= 0 && ref != nullptr && ref->is_string() &&
                    (*ref == "binary_glTF" || *ref == "KHR_binary_glTF");
  const json *buffer = entry(doc, "buffers", ref);
  if (!body && buffer == nullptr)
    return ""; // the reader stops at a buffer that is not there
  const Wide length = body ? Wide(glb_body) : size_of(*buffer, "byteLength");
  return fits(size_of(view, "byteOffset"), 1, 0, size_of(view, "byteLength"), length) ? "" : kPastBuffer;
}

// The attribute families of Assimp's readers, in the order they match a
// name's start: a name "TEXCOORD_2" is set 2 of TEXCOORD. Sets of a family
// must run from 0 without a gap (the readers follow every one up to the
// highest), and there are 8 at most.
std::string attribute_sets_problem(const json &attributes) {
  static const char *const kFamilies[] = {"POSITION", "NORMAL", "TANGENT", "TEXCOORD",
                                          "COLOR",    "JOINT",  "WEIGHT"};
  unsigned sets[std::size(kFamilies)] = {};
  for (auto it = attributes.begin(); attributes.is_object() && it != attributes.end(); ++it) {
    const std::string &name = it.key();
    for (size_t f = 0; f < std::size(kFamilies); ++f) {
      const size_t n = std::char_traits<char>::length(kFamilies[f]);
      if (name.compare(0, n, kFamilies[f]) != 0)
        continue;
      const long long set =
          name.size() > n && name[n] == '_' ? std::strtoll(name.c_str() + n + 1, nullptr, 10) : 0;
      if (set < 0 || set > 7)
        return kSets;
      sets[f] |= 1u << set;
      break;
    }
  }
  for (unsigned s : sets)
    if ((s & (s + 1)) != 0) // not 0b0..01..1
      return kSets;
  return "";
}

// The fewest vertices of a primitive's mode: for line loops and strips and
// for triangle strips and fans the readers make a first face before they
// look at the count.
std::uint64_t fewest_vertices(std::uint64_t mode) {
  return mode == 2 || mode == 3 ? 2 : mode == 5 || mode == 6 ? 3 : 0;
}

// glTF 1 only: its reader copies every attribute as far as the positions
// go, positions, normals and texture coordinates into 12-byte slots and
// indices into 4-byte ones.
std::string named_primitive_problem(const json &doc, const json &attributes, const json *position,
                                    const json *indices) {
  if (indices != nullptr && element_bytes(*indices) > 4)
    return kLarge;
  for (auto it = attributes.begin(); attributes.is_object() && it != attributes.end(); ++it) {
    const json *accessor = entry(doc, "accessors", &it.value());
    if (accessor == nullptr)
      continue;
    if (position != nullptr && size_of(*accessor, "count") != size_of(*position, "count"))
      return kCounts;
    const std::string &name = it.key();
    const bool slot =
        name.rfind("POSITION", 0) == 0 || name.rfind("NORMAL", 0) == 0 || name.rfind("TEXCOORD", 0) == 0;
    if (slot && element_bytes(*accessor) > 12)
      return kLarge;
  }
  return "";
}

std::string primitive_problem(const json &doc, const json &primitive, bool named) {
  static const json kNone = json::object();
  const json *found = member(primitive, "attributes");
  const json &attributes = found != nullptr ? *found : kNone;
  if (std::string sets = attribute_sets_problem(attributes); !sets.empty())
    return sets;
  if (const json *targets = member(primitive, "targets"); targets != nullptr && targets->is_array())
    for (const json &target : *targets)
      if (std::string sets = attribute_sets_problem(target); !sets.empty())
        return sets;
  const json *position = entry(doc, "accessors", member(attributes, "POSITION"));
  const json *indices = entry(doc, "accessors", member(primitive, "indices"));
  const json *counted = indices != nullptr ? indices : position;
  const std::uint64_t vertices = counted != nullptr ? size_of(*counted, "count") : 0;
  if (vertices < fewest_vertices(size_of(primitive, "mode", 4)))
    return kFewVertices;
  return named ? named_primitive_problem(doc, attributes, position, indices) : "";
}

// glTF 2's reader reads a value per key time (three with cubic splines)
// and divides morph weights by the number of key times.
std::string sampler_problem(const json &doc, const json &sampler) {
  const json *input = entry(doc, "accessors", member(sampler, "input"));
  const json *output = entry(doc, "accessors", member(sampler, "output"));
  if (input == nullptr || output == nullptr)
    return "";
  const json *how = member(sampler, "interpolation");
  const Wide per_key = how != nullptr && *how == "CUBICSPLINE" ? 3 : 1;
  const Wide keys = size_of(*input, "count");
  return keys > 0 && Wide(size_of(*output, "count")) >= keys * per_key ? "" : kKeys;
}

// Calls `check` on every entry of the collection (an array or an object)
// until one answers a problem.
template <typename Check> std::string each(const json *collection, Check check) {
  if (collection == nullptr || !(collection->is_array() || collection->is_object()))
    return "";
  for (const json &item : *collection)
    if (std::string problem = check(item); !problem.empty())
      return problem;
  return "";
}

} // namespace

std::string gltf_accessor_problem(const json &doc, long long glb_body) {
  // glTF 1 keeps its collections in objects, by name.
  const json *accessors = member(doc, "accessors"), *views = member(doc, "bufferViews");
  const bool named =
      (accessors != nullptr && accessors->is_object()) || (views != nullptr && views->is_object());
  std::string problem = each(accessors, [&](const json &a) { return accessor_problem(doc, a); });
  if (problem.empty() && named)
    problem = each(views, [&](const json &v) { return view_problem(doc, v, glb_body); });
  if (problem.empty())
    problem = each(member(doc, "meshes"), [&](const json &mesh) {
      return each(member(mesh, "primitives"),
                  [&](const json &p) { return primitive_problem(doc, p, named); });
    });
  if (problem.empty() && !named) // glTF 1's samplers name parameters, which its reader does not take
    problem = each(member(doc, "animations"), [&](const json &animation) {
      return each(member(animation, "samplers"), [&](const json &s) { return sampler_problem(doc, s); });
    });
  return problem;
}

} // namespace oku
