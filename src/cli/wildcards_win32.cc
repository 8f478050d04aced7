#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>

#include "cli/command_line.h"

namespace {

std::string utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminator
  return out;
}

std::wstring wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return std::wstring();
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  out.pop_back();
  return out;
}

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

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide_arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide_arguments == nullptr) {
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
  }
  for (int i = 1; i < count; ++i) arguments.push_back(utf8(wide_arguments[i]));
  LocalFree(wide_arguments);
  return arguments;
}

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
    const std::wstring pattern = wide(argument.substr(folder.size()));
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide(argument).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && matches(pattern.c_str(), found.cFileName))
          names.push_back(folder + utf8(found.cFileName));
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
