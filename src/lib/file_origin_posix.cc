#include "lib/file_origin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>

#include "support/replacement_file.h"

namespace {

file_origin origin_of(const char* path, const struct stat& info) {
  file_origin origin;
  origin.known = true;
  origin.path = path;
  origin.location = file_location(path);
  origin.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  origin.size = static_cast<std::uint64_t>(info.st_size);
  origin.modified = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  origin.changed = std::int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
  return origin;
}

}  // namespace

status file_origin_read(const char* path, std::vector<std::uint8_t>& bytes, file_origin& origin) {
  // Non-blocking, so that opening a FIFO does not wait for a writer; the
  // type is checked before anything is read.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return status::failure(system_error_text(errno), errno);
  struct stat info {};
  status result = status::ok();
  const int mode = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0) {
    result = status::failure(system_error_text(errno), errno);
  } else if (!S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    result = status::failure(system_error_text(error), error);
  } else if (info.st_size > std::numeric_limits<std::int32_t>::max()) {
    result = status::failure(error_code::too_large, "the file takes 2 GiB or more");
  } else if (mode < 0 || fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) != 0) {
    result = status::failure(system_error_text(errno), errno);
  } else {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result = status::failure(system_error_text(errno), errno);
        break;
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    // A file that changed size meanwhile is taken as far as it was read.
    bytes.resize(done);
    origin = origin_of(path, info);
  }
  close(fd);
  return result;
}

bool file_origin_now(const char* path, file_origin& origin) {
  struct stat info {};
  if (stat(path, &info) != 0) return false;
  origin = origin_of(path, info);
  return true;
}

std::string file_location(const char* path) {
  char buffer[PATH_MAX];
  if (realpath(path, buffer) != nullptr) return buffer;
  // No file there (yet): its folder, resolved, and its name.
  const std::string given = path;
  const std::size_t slash = given.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : given.substr(0, slash);
  if (realpath(folder.c_str(), buffer) == nullptr) return {};
  const std::string resolved = buffer;
  return (resolved == "/" ? "" : resolved) + "/" + given.substr(slash + 1);
}

bool same_location(const std::string& a, const std::string& b) { return !a.empty() && a == b; }
