#include "support/replacement_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/file_io.h"

namespace {

// The one temporary file that may exist at any time, for the signal handler.
char pending_temp[PATH_MAX + 1];
volatile sig_atomic_t pending_armed = 0;

constexpr int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_pending_temp(int sig) {
  if (pending_armed) unlink(pending_temp);
  signal(sig, SIG_DFL);
  raise(sig);
}

void install_cleanup_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : cleanup_signals) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // e.g. started under nohup
    struct sigaction action {};
    action.sa_handler = remove_pending_temp;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}

class signals_blocked {
 public:
  signals_blocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : cleanup_signals) sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~signals_blocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

status failure(int error) { return status::failure(system_error_text(error)); }

}  // namespace

std::string system_error_text(int error) { return std::strerror(error); }

replacement_file::~replacement_file() { discard(); }

void replacement_file::discard() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temp_.empty()) {
    signals_blocked blocked;
    unlink(temp_.c_str());
    pending_armed = 0;
    temp_.clear();
  }
}

status replacement_file::begin(const char* target) {
  char resolved[PATH_MAX];
  if (realpath(target, resolved) == nullptr) return failure(errno);
  target_ = resolved;

  struct stat info {};
  if (stat(target_.c_str(), &info) != 0) return failure(errno);
  if (!S_ISREG(info.st_mode)) return status::failure("not a regular file");
  // Opening without truncating proves the target may be written, which a
  // rename into a writable folder would not.
  const int probe = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) return failure(errno);
  close(probe);

  const std::size_t slash = target_.rfind('/');
  const std::string folder = target_.substr(0, slash + 1);
  std::string temp = folder + "." + target_.substr(slash + 1) + ".mapgraft-XXXXXX";
  if (temp.size() > PATH_MAX) return status::failure(system_error_text(ENAMETOOLONG));

  install_cleanup_handlers();
  {
    signals_blocked blocked;
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failure(errno);
    handle_ = fd;
    temp_ = temp;
    std::memcpy(pending_temp, temp.c_str(), temp.size() + 1);
    pending_armed = 1;
  }
  // Keep the owner where we may (as root), then the permission bits.
  if (fchown(static_cast<int>(handle_), info.st_uid, info.st_gid) != 0) {
    // Not the owner's to give away: the new file stays ours.
  }
  if (fchmod(static_cast<int>(handle_), info.st_mode & 07777) != 0) {
    const int error = errno;
    discard();
    return failure(error);
  }
  return status::ok();
}

status replacement_file::write(std::span<const std::uint8_t> bytes) {
  const int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      discard();
      return failure(error);
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return status::ok();
}

status replacement_file::commit() {
  const int fd = static_cast<int>(handle_);
  int error = 0;
  if (fsync(fd) != 0) error = errno;
  handle_ = -1;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    discard();
    return failure(error);
  }
  {
    signals_blocked blocked;
    pending_armed = 0;
    temp_.clear();
  }
  // The rename itself is only durable once the folder is flushed; the target
  // has been replaced either way, so a failure here changes nothing.
  const std::string folder = target_.substr(0, target_.rfind('/') + 1);
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return status::ok();
}

namespace {

// The folder part of a path as given, up to its last slash, or "" for the
// current folder.
std::string folder_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string folder_or_current(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }

// Returns 0 or the error number. A file at `to` is never replaced, even one
// that appears while this runs.
int rename_without_replacing(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
#endif
  // Where the file system cannot rename that way, a hard link refuses an
  // existing name just the same.
  if (link(from, to) != 0) return errno;
  unlink(from);
  return 0;
}

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

status replacement_file::begin_new(const char* output, const char* like) {
  if (status s = probe_new(output); !s.is_ok()) return s;
  struct stat info {};
  if (stat(like, &info) != 0) return failure(errno);
  target_ = output;
  const std::string folder = folder_part(target_);
  std::string temp = folder + "." + target_.substr(folder.size()) + ".mapgraft-XXXXXX";
  if (temp.size() > PATH_MAX) return status::failure(system_error_text(ENAMETOOLONG));

  install_cleanup_handlers();
  {
    signals_blocked blocked;
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failure(errno);
    handle_ = fd;
    temp_ = temp;
    std::memcpy(pending_temp, temp.c_str(), temp.size() + 1);
    pending_armed = 1;
  }
  if (fchmod(static_cast<int>(handle_), info.st_mode & 07777) != 0) {
    const int error = errno;
    discard();
    return failure(error);
  }
  return status::ok();
}

status replacement_file::commit_new() {
  const int fd = static_cast<int>(handle_);
  int error = 0;
  if (fsync(fd) != 0) error = errno;
  handle_ = -1;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0) error = rename_without_replacing(temp_.c_str(), target_.c_str());
  if (error != 0) {
    discard();
    return failure(error);
  }
  {
    signals_blocked blocked;
    pending_armed = 0;
    temp_.clear();
  }
  const int dir = open(folder_or_current(folder_part(target_)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return status::ok();
}

status replacement_file::read_back(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (handle_ < 0) return failure(EBADF);
  return file_read_at(handle_, offset, out);
}

status replacement_file::written_length(std::uint64_t& length) {
  struct stat info {};
  if (handle_ < 0 || fstat(static_cast<int>(handle_), &info) != 0) return failure(handle_ < 0 ? EBADF : errno);
  length = static_cast<std::uint64_t>(info.st_size);
  return status::ok();
}
