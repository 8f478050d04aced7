#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "cli/command_line.h"
#include "support/windows_path.h"

namespace {

// FindFirstFileW also matches the short 8.3 names, so that "*.lvl" would take
// "map.lvlx" (short name MAP~1.LVL): each long name is matched again, without
// regard to case as Windows does.
bool matches(const wchar_t* pattern, const wchar_t* name) {
  const wchar_t* star = nullptr;
  const wchar_t* retry = nullptr;
  while (*name != L'\0') {
    if (*pattern == L'*') {
      star = pattern++;
      retry = name;
    } else if (*pattern == L'?' || (*pattern != L'\0' && std::towlower(*pattern) == std::towlower(*name))) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++retry;
    } else {
      return false;
    }
  }
  while (*pattern == L'*') ++pattern;
  return *pattern == L'\0';
}

bool before(const std::string& a, const std::string& b) {
  const auto folded = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                 [&](char x, char y) { return folded(x) < folded(y); });
  const bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                    [&](char x, char y) { return folded(x) < folded(y); });
  return less || (!greater && a < b);
}

}  // namespace

std::vector<std::string> expand_wildcards(const std::vector<std::string>& arguments) {
  std::vector<std::string> expanded;
  for (const std::string& argument : arguments) {
    const std::size_t cut = argument.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string() : argument.substr(0, cut + 1);
    // Only the last part of a path is matched; a wildcard in a folder's name
    // is left to fail as a missing file.
    if (argument.find_first_of("*?", folder.size()) == std::string::npos || folder.find_first_of("*?") != std::string::npos) {
      expanded.push_back(argument);
      continue;
    }
    const std::wstring pattern = windows_path(argument.substr(folder.size()));
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(windows_path(argument).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && matches(pattern.c_str(), found.cFileName))
          names.push_back(folder + utf8_path(found.cFileName));
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    if (names.empty()) {
      expanded.push_back(argument);
      continue;
    }
    std::sort(names.begin(), names.end(), before);
    expanded.insert(expanded.end(), names.begin(), names.end());
  }
  return expanded;
}
