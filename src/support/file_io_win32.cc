#include "support/file_io.h"

#include <windows.h>

#include "support/windows_error.h"

status file_read_at(std::intptr_t file, std::uint64_t offset, std::span<std::uint8_t> out) {
  const HANDLE handle = reinterpret_cast<HANDLE>(file);
  std::size_t done = 0;
  while (done < out.size()) {
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const std::size_t left = out.size() - done;
    const DWORD part = left > (DWORD{1} << 30) ? DWORD{1} << 30 : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(handle, out.data() + done, part, &got, &where)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) return status::failure(error_code::io, shrank_text);
      return status::failure(error_code::io, windows_error_text(error), static_cast<int>(error));
    }
    if (got == 0) return status::failure(error_code::io, shrank_text);
    done += got;
  }
  return status::ok();
}

status file_source_check_length(const file_source& source) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(source.file), &size)) return status::failure(error_code::io, windows_error_text(GetLastError()));
  const auto length = static_cast<std::uint64_t>(size.QuadPart);
  if (length != source.length) return status::failure(error_code::io, length < source.length ? shrank_text : grew_text);
  return status::ok();
}
