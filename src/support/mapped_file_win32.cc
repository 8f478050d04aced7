#include "support/mapped_file.h"

#include <windows.h>

#include <cstring>

#include "support/input_file.h"
#include "support/memory.h"
#include "support/windows_error.h"
#include "support/windows_path.h"

namespace {

static_assert(GENERIC_READ == 0x80000000 && FILE_SHARE_READ == 1 && OPEN_EXISTING == 3);
static_assert((FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS) == 0x10000080);
static_assert(PAGE_READONLY == 2 && FILE_MAP_READ == 4);

HANDLE handle_of(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t value_of(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

// CreateFileW refuses a folder with "access denied", which would send the
// user looking at permissions.
bool is_folder(const char* path) {
  const DWORD attributes = GetFileAttributesW(windows_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

mapped_file* mapped_file_open(const char* path, status& why) {
  auto* record = static_cast<mapped_file*>(mem_alloc_zeroed(sizeof(mapped_file)));
  const HANDLE file = CreateFileW(windows_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    why = status::failure(is_folder(path) ? not_regular_text : windows_error_text(error), static_cast<int>(error));
    mem_release(record);
    return nullptr;
  }

  HANDLE mapping = nullptr;
  const void* view = nullptr;
  // A device (NUL, CON, a pipe) opens like a file but has no contents to map.
  const DWORD type = GetFileType(file);
  DWORD length = 0, high = 0, size_error = NO_ERROR;
  if (type == FILE_TYPE_DISK) {
    SetLastError(NO_ERROR);
    length = GetFileSize(file, &high);
    size_error = GetLastError();
  }
  if (type != FILE_TYPE_DISK) {
    why = not_regular_failure(false);
  } else if (length == INVALID_FILE_SIZE && size_error != NO_ERROR) {
    why = status::failure(error_code::io, windows_error_text(size_error));
  } else if (high != 0 || length >= 0x80000000u) {
    why = status::failure(error_code::io, too_large_text);
  } else if (length == 0) {
    why = status::failure(error_code::empty_file, empty_file_text);
  } else if ((mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) == nullptr) {
    why = status::failure(error_code::io, windows_error_text(GetLastError()));
  } else if ((view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) == nullptr) {
    why = status::failure(error_code::io, windows_error_text(GetLastError()));
  } else {
    record->view = static_cast<const std::uint8_t*>(view);
    record->length = length;
    record->file = value_of(file);
    record->mapping = value_of(mapping);
    return record;
  }
  if (mapping != nullptr) CloseHandle(mapping);
  CloseHandle(file);
  mem_release(record);
  return nullptr;
}

void mapped_file_close(mapped_file* file) {
  if (file == nullptr) return;
  UnmapViewOfFile(file->view);
  CloseHandle(handle_of(file->mapping));
  CloseHandle(handle_of(file->file));
  mem_release(file);
}

bool mapped_file_open_source(const char* path, file_source& source, status& why) {
  // Shared for deletion: the raw file may be the map itself, which is
  // replaced while the source is still open.
  const HANDLE file = CreateFileW(windows_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    why = status::failure(is_folder(path) ? not_regular_text : windows_error_text(error), static_cast<int>(error));
    return false;
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    why = not_regular_failure(false);
  } else if (!GetFileSizeEx(file, &size)) {
    why = status::failure(error_code::io, windows_error_text(GetLastError()));
  } else if (size.QuadPart >= 0x80000000LL) {
    why = status::failure(error_code::io, too_large_text);
  } else if (size.QuadPart == 0) {
    why = status::failure(error_code::empty_file, empty_file_text);
  } else {
    source = {value_of(file), static_cast<std::uint64_t>(size.QuadPart)};
    return true;
  }
  CloseHandle(file);
  return false;
}

void mapped_file_close_source(file_source& source) {
  if (source.file != -1) CloseHandle(handle_of(source.file));
  source = {};
}
