#include "support/edit_lock.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "support/file_identity.h"
#include "support/windows_error.h"

// Why a lock of its own: holding the target open (without FILE_SHARE_WRITE
// and FILE_SHARE_DELETE) keeps other writers off while it is held, but
// Windows cannot rename a file over one that is open, so an edit must let go
// of the target just before it replaces it. Two edits letting go at the same
// moment could then both replace it, the later one with contents made
// without the earlier one's change. The lock is instead a named mutex, held
// from before the read until after the rename, and named after the file
// itself (volume serial number and file index), so every path to the file,
// whatever its spelling, link or short name, meets the same mutex. A mutex
// is released when its process ends, however it ends, and leaves nothing
// behind on disk. It is machine-wide ("Global\"): another user's edit holds
// a mutex this user may not even open, which is as good as held. Edits from
// other machines on a shared folder are not kept apart, nor are edits by
// other programs; those fail with Windows' reason where the target is open.

namespace {

HANDLE handle_of(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

std::wstring mutex_name(const file_identity& identity) {
  char name[64];
  std::snprintf(name, sizeof name, "Global\\mapgraft-edit-%08llx-%016llx", static_cast<unsigned long long>(identity.device),
                static_cast<unsigned long long>(identity.file));
  return std::wstring(name, name + std::char_traits<char>::length(name));
}

}  // namespace

edit_lock::~edit_lock() {
  if (handle_ == 0) return;
  ReleaseMutex(handle_of(handle_));
  CloseHandle(handle_of(handle_));
}

status edit_lock::take(const char* path) {
  // Each round that finds the path naming another file than the one it
  // locked follows an edit that has just replaced it.
  for (int round = 0; round < 100; ++round) {
    file_identity locked;
    if (!file_identity_of(path, locked)) return status::ok();
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutex_name(locked).c_str());
    if (mutex == nullptr) {
      const DWORD error = GetLastError();
      if (error == ERROR_ACCESS_DENIED) return status::failure(error_code::edit_in_progress, edit_in_progress_text);
      return status::failure(windows_error_text(error), static_cast<int>(error));
    }
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_TIMEOUT) {
      CloseHandle(mutex);
      return status::failure(error_code::edit_in_progress, edit_in_progress_text);
    }
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      const DWORD error = GetLastError();
      CloseHandle(mutex);
      return status::failure(error_code::io, windows_error_text(error));
    }
    file_identity now;
    if (file_identity_of(path, now) && now == locked) {
      handle_ = reinterpret_cast<std::intptr_t>(mutex);
      return status::ok();
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  return status::failure(error_code::edit_in_progress, edit_in_progress_text);
}
