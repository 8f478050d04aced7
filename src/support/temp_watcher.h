#pragma once

#include <functional>
#include <string>

// What a temporary file's watcher is told: `creating` just before the file
// is made, and `gone` once it is removed, renamed into place or could not be
// made. On Windows, where the console control handler that removes it runs
// on a thread of its own, also `created` once it exists and `renaming` just
// before the rename: the handler waits from `creating` to `created` and from
// `renaming` to `gone`, so that it neither misses a file being made nor
// removes one being renamed.
enum class temp_step { creating, created, renaming, gone };
using temp_watcher = std::function<void(const std::string& path, temp_step step)>;
