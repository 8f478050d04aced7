#include "support/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "support/utf8.h"

namespace {

// Enough to keep the calls few, little enough for the older consoles, which
// refuse writes larger than their 64 KiB buffer.
constexpr std::size_t slice = 16384;

// The start of a sequence that a console write cut short, for the next write
// on the same stream.
struct pending_bytes {
  char bytes[4];
  std::size_t length;
};
pending_bytes pending[3];

int failure(DWORD error) {
  if (error == NO_ERROR) error = ERROR_WRITE_FAULT;
  return error > INT_MAX ? INT_MIN : -static_cast<int>(error);
}

// The C library tells a descriptor's mode only by setting it.
bool in_text_mode(int fd) {
  const int mode = _setmode(fd, _O_TEXT);
  if (mode != -1 && mode != _O_TEXT) _setmode(fd, mode);
  return mode == _O_TEXT;
}

int write_file(HANDLE handle, const char* bytes, std::size_t length) {
  while (length > 0) {
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(length, std::size_t{1} << 30));
    DWORD written = 0;
    if (!WriteFile(handle, bytes, part, &written, nullptr)) return failure(GetLastError());
    if (written == 0) return failure(ERROR_WRITE_FAULT);
    bytes += written;
    length -= written;
  }
  return 0;
}

int write_text_file(HANDLE handle, const char* bytes, std::size_t length) {
  std::string lines;
  lines.reserve(2 * slice);
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] == '\n') lines.push_back('\r');
    lines.push_back(bytes[i]);
    if (lines.size() >= slice || i + 1 == length) {
      if (const int error = write_file(handle, lines.data(), lines.size()); error != 0) return error;
      lines.clear();
    }
  }
  return 0;
}

bool is_high_surrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

int write_units(HANDLE handle, const std::wstring& units) {
  std::size_t done = 0;
  while (done < units.size()) {
    DWORD count = static_cast<DWORD>(std::min(units.size() - done, slice));
    // A pair split over two writes would show as two unknown characters.
    if (done + count < units.size() && count > 1 && is_high_surrogate(units[done + count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(handle, units.data() + done, count, &written, nullptr)) return failure(GetLastError());
    if (written == 0) return failure(ERROR_WRITE_FAULT);
    done += written;
  }
  return 0;
}

int write_console(HANDLE handle, pending_bytes& carry, const char* bytes, std::size_t length, bool text) {
  std::string part(carry.bytes, carry.length);
  carry.length = 0;
  std::size_t offset = 0;
  do {
    const std::size_t take = std::min(length - offset, slice);
    part.append(bytes + offset, take);
    offset += take;
    const std::size_t complete = utf8_complete_length(part);
    std::wstring units;
    for (const char16_t unit : utf16_from_utf8(std::string_view(part).substr(0, complete))) {
      if (text && unit == u'\n') units.push_back(L'\r');
      units.push_back(static_cast<wchar_t>(unit));
    }
    if (const int error = write_units(handle, units); error != 0) return error;
    part.erase(0, complete);
  } while (offset < length);
  part.copy(carry.bytes, part.size());
  carry.length = part.size();
  return 0;
}

}  // namespace

int console_write(int stream, const char* bytes, std::size_t length) {
  if (stream != 1 && stream != 2) return failure(ERROR_INVALID_PARAMETER);
  const HANDLE handle = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return failure(ERROR_INVALID_HANDLE);
  const bool text = in_text_mode(stream);
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) return write_console(handle, pending[stream], bytes, length, text);
  return text ? write_text_file(handle, bytes, length) : write_file(handle, bytes, length);
}
