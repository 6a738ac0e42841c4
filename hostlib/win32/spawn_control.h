// Host-side controls of the _spawnl stand-in. The module only calls _spawnl;
// the host program uses these to show the started program's output, to stop
// it on Ctrl-C or a time limit, and to learn how the last run ended (the
// module does not examine _spawnl's answer).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct Win32SpawnResult {
  int started; // 1 when the program was started
  int exited;  // 1 when it ended by exiting (not by a signal)
  int status;  // its exit status when exited
  int signal;  // the signal that ended it, else 0
  int error;   // errno of a failed start, else 0
};

// The most recent _spawnl call of this process.
Win32SpawnResult win32_last_spawn();
// Sends the started program's standard output and error to fd instead of the
// host's own (-1 restores inheritance). Answers the previous setting.
int win32_spawn_set_output(int fd);
// Calls hook(user) after each started program has ended, before _spawnl
// returns to its caller: the host can look at what the program left behind
// before the module deletes it. Null removes the hook.
typedef void (*WIN32_SPAWN_HOOK)(void *user);
void win32_spawn_set_finished(WIN32_SPAWN_HOOK hook, void *user);
// What the most recent _spawnl told its program: the arguments after the
// program itself, and the files named by the first argument that is a
// POV-Ray INI file (ending in ".ini"), read from that file before the program
// starts: its Input_File_Name (the scene) and Output_File_Name (the picture),
// each resolved against the working directory. A name the INI file does not
// give (or no INI file at all) is empty. Kept after the INI file is gone.
struct Win32SpawnFiles {
  std::vector<std::string> args;
  std::string ini_file;    // the INI file's path, resolved; empty when none
  std::string input_file;  // Input_File_Name
  std::string output_file; // Output_File_Name
};
Win32SpawnFiles win32_last_spawn_files();
// Reads the two names from an INI file's text ("Key = value" lines, keys in
// any case, ';' starts a comment, a value may be in double quotes), resolving
// them against dir. Answers files with args and ini_file left alone.
void win32_read_spawn_ini(const std::string &text, const std::string &dir, Win32SpawnFiles &files);
// Calls hook(user) just before each program is started, when
// win32_last_spawn_files() already describes it: the host can take what the
// program is about to read. A hook answering 0 stops the start: _spawnl then
// answers -1 with errno ECANCELED. Null removes the hook.
typedef int (*WIN32_SPAWN_START_HOOK)(void *user);
void win32_spawn_set_starting(WIN32_SPAWN_START_HOOK hook, void *user);
// The process id of the program that _spawnl is waiting for, 0 when none.
// The program leads a process group of its own (signal -pid to reach all of it).
// Safe to call from a signal handler.
pid_t win32_spawn_running();
