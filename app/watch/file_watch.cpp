// File change watching for render --watch.
#include "app/watch/file_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

namespace bf {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 250;                            // polling: how often files are looked at
constexpr int kQuietMs = 100;                           // a burst of writes has ended after this pause
constexpr auto kLongestBurst = std::chrono::seconds(1); // then the draw goes ahead anyway
constexpr int kStopCheckMs = 200;                       // how often a wait looks at `stop`
constexpr int kForeverMs = 24 * 3600 * 1000;

constexpr uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

long long nanoseconds(const timespec &t) {
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

} // namespace

FileStamp FileStamp::of(const std::string &path) {
  FileStamp stamp;
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return stamp;
  stamp.exists = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = static_cast<unsigned long long>(info.st_size);
  stamp.modified_ns = nanoseconds(info.st_mtim);
  stamp.changed_ns = nanoseconds(info.st_ctim);
  return stamp;
}

bool FileStamp::operator==(const FileStamp &o) const {
  return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
         modified_ns == o.modified_ns && changed_ns == o.changed_ns;
}

FileWatch::FileWatch(bool poll) {
  if (!poll)
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

FileWatch::~FileWatch() {
  if (inotify_ >= 0)
    close(inotify_);
}

void FileWatch::watch(const std::vector<std::string> &files) {
  std::map<std::string, FileStamp> kept;
  for (const std::string &file : files) {
    auto known = files_.find(file);
    kept[file] = known != files_.end() ? known->second : FileStamp::of(file);
  }
  files_.swap(kept);
  watch_folders();
}

// The folders are watched rather than the files: a file replaced by a rename
// is a new file that a watch on the old one would never report. A folder
// that cannot be watched (gone, or the watch limit reached) turns the whole
// watch to polling, so that no change goes unseen.
void FileWatch::watch_folders() {
  if (inotify_ < 0)
    return;
  // A file reached through a symbolic link changes in its target's folder.
  std::set<std::string> wanted;
  targets_.clear();
  for (const auto &file : files_) {
    wanted.insert(fs::path(file.first).parent_path().string());
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(file.first, ec);
    if (!ec && target != file.first) {
      wanted.insert(target.parent_path().string());
      targets_.insert(target.string());
    }
  }
  for (auto it = folders_.begin(); it != folders_.end();) {
    if (wanted.count(it->first)) {
      ++it;
      continue;
    }
    inotify_rm_watch(inotify_, it->second);
    folder_of_.erase(it->second);
    it = folders_.erase(it);
  }
  for (const std::string &folder : wanted) {
    if (folders_.count(folder))
      continue;
    int wd = inotify_add_watch(inotify_, folder.c_str(), kEvents);
    if (wd < 0) {
      poll_from_now_on();
      return;
    }
    folders_[folder] = wd;
    folder_of_[wd] = folder;
  }
}

void FileWatch::poll_from_now_on() {
  if (inotify_ >= 0)
    close(inotify_);
  inotify_ = -1;
  folders_.clear();
  folder_of_.clear();
}

std::vector<std::string> FileWatch::changed_files() const {
  std::vector<std::string> changed;
  for (const auto &file : files_)
    if (FileStamp::of(file.first) != file.second)
      changed.push_back(file.first);
  return changed;
}

// True when an event about a watched file came (or the queue overflowed).
// A watched folder that went away (deleted, or moved) ends its watch: the
// files are polled from then on, so that they are seen when they return.
bool FileWatch::read_events() {
  alignas(inotify_event) char buffer[16384];
  bool hit = false, lost = false;
  for (ssize_t n; (n = read(inotify_, buffer, sizeof buffer)) > 0;) {
    for (char *p = buffer; p < buffer + n;) {
      const auto *event = reinterpret_cast<const inotify_event *>(p);
      p += sizeof(inotify_event) + event->len;
      if (event->mask & IN_IGNORED)
        lost = lost || folder_of_.count(event->wd);
      if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED)) {
        hit = true;
        continue;
      }
      auto folder = folder_of_.find(event->wd);
      if (folder == folder_of_.end() || event->len == 0)
        continue;
      const std::string path = (fs::path(folder->second) / event->name).string();
      if (files_.count(path) || targets_.count(path))
        hit = true;
    }
  }
  if (lost)
    poll_from_now_on();
  return hit;
}

// Waits up to `milliseconds` for an event about a watched file (polling:
// just sleeps); false when `stop` answered true.
bool FileWatch::wait_for_event(int milliseconds, const std::function<bool()> &stop) {
  auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!stop()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0)
      return true;
    int slice = static_cast<int>(std::min<long long>(left, kStopCheckMs));
    if (inotify_ < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(slice));
      continue;
    }
    pollfd fd{inotify_, POLLIN, 0};
    if (::poll(&fd, 1, slice) > 0 && read_events())
      return true;
  }
  return false;
}

// Until the watched files have kept still for a moment: an editor may
// truncate, write in pieces and rename, and the scene is read once, whole.
void FileWatch::settle(const std::function<bool()> &stop) {
  auto began = Clock::now();
  std::map<std::string, FileStamp> last;
  for (const auto &file : files_)
    last[file.first] = FileStamp::of(file.first);
  while (Clock::now() - began < kLongestBurst && !stop()) {
    if (inotify_ >= 0) {
      pollfd fd{inotify_, POLLIN, 0};
      if (::poll(&fd, 1, kQuietMs) > 0 && read_events())
        continue; // still writing
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
    }
    bool still = true;
    for (auto &file : last) {
      FileStamp now = FileStamp::of(file.first);
      if (now != file.second) {
        file.second = now;
        still = false;
      }
    }
    if (still)
      return;
  }
}

std::vector<std::string> FileWatch::wait(const std::function<bool()> &stop) {
  while (!stop()) {
    // Changes made while the last picture was drawn count too.
    if (changed_files().empty()) {
      if (!wait_for_event(inotify_ >= 0 ? kForeverMs : kPollMs, stop))
        break;
      if (inotify_ < 0 && changed_files().empty())
        continue;
    }
    settle(stop);
    if (stop())
      break;
    std::vector<std::string> changed = changed_files();
    for (const std::string &file : changed)
      files_[file] = FileStamp::of(file);
    if (!changed.empty())
      return changed;
  }
  return {};
}

} // namespace bf
