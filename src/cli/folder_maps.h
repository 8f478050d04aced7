#pragma once

#include <string>
#include <vector>

// -r: a folder named as a MAP stands for every regular file whose name ends
// in ".lvl" (on Windows in any letter case) in it and below it, hidden ones
// included, in byte order of their paths. Links to folders are not followed;
// a link to a file counts as the file. A folder that cannot be read is an
// item of its own, with its reason, where it sorts.
struct folder_item {
  std::string path;
  std::string failure;  // empty for a map
};

bool is_folder(const std::string& path);
std::vector<folder_item> folder_maps(const std::string& folder);
