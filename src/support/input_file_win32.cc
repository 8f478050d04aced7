#include "support/input_file.h"

#include <windows.h>

#include "support/file_io.h"
#include "support/windows_error.h"
#include "support/windows_path.h"

namespace {

static_assert(GENERIC_READ == 0x80000000 && FILE_SHARE_READ == 1 && OPEN_EXISTING == 3);
static_assert((FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN) == 0x08000080);

status last_failure() {
  const DWORD error = GetLastError();
  return status::failure(windows_error_text(error), static_cast<int>(error));
}

// CreateFileW refuses a folder with "access denied", which would send the
// user looking at permissions.
bool is_folder(const char* path) {
  const DWORD attributes = GetFileAttributesW(windows_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

status check(HANDLE file, const input_rules& rules, std::uint64_t& length) {
  // A device (NUL, CON, a pipe) opens like a file, but has no size to go by
  // and a read from it could wait for ever.
  if (GetFileType(file) != FILE_TYPE_DISK) return not_regular_failure(false);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return last_failure();
  length = static_cast<std::uint64_t>(size.QuadPart);
  if (length >= input_limit) return status::failure(rules.too_large, too_large_text);
  if (length == 0 && !rules.empty_allowed) return status::failure(error_code::empty_file, empty_file_text);
  return status::ok();
}

}  // namespace

status input_open(const char* path, const input_rules& rules, input_file& file) {
  input_close(file);
  const DWORD share = FILE_SHARE_READ | (rules.others_may_write ? FILE_SHARE_WRITE : 0) |
                      (rules.others_may_delete ? FILE_SHARE_DELETE : 0);
  const HANDLE opened = CreateFileW(windows_path(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return status::failure(is_folder(path) ? not_regular_text : windows_error_text(error), static_cast<int>(error));
  }
  file.handle = reinterpret_cast<std::intptr_t>(opened);
  const status s = check(opened, rules, file.length);
  if (!s.is_ok()) input_close(file);
  return s;
}

void input_close(input_file& file) {
  if (file.handle != -1) CloseHandle(reinterpret_cast<HANDLE>(file.handle));
  file = {};
}

status input_read(std::intptr_t file, std::uint8_t* out, std::uint32_t length) {
  if (status s = file_read_at(file, 0, {out, length}); !s.is_ok()) return s;
  OVERLAPPED past{};
  past.Offset = length;
  std::uint8_t beyond = 0;
  DWORD got = 0;
  if (ReadFile(reinterpret_cast<HANDLE>(file), &beyond, 1, &got, &past))
    return got == 0 ? status::ok() : status::failure(error_code::io, grew_text);
  if (GetLastError() == ERROR_HANDLE_EOF) return status::ok();
  return last_failure();
}
