#include "support/output_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Writes everything to descriptor 1 or 2; returns 0 or the error number.
int write_all(int stream, const char* bytes, std::size_t length) {
#ifdef _WIN32
  // Through the C library, whose text mode ends lines as Windows expects.
  std::FILE* file = stream == 1 ? stdout : stderr;
  if (length > 0 && std::fwrite(bytes, 1, length, file) != length) return errno != 0 ? errno : EIO;
  return std::fflush(file) == 0 ? 0 : (errno != 0 ? errno : EIO);
#else
  while (length > 0) {
    const ssize_t written = ::write(stream, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
#endif
}

}  // namespace

void output_stream::send(const char* bytes, std::size_t length) {
  if (error_ == 0 && length > 0) error_ = write_all(1, bytes, length);
}

void output_stream::flush() {
  send(buffer_, used_);
  used_ = 0;
}

// The buffer is filled to the brim before it goes, so that every write but
// the last of a stage is a whole block.
void output_stream::write_through(std::string_view text) {
  while (!text.empty()) {
    const std::size_t part = std::min(text.size(), sizeof buffer_ - used_);
    text.copy(buffer_ + used_, part);
    used_ += part;
    text.remove_prefix(part);
    if (used_ == sizeof buffer_) flush();
  }
}

output_stream& standard_output() {
  static output_stream stream;
  return stream;
}

void print_error_line(std::string_view line) {
  standard_output().flush();
  std::string text(line);
  text += '\n';
  write_all(2, text.data(), text.size());
}
