#include "support/replacement_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/edit_target.h"
#include "support/file_io.h"
#include "support/memory.h"

namespace {

// The one temporary file that may exist at any time, for the signal handler.
char pending_temp[PATH_MAX + 1];
volatile sig_atomic_t pending_armed = 0;

// The signals whose default action ends the process, bar those that the
// sanitizers and profilers handle (SEGV, BUS, FPE, ILL, ABRT, PROF) and
// SIGPIPE, which the programs ignore from the start.
constexpr int cleanup_signals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
#ifdef SIGVTALRM
    SIGVTALRM,
#endif
#ifdef SIGXCPU
    SIGXCPU,
#endif
#ifdef SIGXFSZ
    SIGXFSZ,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

sigset_t cleanup_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : cleanup_signals) sigaddset(&set, sig);
  return set;
}

// Dies by the same signal once the file is gone, so the parent sees why.
extern "C" void remove_pending_temp(int sig) {
  if (pending_armed) unlink(pending_temp);
  signal(sig, SIG_DFL);
  raise(sig);
}

class signals_blocked {
 public:
  signals_blocked() {
    const sigset_t set = cleanup_set();
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~signals_blocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  signals_blocked(const signals_blocked&) = delete;
  signals_blocked& operator=(const signals_blocked&) = delete;

 private:
  sigset_t old_;
};

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
    action.sa_mask = cleanup_set();
    sigaction(sig, &action, nullptr);
  }
}

status failure(int error) { return status::failure(system_error_text(error)); }

