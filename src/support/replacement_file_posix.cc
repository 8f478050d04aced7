#include "support/replacement_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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

// Copying a file's bytes into the temporary file.

#include <sys/sendfile.h>

#include <algorithm>

#include "support/memory.h"

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
        result = status::failure(file_shrank_text);
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
