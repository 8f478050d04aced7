#include "support/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

bool file_identity_of(const char* path, file_identity& identity) {
  struct stat info {};
  if (stat(path, &info) != 0) return false;
  identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

bool file_identity_of_standard_output(file_identity& identity) {
  struct stat info {};
  if (fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}
