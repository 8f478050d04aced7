#include "support/replacement_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "support/acl_mode.h"
#include "support/edit_target.h"
#include "support/file_attributes.h"
#include "support/file_io.h"
#include "support/format_line.h"
#include "support/input_file.h"
#include "support/shell_quote.h"

namespace {

// A name that is taken is told apart: a new file never replaces one.
status failure(int error) {
  return status::failure(error == EEXIST ? error_code::exists : error_code::io, system_error_text(error), error);
}


// The umask is read where the kernel shows it: setting it to learn it would
// give a file another thread creates meanwhile the wrong mode.
mode_t new_file_mode() {
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr)
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return 0666 & ~static_cast<mode_t>(mask);
  }
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

// Gives an O_TMPFILE file the name `path`, which must not exist: through
// /proc, else (no /proc mounted) by the descriptor, which takes a privilege.
int link_unnamed(int fd, const char* path) {
  const std::string by_proc = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, by_proc.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return -1;
  return linkat(fd, "", AT_FDCWD, path, AT_EMPTY_PATH);
}

// A file's folder without the slash, as a user would type it.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new file is the user's: a set-ID bit of `like` goes only to the owner
// and group it was given for.
mode_t set_id_bits_kept(int fd, mode_t mode, std::uint32_t owner, std::uint32_t group) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return mode & ~(S_ISUID | S_ISGID);
  if (info.st_uid != owner) mode &= ~S_ISUID;
  if (info.st_gid != group) mode &= ~S_ISGID;
  return mode;
}

}  // namespace

// The temporary file's path. The target's own name may take all that the
// file system allows, so the temporary name is cut short where needed, at a
// whole UTF-8 character.
std::string replacement_temp_path(const std::string& folder, const std::string& name) {
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

status temp_folder_failure(const std::string& shown, const std::string& file, int error) {
  std::string folder = folder_of(shown);
  if (file != shown) {
    // Through a link the file may live elsewhere: then that folder is named.
    char given[PATH_MAX], real[PATH_MAX];
    const std::string real_folder = folder_of(file);
    if (realpath(folder.c_str(), given) == nullptr || realpath(real_folder.c_str(), real) == nullptr ||
        std::strcmp(given, real) != 0)
      folder = real_folder;
  }
  return status::failure(error_code::temp_folder, temp_folder_failure_start + quoted_name(folder) + ": " + system_error_text(error), error);
}

replacement_file::~replacement_file() { discard(); }

void replacement_file::temp_created() {
  if (watch_) watch_(temp_, temp_step::creating);
}

void replacement_file::temp_gone() {
  if (watch_) watch_(temp_, temp_step::gone);
  temp_.clear();
}

void replacement_file::discard() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  unnamed_ = false;
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_gone();
  }
}

status replacement_file::begin(const edit_target& target) {
  discard();
  warnings_.clear();
  source_ = &target;
  shown_ = quoted_name(target.path());
  target_ = target.file_path();
  if (!S_ISREG(target.facts().mode)) return not_regular_failure(S_ISDIR(target.facts().mode));
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
  target_ = path;
  shown_ = quoted_name(path);
  if (target_.empty()) return failure(ENOENT);
  new_mode_ = new_file_mode();
  struct stat info {};
  // A `like` that is gone leaves the mode of a file made from nothing.
  if (like != nullptr && stat(like, &info) != 0) {
    if (errno != ENOENT) return failure(errno);
  } else if (like != nullptr) {
    new_mode_ = mode_without_acl_mask(like, info.st_mode & 07777);
    new_owner_ = info.st_uid;
    new_group_ = info.st_gid;
  }
  // Known at commit for certain; told here, before the whole file is written.
  if (lstat(path, &info) == 0) return failure(EEXIST);
  const std::size_t slash = target_.rfind('/');
  if (slash == std::string::npos) return create_temp("", target_);
  return create_temp(target_.substr(0, slash + 1), target_.substr(slash + 1));
}

// Where the file system allows it the temporary file has no name until it
// is complete and flushed: a kill or a power cut before then leaves nothing.
status replacement_file::create_temp(const std::string& folder, const std::string& name) {
  temp_pattern_ = replacement_temp_path(folder, name);
  if (temp_pattern_.size() > PATH_MAX) return failure(ENAMETOOLONG);
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0600);
  if (fd >= 0) {
    handle_ = fd;
    unnamed_ = true;
    return status::ok();
  }
  // EOPNOTSUPP, EISDIR (a kernel without O_TMPFILE), EINVAL and the rest:
  // a named file says best why it cannot be made either.
  return create_named_temp();
}

