#include "support/input_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/replacement_file.h"

namespace {

status failure(int error) { return status::failure(system_error_text(error), error); }

}  // namespace

status input_length(int fd, std::uint32_t& length) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return failure(errno);
  if (!S_ISREG(info.st_mode)) return not_regular_failure(S_ISDIR(info.st_mode));
  if (info.st_size == 0) return status::failure(error_code::empty_file, empty_file_text);
  if (info.st_size >= (off_t{1} << 31)) return status::failure(error_code::io, too_large_text);
  length = static_cast<std::uint32_t>(info.st_size);
  return status::ok();
}

status input_read(int fd, std::uint8_t* out, std::uint32_t length) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = pread(fd, out + done, length - done, static_cast<off_t>(done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      return status::failure(error_code::io, shrank_text);
    } else if (errno != EINTR) {
      return failure(errno);
    }
  }
  for (;;) {
    std::uint8_t beyond = 0;
    const ssize_t got = pread(fd, &beyond, 1, static_cast<off_t>(length));
    if (got == 0) return status::ok();
    if (got > 0) return status::failure(error_code::io, grew_text);
    if (errno != EINTR) return failure(errno);
  }
}
