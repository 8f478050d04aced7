#include "support/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

bool file_identity_of(const char* path, file_identity& identity) {
  struct stat info {};
  if (stat(path, &info) != 0) return false;
  identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

bool standard_output_is_file(const char* path) {
  struct stat info {};
  file_identity file;
  if (fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode) || !file_identity_of(path, file)) return false;
  return file == file_identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}
