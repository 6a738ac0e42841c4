// PNG fixtures written through stb_image_write.
#pragma once

#include <string>
#include <vector>

namespace bftest {

// width x height RGBA pixels, rows from the top; false when not written.
bool write_png(const std::string &path, int width, int height, const std::vector<unsigned char> &rgba);

} // namespace bftest
