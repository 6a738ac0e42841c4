// Checks of a part file made before Assimp reads it, for what Assimp would
// follow blindly: counts announced in a header, and node graphs.
#pragma once

#include <string>

namespace oku {

// Why the part file at `path`, read as `type` (lower case), must not be
// handed to Assimp; "" when nothing stands in the way. An OFF or PLY file
// must have room for the elements its header announces (a 309-byte OFF
// file announcing 353 billion vertices would have Assimp ask for 14 GB);
// glTF and Collada node graphs must pass gltf_graph_problem and
// collada_graph_problem, and glTF accessors gltf_accessor_problem (a binary
// glTF file of version 1 or 2).
// Whatever its type, a zip archive (a .zae Collada file, 3MF) must unpack
// to no more than kMaxUnpackedBytes in all, by its central directory (Assimp
// sets aside each member's stated size and unpacks no more than that).
std::string part_file_problem(const std::string &path, const std::string &type);

constexpr long long kMaxUnpackedBytes = 256LL << 20;

// The same checks on the file's bytes (the first ones suffice for OFF and
// PLY; glTF and Collada need all of them).
std::string part_bytes_problem(const std::string &bytes, const std::string &type, long long file_size);

} // namespace oku
