#include "support/backup_file.h"

#include <windows.h>

#include <cstdio>

#include "support/edit_target.h"
#include "support/input_file.h"
#include "support/replacement_file.h"
#include "support/windows_error.h"
#include "support/windows_path.h"

namespace {

std::string folder_of(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
}

bool is_link(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(windows_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

status failed(const std::string& backup, DWORD error) {
  return backup_failure(backup, windows_error_text(error), static_cast<int>(error));
}

// A copy where the file system has no hard links (FAT), flushed before it is
// renamed into place.
DWORD copy_file(const std::wstring& file, const std::wstring& temp) {
  if (!CopyFileW(file.c_str(), temp.c_str(), TRUE)) return GetLastError();
  const HANDLE copy = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = copy == INVALID_HANDLE_VALUE ? GetLastError() : NO_ERROR;
  if (error == NO_ERROR && !FlushFileBuffers(copy)) error = GetLastError();
  if (copy != INVALID_HANDLE_VALUE) CloseHandle(copy);
  if (error != NO_ERROR) DeleteFileW(temp.c_str());
  return error;
}

}  // namespace

std::string backup_name(const edit_target& target, const char* suffix) {
  return (is_link(target.path()) ? target.file_path() : target.path()) + suffix;
}

status backup_probe(const std::string& backup) {
  const DWORD attributes = GetFileAttributesW(windows_path(backup).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return failed(backup, error);
    return status::ok();
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return backup_failure(backup, backup_is_link_text, ERROR_CANT_ACCESS_FILE);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return backup_failure(backup, backup_is_folder_text, 336);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return backup_failure(backup, "the file is read-only", ERROR_ACCESS_DENIED);
  return status::ok();
}

status backup_make(const std::string& file, const std::string& backup) {
  if (status s = backup_probe(backup); !s.is_ok()) return s;
  const std::wstring from = windows_path(file), to = windows_path(backup);
  const std::string folder = folder_of(backup) == "." ? "" : folder_of(backup);
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 100; ++attempt, seed = seed * 1664525u + 1013904223u) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08lx", static_cast<unsigned long>(seed));
    const std::wstring temp = windows_path(folder + "." + backup.substr(folder.size()) + ".mapgraft-" + suffix);
    DWORD error = CreateHardLinkW(temp.c_str(), from.c_str(), nullptr) ? NO_ERROR : GetLastError();
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_NOT_SAME_DEVICE ||
        error == ERROR_ACCESS_DENIED)
      error = copy_file(from, temp);
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    if (error == NO_ERROR && !MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      error = GetLastError();
      DeleteFileW(temp.c_str());
    }
    if (error != NO_ERROR) return failed(backup, error);
    return status::ok();
  }
  return failed(backup, ERROR_FILE_EXISTS);
}
