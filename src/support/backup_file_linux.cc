#include "support/backup_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/edit_target.h"
#include "support/input_file.h"
#include "support/replacement_file.h"

namespace {

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool is_link(const char* path) {
  struct stat info {};
  return lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

// The copy where a hard link cannot be made: the bytes, the permission bits
// and the times, flushed before it is renamed into place.
int copy_file(const std::string& file, const std::string& temp) {
  const int from = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return errno;
  struct stat info {};
  int error = fstat(from, &info) == 0 ? 0 : errno;
  const int to = error == 0 ? open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600) : -1;
  if (error == 0 && to < 0) error = errno;
  char block[1 << 16];
  while (error == 0) {
    const ssize_t got = read(from, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = got < 0 ? errno : 0;
      break;
    }
    for (ssize_t done = 0; error == 0 && done < got;) {
      const ssize_t put = write(to, block + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno != EINTR) error = errno;
      if (put > 0) done += put;
    }
  }
  close(from);
  if (to < 0) return error;
  if (error == 0 && fchmod(to, info.st_mode & 07777) != 0) error = errno;
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  if (error == 0) futimens(to, times);
  if (error == 0 && fsync(to) != 0) error = errno;
  if (close(to) != 0 && error == 0) error = errno;
  if (error != 0) unlink(temp.c_str());
  return error;
}

// A link, or else a copy, under a free temporary name beside the backup.
int make_temp(const std::string& file, const std::string& backup, std::string& temp) {
  const std::size_t slash = backup.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : backup.substr(0, slash + 1);
  temp = replacement_temp_path(folder, backup.substr(slash + 1));
  static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[6];
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return errno;
    for (std::size_t i = 0; i < sizeof random; ++i) temp[temp.size() - 6 + i] = letters[random[i] % (sizeof letters - 1)];
    if (link(file.c_str(), temp.c_str()) == 0) return 0;
    const int error = errno;
    if (error == EEXIST) continue;
    if (error != EXDEV && error != EPERM && error != EMLINK && error != ENOTSUP && error != EOPNOTSUPP) return error;
    const int copied = copy_file(file, temp);
    if (copied != EEXIST) return copied;
  }
  return EEXIST;
}

}  // namespace

std::string backup_name(const edit_target& target, const char* suffix) {
  return (is_link(target.path().c_str()) ? target.file_path() : target.path()) + suffix;
}

status backup_probe(const std::string& backup) {
  struct stat info {};
  if (lstat(backup.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return backup_failure(backup, backup_is_folder_text, EISDIR);
    if (S_ISLNK(info.st_mode)) return backup_failure(backup, backup_is_link_text, ELOOP);
    if (!S_ISREG(info.st_mode)) return backup_failure(backup, not_regular_text, EINVAL);
  } else if (errno != ENOENT) {
    return backup_failure(backup, system_error_text(errno), errno);
  }
  if (access(folder_of(backup).c_str(), W_OK | X_OK) != 0) return backup_failure(backup, system_error_text(errno), errno);
  return status::ok();
}

status backup_make(const std::string& file, const std::string& backup) {
  if (status s = backup_probe(backup); !s.is_ok()) return s;
  std::string temp;
  int error = make_temp(file, backup, temp);
  if (error == 0 && rename(temp.c_str(), backup.c_str()) != 0) error = errno;
  // Gone after a rename, unless the backup was a name of the same file.
  unlink(temp.c_str());
  if (error != 0) return backup_failure(backup, system_error_text(error), error);
  const int dir = open(folder_of(backup).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return status::ok();
}
