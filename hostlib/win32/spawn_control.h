// Host-side controls of the _spawnl stand-in. The module only calls _spawnl;
// the host program uses these to show the started program's output, to stop
// it on Ctrl-C or a time limit, and to learn how the last run ended (the
// module does not examine _spawnl's answer).
#pragma once

#include <sys/types.h>

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
// The process id of the program that _spawnl is waiting for, 0 when none.
// The program leads a process group of its own (signal -pid to reach all of it).
// Safe to call from a signal handler.
pid_t win32_spawn_running();
