#include "support/edit_target.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "support/input_file.h"
#include "support/memory.h"
#include "support/replacement_file.h"

namespace {

status failure(int error) { return status::failure(system_error_text(error), error); }

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

file_facts facts_of(const struct stat& info) {
  file_facts facts;
  facts.device = static_cast<std::uint64_t>(info.st_dev);
  facts.file = static_cast<std::uint64_t>(info.st_ino);
  facts.owner = info.st_uid;
  facts.group = info.st_gid;
  facts.mode = info.st_mode;
  facts.links = static_cast<std::uint64_t>(info.st_nlink);
  return facts;
}

// flock, not fcntl: an fcntl lock goes as soon as the process closes any
// descriptor of the file, and the lock belongs to the one descriptor the map
// is read through.
status lock(int fd, bool wait, bool& waited, const std::function<void()>& on_wait) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return status::ok();
  if (errno != EWOULDBLOCK) return failure(errno);
  if (!wait) return status::failure(error_code::edit_in_progress, edit_in_progress_text, EWOULDBLOCK);
  if (!waited) {
    waited = true;
    if (on_wait) on_wait();
  }
  while (flock(fd, LOCK_EX) != 0)
    if (errno != EINTR) return failure(errno);
  return status::ok();
}

enum class check { same, replaced, failed };

// Whether `path` still names the locked file: an edit that held the lock may
// have renamed its new map over it meanwhile.
check still_named(const char* path, const struct stat& locked, std::string& resolved, int& error) {
  char buffer[PATH_MAX];
  struct stat now {};
  // A rename over the path never leaves it unnamed, so a path that cannot
  // be resolved now (a removed file reached through /dev/fd, a folder
  // unmounted meanwhile) is a failure, not a replacement.
  if (realpath(path, buffer) == nullptr || stat(buffer, &now) != 0) {
    error = errno;
    return check::failed;
  }
  resolved = buffer;
  return same_file(now, locked) ? check::same : check::replaced;
}

}  // namespace

edit_target::~edit_target() { release(); }

void edit_target::release_bytes() {
  mem_release(bytes_);
  bytes_ = nullptr;
  length_ = 0;
}

void edit_target::release() {
  release_bytes();
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

status edit_target::open(const char* path, const std::function<void()>& on_wait) { return open(path, on_wait, open_how{}); }

status edit_target::open_if_free(const char* path, bool& busy) {
  const status s = open(path, {}, open_how{true, true, false});
  busy = s.code() == error_code::edit_in_progress;
  return s;
}

status edit_target::open(const char* path, const std::function<void()>& on_wait, open_how how) {
  release();
  path_ = path;
  waited_ = false;
  changed_ = false;
  bool first = true;
  struct stat first_seen {};
  // Each turn follows another edit's replacement; however busy the map, the
  // open ends.
  constexpr int most_turns = 64;
  for (int turn = 0;; ++turn) {
    if (turn == most_turns) return status::failure(error_code::io, replaced_too_often_text);
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failure(errno);
    handle_ = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
      const int error = errno;
      release();
      return failure(error);
    }
    if (!S_ISREG(info.st_mode)) {
      release();
      return not_regular_failure(S_ISDIR(info.st_mode));
    }
    if (first) first_seen = info;
    first = false;
    if (status s = how.lock ? lock(fd, how.wait, waited_, on_wait) : status::ok(); !s.is_ok()) {
      release();
      return s;
    }
    int error = 0;
    const check named = still_named(path, info, file_path_, error);
    if (named == check::failed) {
      release();
      return failure(error);
    }
    if (named == check::same) break;
    release();
  }

  // Taken again under the lock: the file may have changed while this edit
  // waited.
  struct stat info {};
  const int fd = static_cast<int>(handle_);
  status s = fstat(fd, &info) == 0 ? input_length(fd, length_) : failure(errno);
  if (!how.read) length_ = 0;
  if (s.is_ok() && how.read) {
    bytes_ = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(length_)));
    s = input_read(fd, bytes_, length_);
  }
  if (!s.is_ok()) {
    release();
    return s;
  }
  facts_ = facts_of(info);
  changed_ = !same_file(info, first_seen);
  return status::ok();
}
