// The brightfold host program: loads the POV-Ray export module and drives it
// from the command line.
#include "app/cli/commands.h"

#include <exception>
#include <iostream>
#include <new>

int main(int argc, char **argv) {
  try {
    return bf::run_brightfold(bf::Args(argv + 1, argv + argc));
  } catch (const std::bad_alloc &) {
    // Every file being written went with its writer as the stack unwound.
    std::cerr << "brightfold: out of memory" << std::endl;
    return bf::kExitSaveFailed;
  } catch (const std::exception &e) {
    std::cerr << "brightfold: " << e.what() << std::endl;
  }
  return bf::kExitUsage;
}
