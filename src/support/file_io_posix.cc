#include "support/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/replacement_file.h"

status file_read_at(std::intptr_t file, std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = pread(static_cast<int>(file), out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      return status::failure(error_code::io, shrank_text);
    } else if (errno != EINTR) {
      return status::failure(error_code::io, system_error_text(errno), errno);
    }
  }
  return status::ok();
}

status file_source_check_length(const file_source& source) {
  struct stat info {};
  if (fstat(static_cast<int>(source.file), &info) != 0) return status::failure(error_code::io, system_error_text(errno));
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size != source.length) return status::failure(error_code::io, size < source.length ? shrank_text : grew_text);
  return status::ok();
}
