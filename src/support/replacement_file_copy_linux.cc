#include "support/replacement_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "support/file_io.h"
#include "support/memory.h"

namespace {

status failure(int error) { return status::failure(system_error_text(error), error); }

// The system cannot copy this way between these two files (another file
// system, an old kernel, a sandbox that filters the call): the next way is
// tried. Any other error is the write's own and ends the copy.
bool copy_refused(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP ||
         error == EPERM;
}

// Every few MiB copied, the disk is set to work on them while the copy goes
// on, so that the flush before the rename has little left to wait for: a
// 256 MiB insert then took half the time of copying the file and flushing
// the copy. The steps also bound how long an interrupting signal waits.
constexpr std::uint64_t writeback_step = std::uint64_t{8} << 20;
// Small enough to stay in a core's cache between the read and the write:
// four times this size took twice the time.
constexpr std::uint64_t buffer_size = 512 << 10;

}  // namespace

// copy_file_range, else sendfile, else reading and writing through a small
// buffer. The source is read at explicit offsets; its descriptor's position
// is never used or moved.
//
// The kernel copies page by page, and where the data land off page
// boundaries in the temporary file it writes every page in two pieces: a
// 256 MiB insert took a third more time than through the buffer, whose
// writes fall on whole pages. The kernel copy is therefore kept for data
// that land on a page boundary, where a file system may even share the
// blocks instead of copying them.
status replacement_file::copy(const file_source& source) {
  const int in = static_cast<int>(source.file);
  const int out = static_cast<int>(handle_);
  const off_t at = lseek(out, 0, SEEK_CUR);
  if (at < 0) {
    const int error = errno;
    discard();
    return failure(error);
  }
  const auto position = static_cast<std::uint64_t>(at);
  enum class way { range, sendfile, buffer };
  way how = position % static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) == 0 ? way::range : way::buffer;
  std::uint8_t* buffer = nullptr;
  status result = status::ok();
  std::uint64_t done = 0, written_back = 0;
  while (done < source.length && result.is_ok()) {
    if (how == way::buffer) {
      if (buffer == nullptr)
        buffer = static_cast<std::uint8_t*>(
            mem_alloc_zeroed(static_cast<std::int32_t>(std::min(buffer_size, source.length - done))));
      const std::uint64_t landing = position + done;
      const auto part = static_cast<std::size_t>(std::min(buffer_size - landing % buffer_size, source.length - done));
      result = file_read_at(source.file, done, {buffer, part});
      if (result.is_ok()) result = write({buffer, part});
      done += part;
    } else {
      const auto part = static_cast<std::size_t>(std::min(writeback_step, source.length - done));
      auto from = static_cast<off_t>(done);
      const ssize_t copied =
          how == way::range ? copy_file_range(in, &from, out, nullptr, part, 0) : sendfile(out, in, &from, part);
      const int error = copied < 0 ? errno : 0;
      if (copied > 0) {
        done += static_cast<std::uint64_t>(copied);
      } else if (error == EINTR) {
        continue;
      } else if (how == way::range && (copied == 0 || copy_refused(error))) {
        // Some kernels' copy_file_range reports the end of files it cannot
        // copy from; sendfile has the last word on where the source ends.
        how = way::sendfile;
      } else if (copied == 0) {
        result = status::failure(error_code::io, shrank_text);
      } else if (copy_refused(error)) {
        how = way::buffer;
      } else {
        result = failure(error);
      }
    }
    if (result.is_ok() && done - written_back >= writeback_step) {
      sync_file_range(out, static_cast<off_t>(position + written_back), static_cast<off_t>(done - written_back),
                      SYNC_FILE_RANGE_WRITE);
      written_back = done;
    }
  }
  mem_release(buffer);
  if (!result.is_ok()) discard();
  return result;
}