// Names the temporary file: creates it, or links the unnamed one.
status replacement_file::create_named_temp() {
  std::string temp = temp_pattern_;
  // The name is chosen here rather than by mkostemp, so that the watcher
  // hears of the file before it exists: a signal that arrives in between
  // then still finds it armed.
  static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const std::size_t suffix = temp.size() - 6;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[6];
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return failure(errno);
    for (std::size_t i = 0; i < sizeof random; ++i) temp[suffix + i] = letters[random[i] % (sizeof letters - 1)];
    temp_ = temp;
    temp_created();
    if (unnamed_ && link_unnamed(static_cast<int>(handle_), temp.c_str()) == 0) {
      unnamed_ = false;
      return status::ok();
    }
    const int fd = unnamed_ ? -1 : open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      handle_ = fd;
      return status::ok();
    }
    const int error = errno;
    temp_gone();
    if (error != EEXIST) {
      if (unnamed_) return failure(error);
      return temp_folder_failure(source_ != nullptr ? source_->path() : target_, target_, error);
    }
  }
  return failure(EEXIST);
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
  if (status s = flush(); !s.is_ok()) {
    warnings_.clear();
    discard();
    return s;
  }
  if (status s = place(); !s.is_ok()) return s;
  flush_folder(folder());
  return status::ok();
}

status replacement_file::failure_placing(int error) {
  warnings_.clear();
  discard();
  return failure(error);
}

status replacement_file::give_attributes() {
  if (attributes_given_) return status::ok();
  attributes_given_ = true;
  const int fd = static_cast<int>(handle_);
  if (source_ != nullptr) {
    file_attributes_keep(static_cast<int>(source_->handle()), fd, source_->facts(), shown_, warnings_);
  } else if (fchmod(fd, set_id_bits_kept(fd, new_mode_, new_owner_, new_group_)) != 0) {
    return failure(errno);
  } else if (struct stat now {}; fstat(fd, &now) == 0 && (now.st_mode & 07777) != new_mode_) {
    // The set-group-ID bit of a group the user is not in does not stay.
    warnings_.push_back(format_line("%s has mode %04o, not %04o", shown_.c_str(), static_cast<unsigned>(now.st_mode & 07777),
                             static_cast<unsigned>(new_mode_)));
  }
  return status::ok();
}

status replacement_file::flush() {
  if (status s = give_attributes(); !s.is_ok()) return s;
  // Left to the caller's thread to discard: the watcher is the program's.
  return fsync(static_cast<int>(handle_)) == 0 ? status::ok() : failure(errno);
}

// A new file's unnamed temporary is linked at its name, which never
// replaces; a replacement's gets its temporary name just before the rename,
// so that the two names stand for an instant only.
status replacement_file::place() {
  int error = 0;
  if (unnamed_ && source_ == nullptr) {
    if (link_unnamed(static_cast<int>(handle_), target_.c_str()) != 0) return failure_placing(errno);
    close(static_cast<int>(handle_));
    handle_ = -1;
    unnamed_ = false;
    return status::ok();
  }
  if (unnamed_) {
    if (status s = create_named_temp(); !s.is_ok()) {
      warnings_.clear();
      discard();
      return s;
    }
  }
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (close(fd) != 0) error = errno;
  if (error == 0) {
    if (source_ != nullptr)
      error = rename(temp_.c_str(), target_.c_str()) == 0 ? 0 : errno;
    else
      error = place_new(temp_.c_str(), target_.c_str());
  }
  if (error != 0) return failure_placing(error);
  temp_gone();
  return status::ok();
}

void replacement_file::start_writeback() {
  if (handle_ >= 0) sync_file_range(static_cast<int>(handle_), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void replacement_file::write_out_file_system() const {
  if (handle_ >= 0) syncfs(static_cast<int>(handle_));
}

std::string replacement_file::folder() const {
  const std::size_t slash = target_.rfind('/');
  return slash == std::string::npos ? "." : target_.substr(0, slash + 1);
}

// The rename itself is only durable once the folder is flushed; the file
// is in place either way, so a failure here changes nothing.
void flush_folder(const std::string& folder) {
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
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
