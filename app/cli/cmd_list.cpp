// brightfold list: the savers and display surfaces the module registered.
#include "app/cli/commands.h"
#include "app/cli/export_module.h"
#include "app/scene/json_value.h"

#include "zaloku.h"

#include <iostream>

namespace bf {

namespace {

const char *text(const char *s) { return s != nullptr ? s : ""; }

} // namespace

int run_list(const Args &args) {
  if (!args.empty())
    return usage_error("list takes no arguments");
  std::string error;
  const auto module = ModuleSession::open(error);
  if (!module) {
    report(error);
    return kExitUsage;
  }
  std::cout << "Savers (name, suffix, saver code):\n";
  if (saver_count() == 0)
    std::cout << "  none\n";
  for (int i = 1; i <= saver_count(); ++i) {
    SaverFactory *f = saver_get(i);
    std::cout << "  " << text(f->name()) << "\t" << text(f->suffix()) << "\t" << f->saver_code() << "\n";
  }
  std::cout << "Display surfaces (name, surface code):\n";
  if (universe_display_surface_count() == 0)
    std::cout << "  none\n";
  for (int i = 1; i <= universe_display_surface_count(); ++i) {
    VYuniverseDisplaySurfaceFactory *f = universe_display_surface_get(i);
    std::cout << "  " << text(f->name()) << "\t" << f->surface_code() << "\n";
  }
  std::cout << std::flush;
  return kExitOk;
}

} // namespace bf
