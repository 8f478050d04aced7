#include "support/mapped_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "support/input_file.h"
#include "support/memory.h"
#include "support/replacement_file.h"

// Inputs are read, never mapped: a mapped file that another program truncates
// meanwhile ends the process with SIGBUS where a read simply comes up short.
// Reading costs no more either, since a page fault can cost more on a virtual
// machine than copying the page.

namespace {

// Opens an input and checks that it can be taken whole. Returns the
// descriptor, with the file's length, or -1 with the reason in `why`.
int open_checked(const char* path, std::uint32_t& length, std::string& why) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = system_error_text(errno);
    return -1;
  }
  if (status s = input_length(fd, length); !s.is_ok()) {
    why = s.why();
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

mapped_file* mapped_file_open(const char* path, std::string& why) {
  std::uint32_t length = 0;
  const int fd = open_checked(path, length, why);
  if (fd < 0) return nullptr;
  auto* bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(length)));
  if (status s = input_read(fd, bytes, length); !s.is_ok()) {
    why = s.why();
    mem_release(bytes);
    close(fd);
    return nullptr;
  }
  close(fd);
  auto* file = static_cast<mapped_file*>(mem_alloc_zeroed(sizeof(mapped_file)));
  file->view = bytes;
  file->length = length;
  file->file = -1;
  file->mapping = -1;
  return file;
}

void mapped_file_close(mapped_file* file) {
  if (file == nullptr) return;
  mem_release(const_cast<std::uint8_t*>(file->view));
  mem_release(file);
}

bool mapped_file_open_source(const char* path, file_source& source, std::string& why) {
  std::uint32_t length = 0;
  const int fd = open_checked(path, length, why);
  if (fd < 0) return false;
  source = {fd, length};
  return true;
}

void mapped_file_close_source(file_source& source) {
  if (source.file >= 0) close(static_cast<int>(source.file));
  source = {};
}
