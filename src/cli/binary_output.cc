#include "cli/binary_output.h"

#include <cerrno>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "support/utf8.h"

bool standard_output_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(1) != 0;
#endif
}

bool is_printable_text(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8_sequence_length(text, i);
    const std::uint8_t c = bytes[i];
    if (length == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return false;
    if (c == 0xC2 && bytes[i + 1] <= 0x9F) return false;
    i += length;
  }
  return true;
}

void standard_output_untranslated() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// Through the C library, so that Windows writes them untranslated.
status write_binary_output(std::span<const std::uint8_t> bytes) {
  standard_output_untranslated();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
    return status::failure(error_code::io, system_error_text(errno));
  if (std::fflush(stdout) != 0) return status::failure(error_code::io, system_error_text(errno));
  return status::ok();
}
