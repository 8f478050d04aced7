#include "cli/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/memory.h"
#include "support/replacement_file.h"

mapped_file* mapped_file_open(const char* path, std::string& why) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = system_error_text(errno);
    return nullptr;
  }
  struct stat info {};
  const char* refused = nullptr;
  if (fstat(fd, &info) != 0) {
    why = system_error_text(errno);
  } else if (!S_ISREG(info.st_mode)) {
    refused = not_regular_text;
  } else if (info.st_size == 0) {
    refused = empty_file_text;
  } else if (info.st_size >= (off_t{1} << 31)) {
    refused = too_large_text;
  } else {
    void* view = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view != MAP_FAILED) {
      auto* file = static_cast<mapped_file*>(mem_alloc_zeroed(sizeof(mapped_file)));
      file->view = static_cast<const std::uint8_t*>(view);
      file->length = static_cast<std::uint32_t>(info.st_size);
      file->file = fd;
      file->mapping = -1;
      return file;
    }
    why = system_error_text(errno);
  }
  if (refused != nullptr) why = refused;
  close(fd);
  return nullptr;
}

void mapped_file_close(mapped_file* file) {
  if (file == nullptr) return;
  munmap(const_cast<std::uint8_t*>(file->view), file->length);
  close(static_cast<int>(file->file));
  mem_release(file);
}
