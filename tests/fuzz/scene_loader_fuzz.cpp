// Scene-file text into the loader; a scene that loads is saved with the
// module ("POV scene and parts files"), and every text file written is
// checked against what POV-Ray's parser needs. A file that does not load
// must leave the scene database empty.
#include "fuzz_support.h"
#include "pov_text_check.h"

#include "app/scene/scene_loader.h"
#include "oku/scene_db.h"
#include "scene/pov_save.h"
#include "tests/support/module_state.h"

#include <dirent.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::string> files_ending(const std::string &dir, const char *suffix) {
  std::vector<std::string> out;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() >= std::strlen(suffix) &&
          name.compare(name.size() - std::strlen(suffix), name.npos, suffix) == 0)
        out.push_back(dir + "/" + name);
    }
    closedir(d);
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace bf_fuzz;
  const std::string &dir = scratch_dir();
  quiet_messages();
  const std::string text(reinterpret_cast<const char *>(data), size);
  try {
    bf::load_scene_text(text, dir + "/scene.json");
  } catch (const bf::SceneError &e) {
    if (!db_get_root()->children.empty() || std::strstr(e.what(), "scene.json") == nullptr)
      fail("a failed load left nodes behind or lost the file name", e.what());
    return 0;
  }
  const std::string out = dir + "/scene.pov";
  TestSession module;
  pov_save(module.state, out.c_str(), nullptr, 1);
  for (const std::string &path : files_ending(dir, ".pov"))
    if (const std::string problem = check_pov_text(read_file(path)); !problem.empty())
      fail(path + ": " + problem, read_file(path));
  for (const std::string &path : files_ending(dir, ".inc"))
    if (const std::string problem = check_pov_text(read_file(path)); !problem.empty())
      fail(path + ": " + problem, read_file(path));
  scene_reset();
  clear_scratch();
  return 0;
}
