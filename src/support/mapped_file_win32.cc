#include "support/mapped_file.h"

#include <windows.h>

#include "support/memory.h"
#include "support/windows_error.h"

namespace {

static_assert(PAGE_READONLY == 2 && FILE_MAP_READ == 4);

HANDLE handle_of(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t value_of(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

}  // namespace

mapped_file* mapped_file_open(const char* path, status& why) {
  input_rules rules;
  // What is mapped must stay as it is while it is looked at.
  rules.others_may_delete = false;
  input_file file;
  const input_closer closer{file};
  why = input_open(path, rules, file);
  if (!why.is_ok()) return nullptr;
  auto* record = static_cast<mapped_file*>(mem_alloc_zeroed(sizeof(mapped_file)));
  HANDLE mapping = nullptr;
  const void* view = nullptr;
  if ((mapping = CreateFileMappingW(handle_of(file.handle), nullptr, PAGE_READONLY, 0, 0, nullptr)) == nullptr) {
    why = status::failure(error_code::io, windows_error_text(GetLastError()));
  } else if ((view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) == nullptr) {
    why = status::failure(error_code::io, windows_error_text(GetLastError()));
  } else {
    record->view = static_cast<const std::uint8_t*>(view);
    record->length = static_cast<std::uint32_t>(file.length);
    record->file = file.handle;
    record->mapping = value_of(mapping);
    file.handle = -1;
    return record;
  }
  if (mapping != nullptr) CloseHandle(mapping);
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
