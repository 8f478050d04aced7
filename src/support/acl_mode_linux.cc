#include "support/acl_mode.h"

#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/xattr.h>

#include <cstdint>
#include <vector>

#include "support/byte_order.h"

mode_t mode_without_acl_mask(const char* path, mode_t mode) {
  constexpr const char* name = "system.posix_acl_access";
  constexpr std::size_t header = sizeof(posix_acl_xattr_header), entry = sizeof(posix_acl_xattr_entry);
  const ssize_t room = getxattr(path, name, nullptr, 0);
  if (room < static_cast<ssize_t>(header)) return mode;
  std::vector<std::uint8_t> acl(static_cast<std::size_t>(room));
  const ssize_t size = getxattr(path, name, acl.data(), acl.size());
  if (size < static_cast<ssize_t>(header) || read_u32le(acl.data()) != POSIX_ACL_XATTR_VERSION) return mode;
  // Without a mask (a minimal ACL) the group bits are the group entry's.
  bool masked = false;
  mode_t group = 07;
  for (std::size_t at = header; at + entry <= static_cast<std::size_t>(size); at += entry) {
    const std::uint16_t tag = read_u16le(&acl[at]);
    if (tag == ACL_MASK) masked = true;
    if (tag == ACL_GROUP_OBJ) group = read_u16le(&acl[at + 2]) & 07;
  }
  // With one, what the group may do is its entry within the mask.
  return masked ? mode & ~static_cast<mode_t>((~group & 07) << 3) : mode;
}
