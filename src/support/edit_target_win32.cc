#include "support/edit_target.h"

#include <cstring>

#include "support/mapped_file.h"
#include "support/memory.h"

// The file is copied and closed at once, so that it can be replaced
// afterwards; the edit lock keeps other edits off meanwhile.

edit_target::~edit_target() { release(); }

void edit_target::release_bytes() {
  mem_release(bytes_);
  bytes_ = nullptr;
  length_ = 0;
}

void edit_target::release() { release_bytes(); }

status edit_target::open(const char* path, const std::function<void()>& on_wait) { return open(path, on_wait, true); }

status edit_target::open(const char* path, const std::function<void()>&, bool locked) {
  release();
  path_ = path;
  file_path_ = path;
  if (status s = locked ? lock_.take(path) : status::ok(); !s.is_ok()) return s;
  std::string why;
  const mapped_file_ptr file(mapped_file_open(path, why));
  if (!file) return status::failure(why);
  length_ = file->length;
  bytes_ = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(length_)));
  std::memcpy(bytes_, file->view, length_);
  return status::ok();
}
