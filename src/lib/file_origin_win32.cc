#include "lib/file_origin.h"

#include <windows.h>

#include <limits>

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
  origin.device = info.dwVolumeSerialNumber;
  origin.file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  origin.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  origin.modified = basic.LastWriteTime.QuadPart;
  origin.changed = basic.ChangeTime.QuadPart;
  return true;
}

status last_failure() {
  const DWORD error = GetLastError();
  return status::failure(windows_error_text(error), static_cast<int>(error));
}

// Closes the handle, keeping the reason a call before failed.
status close_failing(HANDLE file) {
  const status failed = last_failure();
  CloseHandle(file);
  return failed;
}

}  // namespace

status file_origin_read(const char* path, std::vector<std::uint8_t>& bytes, file_origin& origin) {
  const HANDLE file = open_shared(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return last_failure();
  // A pipe or a device is refused before a read that could wait for ever.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return status::failure(windows_error_text(ERROR_INVALID_PARAMETER), ERROR_INVALID_PARAMETER);
  }
  file_origin found;
  if (!origin_of(file, path, found)) return close_failing(file);
  if (found.size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    CloseHandle(file);
    return status::failure(error_code::too_large, "the file takes 2 GiB or more");
  }
  bytes.resize(static_cast<std::size_t>(found.size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
      return close_failing(file);
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  CloseHandle(file);
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
