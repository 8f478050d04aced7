#include "support/windows_path.h"

#include <windows.h>

#include "support/utf8.h"

namespace {

bool starts_with(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::wstring windows_path(const std::string& path) {
  const std::u16string units = utf16_from_utf8(path);
  std::wstring wide(units.begin(), units.end());
  if (starts_with(wide, L"\\\\?\\") || starts_with(wide, L"\\\\.\\")) return wide;
  // Folders have the lower limit: room for an 8.3 name after them.
  constexpr DWORD classic_limit = MAX_PATH - 12;
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size() || length < classic_limit) return wide;
  full.resize(length);
  if (starts_with(full, L"\\\\?\\") || starts_with(full, L"\\\\.\\")) return full;
  if (starts_with(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string utf8_path(const std::wstring& path) { return utf8_from_utf16(std::u16string(path.begin(), path.end())); }

bool final_path_of(std::intptr_t handle, std::string& path) {
  const HANDLE file = reinterpret_cast<HANDLE>(handle);
  std::wstring wide(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(file, wide.data(), static_cast<DWORD>(wide.size()), FILE_NAME_NORMALIZED);
  if (length >= wide.size()) {
    wide.resize(length);
    length = GetFinalPathNameByHandleW(file, wide.data(), static_cast<DWORD>(wide.size()), FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= wide.size()) return false;
  wide.resize(length);
  path = utf8_path(wide);
  return true;
}
