#include "support/replacement_file.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/edit_target.h"
#include "support/file_io.h"
#include "support/input_file.h"
#include "support/windows_error.h"
#include "support/windows_path.h"

namespace {

// The most UTF-16 units a path may have.
constexpr std::size_t longest_path = 32768;

HANDLE handle_of(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// A name that is taken is told apart: a new file never replaces one.
status failure(DWORD error) {
  const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  return status::failure(taken ? error_code::exists : error_code::io, windows_error_text(error), static_cast<int>(error));
}
status last_failure() { return failure(GetLastError()); }

std::string folder_of(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The target's own name may take all 255 UTF-16 units a name has, so the
// temporary name ("." + name + ".mapgraft-" + 8 digits) is cut short where
// needed, at a whole character.
std::string temp_name_part(const std::string& name) {
  constexpr std::size_t room = 255 - 19;
  std::size_t units = 0, kept = 0;
  while (kept < name.size()) {
    const auto lead = static_cast<unsigned char>(name[kept]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    const std::size_t needs = length == 4 ? 2 : 1;
    if (units + needs > room) break;
    units += needs;
    kept += length;
  }
  return name.substr(0, std::min(kept, name.size()));
}

}  // namespace

// console_write tells Windows errors from the C library's by their sign.
std::string system_error_text(int error) {
  return error < 0 ? windows_error_text(static_cast<unsigned long>(-static_cast<long long>(error))) : std::strerror(error);
}

replacement_file::~replacement_file() { discard(); }

void replacement_file::temp_created() {
  if (watch_) watch_(temp_, temp_step::created);
}

void replacement_file::temp_gone() {
  if (watch_) watch_(temp_, temp_step::gone);
  temp_.clear();
}

void replacement_file::discard() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
  handle_ = -1;
  if (!temp_.empty()) {
    DeleteFileW(windows_path(temp_).c_str());
    temp_gone();
  }
}

status replacement_file::begin(const edit_target& target) {
  discard();
  target_ = target.file_path();
  const DWORD attributes = GetFileAttributesW(windows_path(target_).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_failure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return not_regular_failure(true);
  // Windows would rename over a read-only file only after the attribute is
  // cleared; the attribute is the user's way of saying no.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return status::failure(error_code::io, "the file is read-only", ERROR_ACCESS_DENIED);

  // Opening without truncating proves the target may be written (no other
  // program holds it, the permissions allow it), which creating a file beside
  // it would not.
  const HANDLE probe = CreateFileW(windows_path(target_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return last_failure();
  const DWORD type = GetFileType(probe);
  CloseHandle(probe);
  if (type != FILE_TYPE_DISK) return not_regular_failure(false);

  // Hidden, system and archive go to the new file from the start.
  new_mode_ = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  source_ = &target;
  const std::string folder = folder_of(target_);
  return create_temp(folder, target_.substr(folder.size()));
}

status replacement_file::create_temp(const std::string& folder, const std::string& name) {
  const DWORD attributes = source_ != nullptr && new_mode_ != 0 ? new_mode_ : FILE_ATTRIBUTE_NORMAL;
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 100; ++attempt, seed = seed * 1664525u + 1013904223u) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08lx", static_cast<unsigned long>(seed));
    const std::string temp = folder + "." + temp_name_part(name) + ".mapgraft-" + suffix;
    const std::wstring wide_temp = windows_path(temp);
    if (wide_temp.size() >= longest_path) return failure(ERROR_FILENAME_EXCED_RANGE);
    temp_ = temp;
    if (watch_) watch_(temp_, temp_step::creating);
    // Shared for deletion only, so that the control handler can remove it
    // while it is still open; readable, so that what was written can be read
    // back through it.
    const HANDLE file = CreateFileW(wide_temp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      temp_gone();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return failure(error);
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    temp_created();
    return status::ok();
  }
  return failure(ERROR_FILE_EXISTS);
}

status replacement_file::write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD part = bytes.size() > (DWORD{1} << 30) ? DWORD{1} << 30 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    const BOOL done = WriteFile(handle_of(handle_), bytes.data(), part, &written, nullptr);
    if (!done || written == 0) {
      const DWORD error = done ? ERROR_HANDLE_DISK_FULL : GetLastError();
      discard();
      return failure(error);
    }
    bytes = bytes.subspan(written);
  }
  return status::ok();
}

namespace {

// A new file never replaces anything that appeared meanwhile, a link
// included. MoveFileEx without MOVEFILE_REPLACE_EXISTING replaces a symbolic
// link that names nothing under Wine, which cannot see such a link; a hard
// link is refused by every name that exists, so the new name is made one,
// where the file system has them, and the temporary name removed.
DWORD place_new(const std::wstring& temp, const std::wstring& target) {
  if (CreateHardLinkW(target.c_str(), temp.c_str(), nullptr)) {
    if (DeleteFileW(temp.c_str())) return NO_ERROR;
    // Both names or neither: the run fails, and the caller removes the temporary file.
    const DWORD error = GetLastError();
    DeleteFileW(target.c_str());
    return error;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return ERROR_FILE_EXISTS;
  if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED) return error;
  return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? NO_ERROR : GetLastError();
}

}  // namespace

status replacement_file::commit() {
  const HANDLE file = handle_of(handle_);
  handle_ = -1;
  DWORD error = NO_ERROR;
  if (!FlushFileBuffers(file)) error = GetLastError();
  if (!CloseHandle(file) && error == NO_ERROR) error = GetLastError();
  if (error == NO_ERROR) {
    const std::wstring temp = windows_path(temp_), target = windows_path(target_);
    if (watch_) watch_(temp_, temp_step::renaming);
    if (source_ != nullptr) {
      if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        temp_gone();
      else
        error = GetLastError();
    } else {
      error = place_new(temp, target);
      if (error == NO_ERROR) temp_gone();
    }
  }
  if (error != NO_ERROR) {
    discard();
    return failure(error);
  }
  // Read-only is what Windows has of permission bits; a new file takes it
  // once in place, since until then it must stay removable.
  if (source_ == nullptr && new_mode_ != 0) SetFileAttributesW(windows_path(target_).c_str(), new_mode_);
  return status::ok();
}

namespace {

// The attributes and type of the file a path names, links followed.
bool facts_of(const std::wstring& path, DWORD& attributes, DWORD* type = nullptr) {
  const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL known = GetFileInformationByHandle(file, &info);
  const DWORD error = GetLastError();
  if (type != nullptr) *type = GetFileType(file);
  CloseHandle(file);
  SetLastError(error);
  attributes = info.dwFileAttributes;
  return known != FALSE;
}

class handle_closer {
 public:
  explicit handle_closer(HANDLE handle) : handle_(handle) {}
  ~handle_closer() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  handle_closer(const handle_closer&) = delete;
  handle_closer& operator=(const handle_closer&) = delete;

 private:
  HANDLE handle_;
};

// Whether this user may write the file, asked of its security descriptor
// rather than by opening it for writing, which a dry run never does.
// NO_ERROR also where Windows cannot tell; the real run then finds out.
DWORD write_access_error(const std::wstring& path) {
  const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  GetFileSecurityW(path.c_str(), wanted, nullptr, 0, &needed);
  if (needed == 0) return NO_ERROR;
  std::vector<std::uint8_t> descriptor(needed);
  if (!GetFileSecurityW(path.c_str(), wanted, descriptor.data(), needed, &needed)) return NO_ERROR;
  HANDLE process_token = nullptr, token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process_token)) return NO_ERROR;
  const handle_closer process_closer(process_token);
  if (!DuplicateToken(process_token, SecurityImpersonation, &token)) return NO_ERROR;
  const handle_closer token_closer(token);
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  DWORD access = GENERIC_WRITE;
  MapGenericMask(&access, &mapping);
  PRIVILEGE_SET privileges{};
  DWORD privileges_size = sizeof privileges, granted = 0;
  BOOL allowed = FALSE;
  if (!AccessCheck(descriptor.data(), token, access, &mapping, &privileges, &privileges_size, &granted, &allowed))
    return NO_ERROR;
  return allowed ? NO_ERROR : ERROR_ACCESS_DENIED;
}

}  // namespace

