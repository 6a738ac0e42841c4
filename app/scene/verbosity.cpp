// The program's verbosity, set once from the command line.
#include "app/scene/verbosity.h"
#include "app/scene/json_value.h"

namespace bf {

namespace {
Verbosity level = Verbosity::normal;
} // namespace

void set_verbosity(Verbosity to) { level = to; }
Verbosity verbosity() { return level; }

void note(const std::string &message) {
  if (level != Verbosity::quiet)
    report(message);
}

} // namespace bf
