// Checks pov_format_g against printf's "%g" for every one of the 2^32 bit
// patterns of a float (NaNs and infinities included), and pov_format_g3 on
// vectors of three equal floats, on all cores. Takes minutes;
// `scripts/bench --exhaustive` runs it. Exit status 1 on mismatches, the
// first of which it prints.
#include "base/pov_text.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::atomic<long> mismatches{0};

void check_range(uint64_t low, uint64_t high) {
  char ours[64], theirs[64], three[128], expected[200];
  for (uint64_t i = low; i < high; ++i) {
    const uint32_t bits = static_cast<uint32_t>(i);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    const int n = pov_format_g(ours, f);
    const int m = std::snprintf(theirs, sizeof theirs, "%g", static_cast<double>(f));
    if (n != m || std::memcmp(ours, theirs, static_cast<size_t>(n)) != 0) {
      if (mismatches.fetch_add(1) < 10)
        std::printf("mismatch: bits %08x ours \"%s\" printf \"%s\"\n", bits, ours, theirs);
    }
    const float v[3] = {f, f, f};
    const int k = pov_format_g3(three, v);
    char *at = expected;
    for (int part = 0; part < 3; ++part) {
      std::memcpy(at, theirs, static_cast<size_t>(m));
      at += m;
      std::memcpy(at, ", ", 2);
      at += part < 2 ? 2 : 0;
    }
    *at = '\0';
    if (k != 3 * m + 4 || std::strcmp(three, expected) != 0) {
      if (mismatches.fetch_add(1) < 10)
        std::printf("mismatch: bits %08x vector \"%s\" printf \"%s\"\n", bits, three, expected);
    }
  }
}

} // namespace

int main() {
  const auto start = std::chrono::steady_clock::now();
  unsigned threads = std::thread::hardware_concurrency();
  if (threads == 0)
    threads = 1;
  const uint64_t total = uint64_t(1) << 32;
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back(check_range, total * t / threads, total * (t + 1) / threads);
  for (std::thread &worker : workers)
    worker.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("pov_format_g and pov_format_g3 against printf \"%%g\": all 4294967296 float bit patterns, "
              "%ld mismatches "
              "(%u threads, %.0f s)\n",
              mismatches.load(), threads, seconds);
  return mismatches.load() == 0 ? 0 : 1;
}
