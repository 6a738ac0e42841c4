// The brightfold command line: the command table and the exit codes.
#pragma once

#include <string>
#include <vector>

namespace bf {

constexpr int kExitOk = 0;         // every save answered 1
constexpr int kExitSaveFailed = 1; // a save answered 0
constexpr int kExitUsage = 2;      // a usage, scene-file or set-up error

constexpr const char *kVersion = "1.0";

using Args = std::vector<std::string>;

struct Command {
  const char *name;
  const char *synopsis;         // the arguments, e.g. "SCENE.json OUT.pov ..."
  const char *summary;          // one line for --help
  int (*run)(const Args &args); // the arguments after the command's name
};

// The commands, in the order --help lists them. A new command is one file
// with its run function and one row in this table (commands.cpp).
const std::vector<Command> &commands();

// The whole program: argv without the program name; answers the exit code.
int run_brightfold(const Args &args);

// For commands: prints "brightfold: MESSAGE" and a hint to --help on
// standard error and answers kExitUsage.
int usage_error(const std::string &message);

// Splits a command's arguments into operands and options. Options take a
// value ("--saver NAME" or "--saver=NAME") when listed in `with_value`, none
// when listed in `flags`; "--" ends the options. False (after usage_error)
// on an unknown option or a missing value.
struct ParsedArgs {
  Args operands;
  std::vector<std::pair<std::string, std::string>> options; // name, value ("" for flags)
  const std::string *find(const std::string &name) const;   // the last value given
};
bool parse_args(const Args &args, const std::vector<std::string> &with_value,
                const std::vector<std::string> &flags, ParsedArgs &out, int &exit_code);

// --up y|z and --camera NAME, which choose how a model file is imported;
// `input` is the file they apply to (a scene file takes neither). False
// (after usage_error) on a bad value.
struct ImportOptions;
bool read_import_options(const ParsedArgs &parsed, const std::string &input, ImportOptions &options,
                         int &exit_code);

} // namespace bf
