#include "support/console.h"

#include <unistd.h>

#include <cerrno>

int console_write(int stream, const char* bytes, std::size_t length) {
  if (stream != 1 && stream != 2) return EBADF;
  while (length > 0) {
    const ssize_t written = write(stream, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}
