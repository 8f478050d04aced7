#include "support/file_identity.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "support/windows_path.h"

bool file_identity_of(const char* path, file_identity& identity) {
  const HANDLE file = CreateFileW(windows_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != FALSE;
  CloseHandle(file);
  if (!known) return false;
  identity = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

namespace {

bool file_id_of(HANDLE file, FILE_ID_INFO& id) {
  return GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id) != FALSE;
}

}  // namespace

// FileIdInfo, since Wine answers GetFileInformationByHandle on an inherited
// standard handle with ERROR_INVALID_HANDLE, and gives it volume 0.
bool standard_output_is_file(const char* path) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  FILE_ID_INFO written{}, named{};
  if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) != FILE_TYPE_DISK || !file_id_of(out, written))
    return false;
  const HANDLE file = CreateFileW(windows_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = file_id_of(file, named);
  CloseHandle(file);
  return known && std::memcmp(&written.FileId, &named.FileId, sizeof named.FileId) == 0 &&
         (written.VolumeSerialNumber == named.VolumeSerialNumber || written.VolumeSerialNumber == 0);
}
