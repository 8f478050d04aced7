#pragma once

#include <signal.h>

// The one temporary file that may exist at any time, so that a signal that
// ends the process removes it first. Arming installs the
// handlers once; they leave alone a signal the process was started ignoring
// (nohup).
void pending_temp_arm(const char* path);
// The file is gone or has been renamed into place: nothing to remove.
void pending_temp_disarm();
// Removes the armed file now, if any, and disarms.
void pending_temp_remove();

// Blocks the signals the handlers catch while it lives, so that arming,
// disarming and removing are never torn by one of them.
class pending_temp_guard {
 public:
  pending_temp_guard();
  ~pending_temp_guard();
  pending_temp_guard(const pending_temp_guard&) = delete;
  pending_temp_guard& operator=(const pending_temp_guard&) = delete;

 private:
  sigset_t saved_;
};