std::string line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string line(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

// The temporary file's path. The target's own name may take all that the
// file system allows, so the temporary name is cut short where needed, at a
// whole UTF-8 character.
std::string temp_path(const std::string& folder, const std::string& name) {
  static constexpr char suffix[] = ".mapgraft-XXXXXX";
  constexpr std::size_t suffix_length = sizeof suffix - 1;
  long name_max = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (name_max <= 0) name_max = 255;
  std::size_t keep = name.size();
  const auto fits = static_cast<std::size_t>(name_max);
  keep = fits > 1 + suffix_length ? std::min(keep, fits - 1 - suffix_length) : 0;
  const std::size_t fixed = folder.size() + 1 + suffix_length;
  keep = fixed < PATH_MAX ? std::min(keep, PATH_MAX - 1 - fixed) : 0;
  while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  return folder + "." + name.substr(0, keep) + suffix;
}

// An extended attribute's value, or the error number that kept it.
int attribute_value(int fd, const char* name, std::string& value) {
  for (;;) {
    const ssize_t size = fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return errno;
    value.assign(static_cast<std::size_t>(size), '\0');
    const ssize_t got = fgetxattr(fd, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;  // else it grew meanwhile
  }
}

std::vector<std::string> attribute_names(int fd) {
  std::string list;
  for (;;) {
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size <= 0) return {};
    list.assign(static_cast<std::size_t>(size), '\0');
    const ssize_t got = flistxattr(fd, list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return {};
  }
  std::vector<std::string> names;
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t end = list.find('\0', start);
    names.push_back(list.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return names;
}

constexpr const char* acl_attribute = "system.posix_acl_access";

bool copy_attribute(int from, int to, const char* name) {
  std::string value, present;
  if (attribute_value(from, name, value) != 0) return false;
  // The system may have given the new file the same value already (a
  // security label); setting it again might not be allowed.
  if (attribute_value(to, name, present) == 0 && present == value) return true;
  return fsetxattr(to, name, value.data(), value.size(), 0) == 0;
}

// Every attribute but the access control list; returns the names not copied.
std::vector<std::string> copy_attributes(int from, int to) {
  std::vector<std::string> lost;
  for (const std::string& name : attribute_names(from))
    if (name != acl_attribute && !copy_attribute(from, to, name.c_str())) lost.push_back(name);
  return lost;
}

bool copy_acl(int from, int to) {
  std::string value;
  const int error = attribute_value(from, acl_attribute, value);
  if (error == ENODATA || error == ENOTSUP) {
    // An ACL inherited from the folder's default ACL, which the target did
    // not have.
    fremovexattr(to, acl_attribute);
    return true;
  }
  return error == 0 && copy_attribute(from, to, acl_attribute);
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Where the file system cannot rename without replacing, a hard link cannot
// replace either.
int place_new(const char* temp, const char* path) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
#endif
  if (link(temp, path) != 0) return errno;
  unlink(temp);
  return 0;
}

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

status replacement_file::begin(const edit_target& target) {
  discard();
  warnings_.clear();
  source_ = &target;
  shown_ = target.path();
  target_ = target.file_path();
  if (!S_ISREG(target.facts().mode)) return status::failure("not a regular file");
  // Opening without truncating proves the target may be written, which a
  // rename into a writable folder would not.
  const int probe = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) return failure(errno);
  close(probe);
  const std::size_t slash = target_.rfind('/');
  return create_temp(target_.substr(0, slash + 1), target_.substr(slash + 1));
}

status replacement_file::begin_new(const char* path, const char* like) {
  discard();
  warnings_.clear();
  source_ = nullptr;
  shown_ = target_ = path;
  new_mode_ = new_file_mode();
  struct stat info {};
  if (like != nullptr) {
    if (stat(like, &info) != 0) return failure(errno);
    new_mode_ = info.st_mode & 07777;
  }
  // Known at commit for certain; told here, before the whole file is written.
  if (lstat(path, &info) == 0) return failure(EEXIST);
  const std::size_t slash = target_.rfind('/');
  if (slash == std::string::npos) return create_temp("", target_);
  return create_temp(target_.substr(0, slash + 1), target_.substr(slash + 1));
}

status replacement_file::create_temp(const std::string& folder, const std::string& name) {
  std::string temp = temp_path(folder, name);
  if (temp.size() > PATH_MAX) return failure(ENAMETOOLONG);
  install_cleanup_handlers();
  signals_blocked blocked;
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return failure(errno);
  handle_ = fd;
  temp_ = temp;
  std::memcpy(pending_temp, temp.c_str(), temp.size() + 1);
  pending_armed = 1;
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

// After the last write, which would clear the set-user-ID and set-group-ID
// bits of a file an unprivileged user writes, and before the flush, so the
// attributes reach the disk with the contents.
void replacement_file::keep_attributes() {
  const int fd = static_cast<int>(handle_);
  const int from = static_cast<int>(source_->handle());
  const file_facts& was = source_->facts();
  // Only root may give a file away; the group may be kept by anyone who
  // belongs to it.
  if (fchown(fd, was.owner, was.group) != 0 && fchown(fd, static_cast<uid_t>(-1), was.group) != 0) {
    // What stays is told below.
  }
  // Before fchmod, whose permissions may no longer let the owner set them.
  const std::vector<std::string> lost = copy_attributes(from, fd);
  if (fchmod(fd, was.mode & 07777) != 0) {
    // Told below.
  }
  // After fchmod, which would narrow the ACL's mask to the group bits.
  const bool acl_kept = copy_acl(from, fd);

  struct stat now {};
  if (fstat(fd, &now) != 0) now.st_mode = 0;
  const char* shown = shown_.c_str();
  if (now.st_uid != was.owner) warnings_.push_back(line("'%s' now belongs to you, not to uid %u", shown, was.owner));
  if (now.st_gid != was.group)
    warnings_.push_back(line("'%s' now belongs to gid %u, not to gid %u", shown, static_cast<unsigned>(now.st_gid), was.group));
  if ((now.st_mode & 07777) != (was.mode & 07777))
    warnings_.push_back(line("'%s' now has mode %04o, not %04o", shown, static_cast<unsigned>(now.st_mode & 07777), was.mode & 07777));
  if (!acl_kept) warnings_.push_back(line("'%s' lost its access control list", shown));
  if (!lost.empty()) {
    std::string names;
    for (const std::string& name : lost) names += (names.empty() ? "" : ", ") + name;
    warnings_.push_back(line("'%s' lost its extended attribute%s %s", shown, lost.size() == 1 ? "" : "s", names.c_str()));
  }
  if (was.links > 1) {
    const unsigned long long others = was.links - 1;
    warnings_.push_back(line("'%s' is now a file of its own: its %llu other hard link%s the old map", shown, others,
                             others == 1 ? " keeps" : "s keep"));
  }
}

status replacement_file::commit() {
  const int fd = static_cast<int>(handle_);
  int error = 0;
  if (source_ != nullptr) {
    keep_attributes();
  } else if (fchmod(fd, new_mode_) != 0) {
    error = errno;
  } else if (struct stat now {}; fstat(fd, &now) == 0 && (now.st_mode & 07777) != new_mode_) {
    // The set-group-ID bit of a group the user is not in does not stay.
    warnings_.push_back(line("'%s' has mode %04o, not %04o", shown_.c_str(), static_cast<unsigned>(now.st_mode & 07777),
                             static_cast<unsigned>(new_mode_)));
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  handle_ = -1;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0) {
    if (source_ != nullptr)
      error = rename(temp_.c_str(), target_.c_str()) == 0 ? 0 : errno;
    else
      error = place_new(temp_.c_str(), target_.c_str());
  }
  if (error != 0) {
    warnings_.clear();
    discard();
    return failure(error);
  }
  {
    signals_blocked blocked;
    pending_armed = 0;
    temp_.clear();
  }
  // The rename itself is only durable once the folder is flushed; the file
  // is in place either way, so a failure here changes nothing.
  const std::size_t slash = target_.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
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

// Copying a file's bytes into the temporary file.

namespace {

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
        result = status::failure(shrank_text);
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
