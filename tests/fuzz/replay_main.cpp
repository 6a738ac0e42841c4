// Runs a fuzz entry point over saved inputs, without libFuzzer: every file
// of the directories (or the files) named on the command line, in name
// order. A failed check aborts, which fails the test.
#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int a = 1; a < argc; ++a) {
    // Absolute: the entry points move into their scratch directory.
    const fs::path p = fs::absolute(argv[a]);
    if (fs::is_directory(p)) {
      for (const auto &entry : fs::directory_iterator(p))
        if (entry.is_regular_file() && entry.path().filename() != "README.md" &&
            entry.path().filename().string()[0] != '.') // .gitkeep
          inputs.push_back(entry.path());
    } else if (fs::is_regular_file(p)) {
      inputs.push_back(p);
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[a]);
      return 1;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path &p : inputs) {
    const std::string data = bf_fuzz::read_file(p.string());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", p.filename().c_str(), data.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
  }
  std::printf("%zu passed, 0 failed\n", inputs.size());
  return 0;
}
