// What the fuzz entry points share: a private scratch directory that is the
// current directory (the module writes converted Targa files there), a
// reader for the fuzzer's bytes and a loud stop when a check fails.
#pragma once

#include "tests/support/files.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace bf_fuzz {

// The scratch directory, made on first use and entered; "/tmp/bf_fuzz_XXXXXX".
const std::string &scratch_dir();
// Deletes every file in the scratch directory (it holds no subdirectories).
void clear_scratch();
void write_file(const std::string &path, const std::string &data);
using bftest::read_file;
// Stops the process with the message: the fuzzer keeps the input.
[[noreturn]] void fail(const std::string &what, const std::string &detail = "");
// Silences the module's user messages.
void quiet_messages();

// Takes values off the front of the fuzzer's bytes; zeros once they run out.
class Bytes {
public:
  Bytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return size_ == 0; }
  uint8_t byte() {
    if (size_ == 0)
      return 0;
    --size_;
    return *data_++;
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v = v << 8 | byte();
    return v;
  }
  // A value in [0, n).
  unsigned below(unsigned n) { return n == 0 ? 0 : byte() % n; }
  std::string text(size_t max) {
    const size_t n = below(static_cast<unsigned>(max + 1 > 255 ? 255 : max + 1));
    std::string out;
    for (size_t k = 0; k < n && size_ > 0; ++k)
      out += static_cast<char>(byte());
    return out;
  }
  std::string rest() {
    std::string out(reinterpret_cast<const char *>(data_), size_);
    data_ += size_, size_ = 0;
    return out;
  }

private:
  const uint8_t *data_;
  size_t size_;
};

} // namespace bf_fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