status replacement_file::probe(const char* target) {
  const std::wstring path = windows_path(target);
  DWORD attributes = 0, type = FILE_TYPE_UNKNOWN;
  if (!facts_of(path, attributes, &type)) return last_failure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return not_regular_failure(true);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return status::failure(error_code::io, "the file is read-only", ERROR_ACCESS_DENIED);
  if (type != FILE_TYPE_DISK) return not_regular_failure(false);
  if (const DWORD error = write_access_error(path); error != NO_ERROR) return failure(error);
  return status::ok();
}

status replacement_file::probe_new(const char* output) {
  // Attributes of the name itself: a link that names nothing is still there.
  if (GetFileAttributesW(windows_path(output).c_str()) != INVALID_FILE_ATTRIBUTES) return failure(ERROR_FILE_EXISTS);
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND) return failure(error);
  return status::ok();
}

status replacement_file::probe_room(const char* path, std::uint64_t size, bool) {
  // The old file stays until the new one is in place: the room must hold it whole.
  const std::string folder = folder_of(path);
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExW(windows_path(folder.empty() ? "." : folder).c_str(), &available, nullptr, nullptr) != FALSE &&
      available.QuadPart < size)
    return failure(ERROR_DISK_FULL);
  return status::ok();
}

status replacement_file::begin_new(const char* output, const char* like) {
  discard();
  source_ = nullptr;
  if (status s = probe_new(output); !s.is_ok()) return s;
  DWORD attributes = 0;
  // A `like` that is gone leaves the attributes of a file made from nothing.
  if (like != nullptr && !facts_of(windows_path(like), attributes)) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return failure(error);
    attributes = 0;
  }
  new_mode_ = attributes & FILE_ATTRIBUTE_READONLY;
  target_ = output;
  const std::string folder = folder_of(target_);
  return create_temp(folder, target_.substr(folder.size()));
}

status replacement_file::read_back(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (handle_ == -1) return failure(ERROR_INVALID_HANDLE);
  return file_read_at(handle_, offset, out);
}

status replacement_file::written_length(std::uint64_t& length) {
  LARGE_INTEGER size{};
  if (handle_ == -1) return failure(ERROR_INVALID_HANDLE);
  if (!GetFileSizeEx(handle_of(handle_), &size)) return last_failure();
  length = static_cast<std::uint64_t>(size.QuadPart);
  return status::ok();
}

// The bounded read and write loop is enough here.
status replacement_file::copy(const file_source& source) { return byte_sink::copy(source); }
