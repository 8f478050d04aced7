#include "support/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/file_io.h"
#include "support/replacement_file.h"

namespace {

status failure(int error) { return status::failure(system_error_text(error), error); }

status check(int fd, const input_rules& rules, input_file& file) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return failure(errno);
  if (S_ISDIR(info.st_mode)) return not_regular_failure(true);
  if (rules.streams_allowed && (!S_ISREG(info.st_mode) || info.st_size == 0)) {
    file.stream = fdopen(fd, "rb");
    if (file.stream == nullptr) return failure(errno);
    file.handle = -1;
    return status::ok();
  }
  if (!S_ISREG(info.st_mode)) return not_regular_failure(false);
  if (info.st_size == 0 && !rules.empty_allowed) return status::failure(error_code::empty_file, empty_file_text);
  file.length = static_cast<std::uint64_t>(info.st_size);
  if (file.length >= input_limit && !rules.streams_allowed) return status::failure(rules.too_large, too_large_text);
  return status::ok();
}

}  // namespace

status input_open(const char* path, const input_rules& rules, input_file& file) {
  input_close(file);
  // Non-blocking, so that opening a FIFO does not wait for a writer, unless
  // one is to be read; the type is checked before anything is read.
  const int fd = open(path, O_RDONLY | O_CLOEXEC | (rules.streams_allowed ? 0 : O_NONBLOCK));
  if (fd < 0) return failure(errno);
  file.handle = fd;
  status s = check(fd, rules, file);
  if (s.is_ok() && !rules.streams_allowed) {
    // Some file systems honour the flag for regular files too.
    const int mode = fcntl(fd, F_GETFL);
    if (mode < 0 || fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) != 0) s = failure(errno);
  }
  if (!s.is_ok()) input_close(file);
  return s;
}

void input_close(input_file& file) {
  if (file.stream != nullptr) std::fclose(file.stream);
  if (file.handle >= 0) close(static_cast<int>(file.handle));
  file = {};
}

status input_length(int fd, std::uint32_t& length) {
  input_file file;
  file.handle = fd;
  const status s = check(fd, input_rules{}, file);
  if (s.is_ok()) length = static_cast<std::uint32_t>(file.length);
  return s;
}

status input_read(std::intptr_t file, std::uint8_t* out, std::uint32_t length) {
  if (status s = file_read_at(file, 0, {out, length}); !s.is_ok()) return s;
  const int fd = static_cast<int>(file);
  for (;;) {
    std::uint8_t beyond = 0;
    const ssize_t got = pread(fd, &beyond, 1, static_cast<off_t>(length));
    if (got == 0) return status::ok();
    if (got > 0) return status::failure(error_code::io, grew_text);
    if (errno != EINTR) return failure(errno);
  }
}
