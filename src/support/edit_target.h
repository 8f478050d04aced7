#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "support/edit_lock.h"
#include "support/file_identity.h"
#include "support/status.h"

// Why open() gave up on a map that other edits kept replacing.
inline constexpr const char* replaced_too_often_text = "replaced by other edits again and again";

// What an edit knows of the file it read, from the descriptor it read it by.
struct file_facts : file_identity {
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint32_t mode = 0;  // type and permission bits, as st_mode
  std::uint64_t links = 0;
};

// A map opened for an edit. Two edits of one map must not both read the old
// map and each write it back with only its own change, so on POSIX systems
// open() takes an exclusive lock (flock) on the descriptor it reads the file
// through, and the lock holds until the object is destroyed: after the
// replacement has been committed. A second edit of the same map therefore
// waits, and then reads the map the first one wrote. On Windows the file
// cannot stay open while it is replaced; an edit_lock is held instead, and
// a second edit fails at once with edit_in_progress_text.
//
// A symbolic link is followed: the file it names is locked, read and later
// replaced, and the link stays.
class edit_target {
 public:
  edit_target() = default;
  edit_target(const edit_target&) = delete;
  edit_target& operator=(const edit_target&) = delete;
  ~edit_target();

  // Opens `path`, waits until no other edit holds the file, and reads the
  // file the path names then. `on_wait` is called once, just before the first
  // wait, so the caller can say why nothing happens; it is not called when no
  // wait is needed. Refuses what is not a regular file of 1 byte up to 2 GiB
  // (exclusive), and a file whose size changes while it is read. Prints
  // nothing.
  status open(const char* path, const std::function<void()>& on_wait = {});
  // The same without any lock and without reading the bytes, which stay
  // empty: the facts of a file a library replaces, whose program does the
  // locking.
  status open_unlocked(const char* path) { return open(path, {}, {false, false, false}); }
  // Locked as open() locks, without reading the bytes: a file that a library
  // save replaces. Without `wait` a file another edit holds fails at once
  // with edit_in_progress, as it always does on Windows.
  status open_to_replace(const char* path, bool wait) { return open(path, {}, {true, false, wait}); }
  // As open(), but a file that another edit holds is not waited for: the
  // open fails with edit_in_progress and sets `busy`, so that a caller that
  // holds other maps' locks never waits while it holds them.
  status open_if_free(const char* path, bool& busy);

  std::span<const std::uint8_t> bytes() const { return {bytes_, length_}; }
  // Gives back the memory of the bytes once they have been taken; the lock
  // stays.
  void release_bytes();

  const std::string& path() const { return path_; }            // as given to open()
  const std::string& file_path() const { return file_path_; }  // the file itself, links resolved
  const file_facts& facts() const { return facts_; }
  std::intptr_t handle() const { return handle_; }  // the locked descriptor (POSIX)

  // Whether open() had to wait for another edit.
  bool waited() const { return waited_; }
  // True when the file finally read is not the one the path named when
  // open() began: another edit replaced it meanwhile, so anything learnt from
  // an earlier look at the map (chunk indexes, counts) no longer applies.
  bool changed_while_waiting() const { return changed_; }

 private:
  struct open_how {
    bool lock = true;
    bool read = true;
    bool wait = true;
  };
  status open(const char* path, const std::function<void()>& on_wait, open_how how);
  void release();

  std::intptr_t handle_ = -1;
  std::uint8_t* bytes_ = nullptr;
  std::uint32_t length_ = 0;
  std::string path_;
  std::string file_path_;
  file_facts facts_;
  bool waited_ = false;
  bool changed_ = false;
#ifdef _WIN32
  edit_lock lock_;
#endif
};
