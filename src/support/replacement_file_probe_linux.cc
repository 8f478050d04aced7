#include "support/replacement_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "support/input_file.h"

// What begin(), begin_new(), the writes and commit() would refuse, found
// without creating or opening anything for writing.

namespace {

// A name that is taken is told apart: a new file never replaces one.
status failure(int error) {
  return status::failure(error == EEXIST ? error_code::exists : error_code::io, system_error_text(error), error);
}

// The folder part of a path as given, up to its last slash, or "" for the
// current folder.
std::string folder_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string folder_or_current(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

// The temporary file made beside `path` must fit the folder and the system.
status temp_name_fits(const std::string& path) {
  const std::string folder = folder_part(path);
  if (replacement_temp_path(folder, path.substr(folder.size())).size() > PATH_MAX) return failure(ENAMETOOLONG);
  return status::ok();
}

}  // namespace

status replacement_file::probe(const char* target) {
  char resolved[PATH_MAX];
  if (realpath(target, resolved) == nullptr) return failure(errno);
  struct stat info {};
  if (stat(resolved, &info) != 0) return failure(errno);
  if (!S_ISREG(info.st_mode)) return not_regular_failure(S_ISDIR(info.st_mode));
  if (faccessat(AT_FDCWD, resolved, W_OK, AT_EACCESS) != 0) return failure(errno);
  // The temporary file is made beside the target.
  if (faccessat(AT_FDCWD, folder_part(resolved).c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return temp_folder_failure(target, resolved, errno);
  return temp_name_fits(resolved);
}

status replacement_file::probe_new(const char* output) {
  if (*output == '\0') return failure(ENOENT);
  struct stat info {};
  if (lstat(output, &info) == 0) return failure(EEXIST);
  if (errno != ENOENT) return failure(errno);
  if (faccessat(AT_FDCWD, folder_or_current(folder_part(output)).c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return temp_folder_failure(output, output, errno);
  return temp_name_fits(output);
}

status replacement_file::probe_room(const char* path, std::uint64_t size, bool replacing) {
  char resolved[PATH_MAX];
  std::string file = path;
  if (replacing && realpath(path, resolved) != nullptr) file = resolved;
  const std::string folder = folder_or_current(folder_part(file));
  // The old file stays until the new one is in place: the room must hold it whole.
  struct statvfs space {};
  if (statvfs(folder.c_str(), &space) == 0) {
    const std::uint64_t blocks = geteuid() == 0 ? space.f_bfree : space.f_bavail;
    if (blocks * space.f_frsize < size) return failure(ENOSPC);
  }
  struct rlimit limit {};
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < size) return failure(EFBIG);
  // In a sticky folder only the owner of the file or of the folder may
  // rename over the file.
  struct stat dir {}, info {};
  if (replacing && geteuid() != 0 && stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0 &&
      stat(file.c_str(), &info) == 0 && dir.st_uid != geteuid() && info.st_uid != geteuid())
    return failure(EPERM);
  return status::ok();
}
