#pragma once

#include <string>

#include "support/shell_quote.h"
#include "support/status.h"

class edit_target;

// The old file of a replacement, kept under its name with a suffix (a.lvl~)
// before the new one is renamed over it: by a hard link, which keeps every
// byte, the owner, mode, times and ACL at no cost, or where the file system
// has none by a copy flushed to disk. An existing backup is replaced at
// once: the link or copy is made under a temporary name beside it and
// renamed over it.
//
// A failure is backup, its reason the whole of "cannot make the backup
// 'a.lvl~': Permission denied", with the system's error where there is one.

// The backup's name for the map `target` opened: the name given with the
// suffix, or beside the file itself when the name given is a symbolic link.
std::string backup_name(const edit_target& target, const char* suffix);
// The same before anything is opened, for `path`.
inline std::string backup_name(const char* path, const char* suffix) { return std::string(path) + suffix; }

// Whether the backup `backup` of the file `file` (links resolved) could be
// made: not a folder, not a symbolic link, in a folder that takes it.
status backup_probe(const std::string& backup);
status backup_make(const std::string& file, const std::string& backup);

// A backup refused for a reason of the caller's, in the same words.
inline status backup_failure(const std::string& backup, const std::string& why, int error = 0) {
  return status::failure(error_code::backup, "cannot make the backup " + quoted_name(backup) + ": " + why, error);
}

inline constexpr const char* backup_is_folder_text = "it is a folder";
inline constexpr const char* backup_is_link_text = "it is a symbolic link";
