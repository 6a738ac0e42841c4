// Watching a set of files for changes: inotify on their folders, so that an
// editor that saves by writing a new file and renaming it over the old one
// is seen too, or polling their sizes and times where inotify is not
// available (or BRIGHTFOLD_WATCH_POLL is set, for file systems that send no
// change events, such as some network shares).
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace bf {

// What a file looks like from outside: none, or its identity, size and times.
struct FileStamp {
  bool exists = false;
  unsigned long long device = 0, inode = 0, size = 0;
  long long modified_ns = 0, changed_ns = 0;

  static FileStamp of(const std::string &path);
  bool operator==(const FileStamp &other) const;
  bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

class FileWatch {
public:
  // Polls when `poll` is set or inotify cannot be used.
  explicit FileWatch(bool poll);
  ~FileWatch();
  FileWatch(const FileWatch &) = delete;
  FileWatch &operator=(const FileWatch &) = delete;

  // The files to watch from now on (absolute paths). A file already watched
  // keeps the state that its changes are measured against; a new one is
  // taken as it is now.
  void watch(const std::vector<std::string> &files);
  // Blocks until watched files changed and writes to them have paused for a
  // moment (a burst of writes is one change); answers those files, or
  // nothing once `stop` answers true.
  std::vector<std::string> wait(const std::function<bool()> &stop);
  bool polling() const { return inotify_ < 0; }

private:
  std::vector<std::string> changed_files() const;
  bool wait_for_event(int milliseconds, const std::function<bool()> &stop);
  bool read_events();
  void settle(const std::function<bool()> &stop);
  void watch_folders();
  void poll_from_now_on();

  int inotify_ = -1;
  std::map<std::string, FileStamp> files_; // path -> the state last handed out
  std::set<std::string> targets_;          // where watched symbolic links lead
  std::map<std::string, int> folders_;     // folder -> inotify watch
  std::map<int, std::string> folder_of_;   // inotify watch -> folder
};

} // namespace bf
