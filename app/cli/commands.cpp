// The command table, the top-level options and argument parsing.
#include "app/cli/commands.h"
#include "app/scene/json_value.h"
#include "app/scene/verbosity.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace bf {

int run_save(const Args &args);
int run_list(const Args &args);
int run_render(const Args &args);
int run_import(const Args &args);
int run_collect(const Args &args);

const std::vector<Command> &commands() {
  static const std::vector<Command> table = {
      {"save",
       "SCENE.json OUT.pov [OUT2.pov ...] [--saver NAME] [--pov-version 3.0|3.7] [--up y|z]\n"
       "         [--camera NAME] [--background COLOR|none] [--floor on|off]",
       "export the scene to each OUT (- is standard output; saver default: \"POV scene and parts files\",\n"
       "      with --pov-version 3.7 \"POV-Ray 3.7 scene and parts files\")",
       run_save},
      {"render",
       "SCENE.json OUT.png|OUT.tga|OUT.jpg|- [--width W] [--height H] [--depth D] [--alpha]\n"
       "         [--quality N] [--format png|tga|jpeg] [--no-antialias] [--no-shadows] [--draws N]\n"
       "         [--keep-scene FILE.pov] [--timeout SECONDS] [--watch] [--up y|z] [--camera NAME]\n"
       "         [--background COLOR|none] [--floor on|off] [--pov-version 3.0|3.7]\n"
       "         [--frames A-B] [--fps N] [--turntable SECONDS] [--resume] [--video OUT.mp4|.gif|.webm]\n"
       "         [--slurm [--partition P] [--tiles N] [--no-wait] [--job-dir DIR]]",
       "render the scene with POV-Ray through the \"Photo-realistic (POV-Ray 3.7)\" preview (the 3.0\n"
       "      language's \"Photo-realistic (POVRay)\" with --pov-version 3.0), to a PNG, Targa\n"
       "      or JPEG file by its extension (default 640 x 480; --quality 1-100 for JPEG, default 90), or\n"
       "      to standard output with - (PNG unless --format); --alpha (or --depth 32) leaves the\n"
       "      background clear in a PNG or Targa; --watch draws again whenever the scene or a file\n"
       "      it names changes, until Ctrl-C; --frames A-B writes OUT_0001.png ... (or the number at\n"
       "      %04d in OUT), frame n at n / fps seconds (--fps default 24) of the scene's animation;\n"
       "      --turntable SECONDS orbits the camera about the up axis once in that time (frames 1 to\n"
       "      SECONDS * fps unless --frames says, the last the starting view); --resume keeps the\n"
       "      frames already there; --video assembles the frames with ffmpeg; --slurm renders on a\n"
       "      Slurm cluster as one job array (a task per band of rows with --tiles, or per frame)\n"
       "      from a job folder beside OUT (or --job-dir) that every node sees",
       run_render},
      {"import", "MODEL OUT.json [--up y|z] [--camera NAME] [--background COLOR|none] [--floor on|off]",
       "write the scene of a 3-D model file (glTF, FBX, Collada, 3DS, OBJ, ...) as a scene file that\n"
       "      refers to the model's meshes; save and render also take a model file directly (with\n"
       "      the same options). A model's scene gets a studio look: a grey backdrop (--background\n"
       "      #RRGGBB, R,G,B from 0 to 1, or none), a floor that catches its shadow (--floor off),\n"
       "      and key, fill and rim lights when the file has none",
       run_import},
      {"collect", "JOBDIR",
       "finish a render --slurm --no-wait: wait for its job, submit each failed task once more,\n"
       "      write the pictures and remove the job folder",
       run_collect},
      {"list", "", "show the registered savers and display surfaces", run_list},
  };
  return table;
}

namespace {

void print_usage(std::ostream &out) {
  out << "Usage: brightfold COMMAND [ARGUMENTS]\n"
         "       brightfold --help | --version\n"
         "\n"
         "Exports Brightfold scenes (JSON scene files) to POV-Ray through the export module.\n"
         "\nCommands:\n";
  for (const Command &c : commands())
    out << "  " << c.name << (*c.synopsis ? " " : "") << c.synopsis << "\n      " << c.summary << "\n";
  out << "\nOptions for every command: -q says nothing but errors; -v adds POV-Ray's statistics.\n";
  out << "\nExit status: 0 when every save succeeded, 1 when a save failed, 2 for a usage,\n"
         "scene-file or set-up error.\n"
         "The module is $BRIGHTFOLD_MODULE, else ../lib/povexport.so beside the program.\n";
}

const Command *find_command(const std::string &name) {
  for (const Command &c : commands())
    if (name == c.name)
      return &c;
  return nullptr;
}

bool wants_help(const Args &args) {
  for (const std::string &a : args) {
    if (a == "--")
      return false;
    if (a == "--help" || a == "-h")
      return true;
  }
  return false;
}

} // namespace

// Line breaks stay (POV-Ray's error lines follow the first); other control
// characters and bytes that are not UTF-8 are shown as codes.
int usage_error(const std::string &message) {
  report(message);
  std::cerr << "Try 'brightfold --help'." << std::endl;
  return kExitUsage;
}

const std::string *ParsedArgs::find(const std::string &name) const {
  for (auto it = options.rbegin(); it != options.rend(); ++it)
    if (it->first == name)
      return &it->second;
  return nullptr;
}

bool parse_args(const Args &args, const std::vector<std::string> &with_value,
                const std::vector<std::string> &flags, ParsedArgs &out, int &exit_code) {
  const auto listed = [](const std::vector<std::string> &list, const std::string &name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') { // "-" alone is an operand
      out.operands.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    if (listed(with_value, name)) {
      if (eq != std::string::npos) {
        out.options.emplace_back(name, a.substr(eq + 1));
      } else if (i + 1 < args.size()) {
        out.options.emplace_back(name, args[++i]);
      } else {
        exit_code = usage_error("option " + name + " needs a value");
        return false;
      }
    } else if (listed(flags, name) && eq == std::string::npos) {
      out.options.emplace_back(name, "");
    } else {
      exit_code = usage_error("unknown option " + a);
      return false;
    }
  }
  return true;
}

int run_brightfold(const Args &given) {
  Args args; // without -q and -v, which may stand anywhere before "--"
  for (auto it = given.begin(); it != given.end(); ++it) {
    if (*it == "--") {
      args.insert(args.end(), it, given.end());
      break;
    }
    if (*it == "-q" || *it == "--quiet")
      set_verbosity(Verbosity::quiet);
    else if (*it == "-v" || *it == "--verbose")
      set_verbosity(Verbosity::verbose);
    else
      args.push_back(*it);
  }
  if (args.empty()) {
    print_usage(std::cerr);
    return kExitUsage;
  }
  const std::string &first = args.front();
  if (first == "--help" || first == "-h") {
    print_usage(std::cout);
    return kExitOk;
  }
  if (first == "--version") {
    std::cout << "brightfold " << kVersion << std::endl;
    return kExitOk;
  }
  if (!first.empty() && first[0] == '-')
    return usage_error("unknown option " + first);
  const Command *command = find_command(first);
  if (command == nullptr)
    return usage_error("unknown command \"" + first + "\"");
  const Args rest(args.begin() + 1, args.end());
  if (wants_help(rest)) {
    std::cout << "Usage: brightfold " << command->name << (*command->synopsis ? " " : "") << command->synopsis
              << "\n  " << command->summary << std::endl;
    return kExitOk;
  }
  return command->run(rest);
}

} // namespace bf
