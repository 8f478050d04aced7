#pragma once

#include <cstdint>

#include "support/status.h"

// Keeps two edits of one file from overlapping. An edit takes it before it
// reads the file and holds it until the file has been replaced, so that it
// never replaces a file with one made from contents that another edit has
// replaced meanwhile: the edit that finds the file taken fails instead, and
// the other's work stays.
class edit_lock {
 public:
  edit_lock() = default;
  edit_lock(const edit_lock&) = delete;
  edit_lock& operator=(const edit_lock&) = delete;
  ~edit_lock();

  // Fails when another edit holds the file that `path` names. A path that
  // names no file it can open is let through: the read that follows says why.
  status take(const char* path);

 private:
  [[maybe_unused]] std::intptr_t handle_ = 0;  // the mutex held, on Windows
};

// The reason take() gives when another edit holds the file.
inline constexpr const char* edit_in_progress_text = "another edit of the file is in progress";
