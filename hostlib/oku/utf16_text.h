// UTF-16 text files as UTF-8.
#pragma once

#include <string>

namespace oku {

// UTF-16 text (little or big endian, as its leading byte order mark says)
// as UTF-8; false when `bytes` does not start with such a mark. A lone
// surrogate becomes U+FFFD.
bool utf16_to_utf8(const std::string &bytes, std::string &out);

} // namespace oku
