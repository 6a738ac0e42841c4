// How much the program says: -q only errors, -v also POV-Ray's statistics.
#pragma once

#include <string>

namespace bf {

enum class Verbosity { quiet, normal, verbose };

void set_verbosity(Verbosity level);
Verbosity verbosity();

// "brightfold: MESSAGE" on standard error unless -q was given: what went
// well, hints and warnings (errors go through report()).
void note(const std::string &message);

} // namespace bf
