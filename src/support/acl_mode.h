#pragma once

#include <sys/types.h>

// The permission bits of the file at `path`, whose stat gave `mode`, with
// the group bits of its access control list's group entry: stat shows a
// file with an ACL its mask there, which may grant the owning group more
// than the ACL does. A file without an ACL keeps `mode`.
mode_t mode_without_acl_mask(const char* path, mode_t mode);
