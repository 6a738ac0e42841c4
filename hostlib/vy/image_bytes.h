// Pictures held in memory under a name: the images inside a model file (a
// .glb, a glTF with data URIs, an FBX with embedded textures), which a
// scene names "MODEL#N" (the model file's path, '#', the image's index in
// the model). The image reader answers such a name from here before it
// looks for a file of that name, so nothing is written beside the model.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Largest picture held, and most bytes held by every picture together.
constexpr size_t kMaxHeldImageBytes = size_t{1} << 30;

// Keeps a copy of the `size` bytes of a compressed picture (PNG, JPEG, ...)
// under `name`, replacing what the name held; answers "". Holds nothing
// under the name and answers why when the bytes are empty or more than
// kMaxHeldImageBytes, all held pictures would come to more, or there is no
// memory for the copy. The pixels are checked when they are read, as a
// file's are (header, pixel budget, cut-off data).
std::string vy_register_image_bytes(const std::string &name, const void *bytes, size_t size);

// Forgets every picture whose name starts with `prefix` ("MODEL#": the
// images of one model file).
void vy_unregister_images_under(const std::string &prefix);

// The bytes held under `name`, or null.
std::shared_ptr<const std::vector<unsigned char>> vy_registered_image_bytes(const char *name);
