#include "lib/file_origin.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

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

status file_origin_read(const char* path, std::uint8_t*& bytes, std::size_t& length, file_origin& origin) {
  input_file file;
  const input_closer closer{file};
  if (status s = input_open(path, file_origin_rules(), file); !s.is_ok()) return s;
  struct stat info {};
  if (fstat(static_cast<int>(file.handle), &info) != 0) return status::failure(system_error_text(errno), errno);
  if (status s = input_read_all(file, bytes, length); !s.is_ok()) return s;
  origin = origin_of(path, info);
  return status::ok();
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
