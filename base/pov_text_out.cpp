// The block of text that scene text and include files are written through.
#include "base/pov_text_out.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

// A quarter of a mebibyte per write: large enough that the stream passes
// the block to the system directly and system calls are few, small enough
// to stay in the processor's caches while it is filled and copied out.
const size_t kBlockSize = 256 << 10;

} // namespace

int pov_text_out_open(PovTextOut *out, FILE *file, char *block, size_t capacity) {
  out->file = file;
  out->used = 0;
  out->owns_block = block == nullptr;
  if (!block) {
    capacity = kBlockSize;
    block = static_cast<char *>(std::malloc(capacity));
  }
  out->block = block;
  out->capacity = block ? capacity : 0;
  return block != nullptr;
}

void pov_text_out_printf(PovTextOut *out, const char *format, ...) {
  // Only short lines (declarations, a part's name of at most 255 bytes)
  // come this way.
  char line[512];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0)
    pov_text_out_write(out, line,
                       static_cast<size_t>(n < static_cast<int>(sizeof line) ? n : sizeof line - 1));
}

void pov_text_out_close(PovTextOut *out) {
  pov_text_out_flush(out);
  if (out->owns_block)
    std::free(out->block);
  out->block = nullptr;
  out->capacity = 0;
}
