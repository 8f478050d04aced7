#include "cli/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/memory.h"
#include "support/replacement_file.h"

namespace {

// Mapping a file costs a page fault for every few pages touched, and on a
// virtual machine a fault can cost tens of microseconds: a 256 MiB input took
// longer to map than to read and write out whole. A large input is therefore
// read into a block of its own, which takes huge pages (see mem_alloc_zeroed);
// a smaller one costs less mapped than in a block whose last, partial huge
// page is made of small pages.
constexpr off_t read_at_least = off_t{16} << 20;
constexpr std::intptr_t read_copy = -2;  // `mapping` of an input read, not mapped

// Opens an input and checks that it can be taken whole. Returns the
// descriptor, with the file's length, or -1 with the reason in `why`.
int open_checked(const char* path, std::size_t& length, std::string& why) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = system_error_text(errno);
    return -1;
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
    length = static_cast<std::size_t>(info.st_size);
    return fd;
  }
  if (refused != nullptr) why = refused;
  close(fd);
  return -1;
}

// Reads the file's first `length` bytes into `out`.
bool read_all(int fd, std::uint8_t* out, std::size_t length, std::string& why) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = pread(fd, out + done, length - done, static_cast<off_t>(done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      why = got < 0 ? system_error_text(errno) : "the file shrank while it was read";
      return false;
    }
  }
  return true;
}

}  // namespace

mapped_file* mapped_file_open(const char* path, std::string& why) {
  std::size_t length = 0;
  const int fd = open_checked(path, length, why);
  if (fd < 0) return nullptr;
  const std::uint8_t* view = nullptr;
  std::intptr_t mapping = -1;
  if (length >= read_at_least) {
    auto* bytes = static_cast<std::uint8_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(length)));
    if (read_all(fd, bytes, length, why))
      view = bytes;
    else
      mem_release(bytes);
    mapping = read_copy;
  } else if (void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0); mapped != MAP_FAILED) {
    view = static_cast<const std::uint8_t*>(mapped);
  } else {
    why = system_error_text(errno);
  }
  if (view == nullptr) {
    close(fd);
    return nullptr;
  }
  auto* file = static_cast<mapped_file*>(mem_alloc_zeroed(sizeof(mapped_file)));
  file->view = view;
  file->length = static_cast<std::uint32_t>(length);
  file->file = fd;
  file->mapping = mapping;
  return file;
}

bool mapped_file_read_into(const char* path, std::string& why,
                           const std::function<std::uint8_t*(std::uint32_t length)>& place) {
  std::size_t length = 0;
  const int fd = open_checked(path, length, why);
  if (fd < 0) return false;
  std::uint8_t* out = place(static_cast<std::uint32_t>(length));
  const bool done = out != nullptr && read_all(fd, out, length, why);
  close(fd);
  return done;
}

void mapped_file_close(mapped_file* file) {
  if (file == nullptr) return;
  if (file->mapping == read_copy)
    mem_release(const_cast<std::uint8_t*>(file->view));
  else
    munmap(const_cast<std::uint8_t*>(file->view), file->length);
  close(static_cast<int>(file->file));
  mem_release(file);
}

bool mapped_file_open_source(const char* path, file_source& source, std::string& why) {
  std::size_t length = 0;
  const int fd = open_checked(path, length, why);
  if (fd < 0) return false;
  source = {fd, length};
  return true;
}

void mapped_file_close_source(file_source& source) {
  if (source.file >= 0) close(static_cast<int>(source.file));
  source = {};
}
