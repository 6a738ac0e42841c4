// Model file text (glTF or OBJ, picked by the first byte) through the
// import that `save`, `render` and `import` share: read with Assimp, mapped
// to a scene and loaded. A model that loads is saved with the module, and
// every text file written is checked against what POV-Ray's parser needs.
// A model that does not load must leave the scene database empty.
#include "fuzz_support.h"
#include "pov_text_check.h"

#include "app/import/model_import.h"
#include "app/scene/scene_loader.h"
#include "oku/scene_db.h"
#include "scene/pov_save.h"
#include "tests/support/module_state.h"

#include <dirent.h>

namespace {

void check_written(const std::string &dir) {
  DIR *d = opendir(dir.c_str());
  if (d == nullptr)
    return;
  while (dirent *e = readdir(d)) {
    const std::string name = e->d_name;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (name.substr(dot) != ".pov" && name.substr(dot) != ".inc"))
      continue;
    const std::string text = bf_fuzz::read_file(dir + "/" + name);
    if (const std::string problem = bf_fuzz::check_pov_text(text); !problem.empty())
      bf_fuzz::fail(name + ": " + problem, text);
  }
  closedir(d);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace bf_fuzz;
  const std::string &dir = scratch_dir();
  quiet_messages();
  Bytes bytes(data, size);
  const std::string model = dir + (bytes.byte() & 1 ? "/model.obj" : "/model.gltf");
  write_file(model, bytes.rest());
  try {
    bf::load_scene_input(model);
  } catch (const bf::SceneError &) {
    if (!db_get_root()->children.empty())
      fail("a failed import left nodes behind");
    clear_scratch();
    return 0;
  }
  const std::string out = dir + "/scene.pov";
  TestSession module;
  pov_save(module.state, out.c_str(), nullptr, 1);
  check_written(dir);
  scene_reset();
  clear_scratch();
  return 0;
}
