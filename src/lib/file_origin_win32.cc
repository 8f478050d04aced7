#include "lib/file_origin.h"

#include <windows.h>

#include "support/windows_error.h"
#include "support/windows_path.h"

namespace {

HANDLE open_shared(const char* path, DWORD access) {
  return CreateFileW(windows_path(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool origin_of(HANDLE file, const char* path, file_origin& origin) {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandle(file, &info) ||
      !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
    return false;
  origin.known = true;
  origin.path = path;
  if (!final_path_of(reinterpret_cast<std::intptr_t>(file), origin.location)) origin.location = file_location(path);
  origin.identity = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  origin.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  origin.modified = basic.LastWriteTime.QuadPart;
  origin.changed = basic.ChangeTime.QuadPart;
  return true;
}

}  // namespace

status file_origin_read(const char* path, std::uint8_t*& bytes, std::size_t& length, file_origin& origin) {
  input_file file;
  const input_closer closer{file};
  if (status s = input_open(path, file_origin_rules(), file); !s.is_ok()) return s;
  file_origin found;
  if (!origin_of(reinterpret_cast<HANDLE>(file.handle), path, found)) {
    const DWORD error = GetLastError();
    return status::failure(windows_error_text(error), static_cast<int>(error));
  }
  if (status s = input_read_all(file, bytes, length); !s.is_ok()) return s;
  origin = found;
  return status::ok();
}

bool file_origin_now(const char* path, file_origin& origin) {
  const HANDLE file = open_shared(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = origin_of(file, path, origin);
  CloseHandle(file);
  return known;
}

std::string file_location(const char* path) {
  const std::string given = path;
  const auto resolved = [](const std::string& name, std::string& location) {
    const HANDLE file = CreateFileW(windows_path(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = final_path_of(reinterpret_cast<std::intptr_t>(file), location);
    CloseHandle(file);
    return known;
  };
  std::string location;
  if (resolved(given, location)) return location;
  // No file there (yet): its folder, resolved, and its name.
  const std::size_t cut = given.find_last_of("\\/:");
  const std::string folder = cut == std::string::npos ? "." : given.substr(0, cut + 1);
  if (!resolved(folder, location)) return {};
  if (!location.empty() && location.back() != '\\') location += '\\';
  return location + given.substr(cut == std::string::npos ? 0 : cut + 1);
}

bool same_location(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const std::wstring wide_a = windows_path(a), wide_b = windows_path(b);
  return CompareStringOrdinal(wide_a.c_str(), static_cast<int>(wide_a.size()), wide_b.c_str(), static_cast<int>(wide_b.size()),
                              TRUE) == CSTR_EQUAL;
}
