#include "cli/folder_maps.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include "support/utf8.h"
#include "support/windows_error.h"
#else
#include "support/replacement_file.h"
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
bool is_separator(char c) { return c == '/' || c == '\\'; }
std::string text_of(const fs::path& path) {
  const std::wstring& wide = path.native();
  return utf8_from_utf16({reinterpret_cast<const char16_t*>(wide.data()), wide.size()});
}
fs::path path_of(const std::string& text) {
  const std::u16string wide = utf16_from_utf8(text);
  return fs::path(std::wstring(wide.begin(), wide.end()));
}
std::string error_text(const std::error_code& error) { return windows_error_text(static_cast<unsigned long>(error.value())); }
bool is_map_name(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return end == ".lvl";
}
#else
bool is_separator(char c) { return c == '/'; }
std::string text_of(const fs::path& path) { return path.native(); }
fs::path path_of(const std::string& text) { return fs::path(text); }
std::string error_text(const std::error_code& error) { return system_error_text(error.value()); }
bool is_map_name(const std::string& name) { return name.size() >= 4 && name.compare(name.size() - 4, 4, ".lvl") == 0; }
#endif

void walk(const std::string& folder, std::vector<folder_item>& items) {
  std::error_code error;
  fs::directory_iterator entries(path_of(folder), error);
  const std::string prefix = folder.empty() || is_separator(folder.back()) ? folder : folder + "/";
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    const std::string name = text_of(entries->path().filename());
    const std::string path = prefix + name;
    std::error_code kind_error;
    const fs::file_status own = entries->symlink_status(kind_error);
    if (kind_error) {
      items.push_back({path, error_text(kind_error)});
      continue;
    }
    if (fs::is_directory(own)) {
      walk(path, items);
      continue;
    }
    if (!is_map_name(name)) continue;
    // A link that names nothing is kept: editing it says why it fails.
    const fs::file_status target = fs::is_symlink(own) ? entries->status(kind_error) : own;
    if (fs::is_regular_file(target) || (fs::is_symlink(own) && !fs::exists(target))) items.push_back({path, {}});
  }
  if (error) items.push_back({folder, error_text(error)});
}

}  // namespace

bool is_folder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path_of(path), error);
}

std::vector<folder_item> folder_maps(const std::string& folder) {
  std::vector<folder_item> items;
  walk(folder, items);
  std::stable_sort(items.begin(), items.end(), [](const folder_item& a, const folder_item& b) { return a.path < b.path; });
  return items;
}
