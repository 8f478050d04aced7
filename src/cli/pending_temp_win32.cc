#include <windows.h>

#include <string>

#include "cli/pending_temp.h"
#include "support/windows_path.h"

namespace {

// The one temporary file that may exist at any time, for the console control
// handler, which Windows runs on a thread of its own.
SRWLOCK pending_lock = SRWLOCK_INIT;
std::wstring pending_temp;
bool pending_armed = false;
// Whether the saving thread holds the lock, across a step the handler waits for.
bool pending_held = false;

BOOL WINAPI remove_pending_temp(DWORD) {
  // The lock is kept: the process is ending, and the saving thread must not
  // create or rename anything meanwhile.
  AcquireSRWLockExclusive(&pending_lock);
  if (pending_armed) DeleteFileW(pending_temp.c_str());
  pending_armed = false;
  // End as the default handler would, with its status, but without running
  // exit code while the saving thread may hold the C library's locks (Wine's
  // default handler also ended the process with status 0).
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

void install_cleanup_handler() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetConsoleCtrlHandler(remove_pending_temp, TRUE);
}

void hold() {
  AcquireSRWLockExclusive(&pending_lock);
  pending_held = true;
}

void release() {
  pending_held = false;
  ReleaseSRWLockExclusive(&pending_lock);
}

void watch(const std::string& path, temp_step step) {
  switch (step) {
    case temp_step::creating: {
      install_cleanup_handler();
      std::wstring wide = windows_path(path);
      hold();
      pending_temp.swap(wide);
      pending_armed = true;
      return;
    }
    case temp_step::created:
      if (pending_held) release();
      return;
    case temp_step::renaming:
      hold();
      return;
    case temp_step::gone:
      if (!pending_held) hold();
      pending_armed = false;
      release();
      return;
  }
}

}  // namespace

temp_watcher pending_temp_watcher() { return watch; }
