#include "support/standard_streams.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>

#include <cstdio>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

void standard_streams_prepare() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Against the grain (standard input write-only, the outputs read-only),
    // so every use of the stream fails rather than vanishing unnoticed. The
    // lower descriptors are open, so the new one takes this number.
    int opened = open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_NOCTTY);
    if (opened < 0) opened = open("/", O_RDONLY | O_DIRECTORY);
    if (opened != fd) _exit(1);
  }
  signal(SIGPIPE, SIG_IGN);
  // Past a file size limit a write then fails with EFBIG: that map fails and
  // the batch goes on, where the signal would end the run unexplained.
  signal(SIGXFSZ, SIG_IGN);
#endif
}

void standard_input_binary() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
}
