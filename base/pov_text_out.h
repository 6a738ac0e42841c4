// The one buffered writer of scene text: text is put together in a block of
// memory and handed to the stream a block at a time, never piece by piece.
// Include files use a large block of their own, the scene's lines a small
// one on the stack.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

struct PovTextOut {
  FILE *file;
  char *block;
  size_t used;
  size_t capacity;
  int owns_block;
};
// A block of `capacity` bytes of the caller's (owns_block 0), or, with a null
// block, a new one; answers 0 when memory ran out.
int pov_text_out_open(PovTextOut *out, FILE *file, char *block, size_t capacity);
inline void pov_text_out_flush(PovTextOut *out) {
  if (out->used > 0 && out->file)
    fwrite(out->block, 1, out->used, out->file);
  out->used = 0;
}
// Room for n more bytes (n far below the capacity) at the answered place;
// pov_text_out_commit then takes the bytes up to `end`.
inline char *pov_text_out_reserve(PovTextOut *out, size_t n) {
  if (out->used + n > out->capacity)
    pov_text_out_flush(out);
  return out->block + out->used;
}
inline void pov_text_out_commit(PovTextOut *out, const char *end) {
  out->used = static_cast<size_t>(end - out->block);
}
// Text longer than half the block goes to the stream directly.
inline void pov_text_out_write(PovTextOut *out, const char *text, size_t n) {
  if (n > out->capacity / 2) {
    pov_text_out_flush(out);
    fwrite(text, 1, n, out->file);
    return;
  }
  std::memcpy(pov_text_out_reserve(out, n), text, n);
  out->used += n;
}
void pov_text_out_printf(PovTextOut *out, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Flushes and releases the block.
void pov_text_out_close(PovTextOut *out);
