#include "support/file_attributes.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

#include "support/format_line.h"

namespace {

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

}  // namespace

void file_attributes_keep(int from, int to, const file_facts& was, const std::string& shown_name,
                          std::vector<std::string>& warnings) {
  const int fd = to;
  // Only root may give a file away; the group may be kept by anyone who
  // belongs to it.
  if (fchown(fd, was.owner, was.group) != 0 && fchown(fd, static_cast<uid_t>(-1), was.group) != 0) {
    // What stays is told below.
  }
  // Before fchmod, whose permissions may no longer let the owner set them.
  const std::vector<std::string> lost = copy_attributes(from, fd);
  // As cp -p does: a set-ID bit does not go to an owner or group other than
  // the one it was given for.
  mode_t mode = was.mode & 07777;
  if (struct stat given {}; fstat(fd, &given) == 0) {
    if (given.st_uid != was.owner) mode &= ~S_ISUID;
    if (given.st_gid != was.group) mode &= ~S_ISGID;
  }
  if (fchmod(fd, mode) != 0) {
    // Told below.
  }
  // After fchmod, which would narrow the ACL's mask to the group bits.
  const bool acl_kept = copy_acl(from, fd);

  struct stat now {};
  if (fstat(fd, &now) != 0) now.st_mode = 0;
  const char* shown = shown_name.c_str();
  if (now.st_uid != was.owner) warnings.push_back(format_line("%s now belongs to you, not to uid %u", shown, was.owner));
  if (now.st_gid != was.group)
    warnings.push_back(format_line("%s now belongs to gid %u, not to gid %u", shown, static_cast<unsigned>(now.st_gid), was.group));
  if ((now.st_mode & 07777) != (was.mode & 07777))
    warnings.push_back(format_line("%s now has mode %04o, not %04o", shown, static_cast<unsigned>(now.st_mode & 07777), was.mode & 07777));
  if (!acl_kept) warnings.push_back(format_line("%s lost its access control list", shown));
  if (!lost.empty()) {
    std::string names;
    for (const std::string& name : lost) names += (names.empty() ? "" : ", ") + name;
    warnings.push_back(format_line("%s lost its extended attribute%s %s", shown, lost.size() == 1 ? "" : "s", names.c_str()));
  }
  if (was.links > 1) {
    const unsigned long long others = was.links - 1;
    warnings.push_back(format_line("%s is now a file of its own: its %llu other hard link%s the old map", shown, others,
                             others == 1 ? " keeps" : "s keep"));
  }
}
