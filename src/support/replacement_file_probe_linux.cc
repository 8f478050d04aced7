#include "support/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

// What begin() and begin_new() would refuse, found without creating or
// opening anything for writing.

namespace {

status failure(int error) { return status::failure(system_error_text(error), error); }

// The folder part of a path as given, up to its last slash, or "" for the
// current folder.
std::string folder_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string folder_or_current(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

}  // namespace

status replacement_file::probe(const char* target) {
  char resolved[PATH_MAX];
  if (realpath(target, resolved) == nullptr) return failure(errno);
  struct stat info {};
  if (stat(resolved, &info) != 0) return failure(errno);
  if (!S_ISREG(info.st_mode)) return status::failure("not a regular file");
  const int probe = open(resolved, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) return failure(errno);
  close(probe);
  // The temporary file is made beside the target.
  if (access(folder_part(resolved).c_str(), W_OK | X_OK) != 0) return failure(errno);
  return status::ok();
}

status replacement_file::probe_new(const char* output) {
  struct stat info {};
  if (lstat(output, &info) == 0) return failure(EEXIST);
  if (errno != ENOENT) return failure(errno);
  if (access(folder_or_current(folder_part(output)).c_str(), W_OK | X_OK) != 0) return failure(errno);
  return status::ok();
}
