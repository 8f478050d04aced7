#include "support/edit_target.h"

#include <windows.h>

#include "support/file_io.h"
#include "support/mapped_file.h"
#include "support/memory.h"
#include "support/windows_error.h"
#include "support/windows_path.h"

// The file is read and closed at once, so that it can be replaced
// afterwards; the edit lock keeps other edits off meanwhile.

edit_target::~edit_target() { release(); }

void edit_target::release_bytes() {
  mem_release(bytes_);
  bytes_ = nullptr;
  length_ = 0;
}

void edit_target::release() { release_bytes(); }

status edit_target::open(const char* path, const std::function<void()>& on_wait) { return open(path, on_wait, open_how{}); }

// An edit never waits here: open() fails at once.
status edit_target::open_if_free(const char* path, bool& busy) {
  const status s = open(path, {}, open_how{});
  busy = s.code() == error_code::edit_in_progress;
  return s;
}

status edit_target::open(const char* path, const std::function<void()>&, open_how how) {
  release();
  path_ = path;
  file_path_ = path;
  if (status s = how.lock ? lock_.take(path) : status::ok(); !s.is_ok()) return s;
  status why = status::ok();
  file_source file;
  const source_closer closer{file};
  if (!mapped_file_open_source(path, file, why)) return why;
  // The file replaced is the one read: renaming over a symbolic link would
  // replace the link and leave its target as it was. Wine shows no links at
  // all, so the final path is asked for every map.
  if (!final_path_of(file.file, file_path_)) {
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(windows_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
      return status::failure(windows_error_text(error), static_cast<int>(error));
    file_path_ = path;
  }
  if (!how.read) return status::ok();
  // Read, not mapped and copied, so that the map is never in memory twice.
  length_ = static_cast<std::uint32_t>(file.length);
  bytes_ = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(length_)));
  if (status s = file_read_at(file.file, 0, {bytes_, length_}); !s.is_ok()) return s;
  return file_source_check_length(file);
}
