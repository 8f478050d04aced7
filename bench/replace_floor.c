/* The least that durable replacement of files can cost, bench/run's
 * reference for mapgraft-edit on many maps: each file read, written again to
 * a temporary file beside it with EXTRA zero bytes more, renamed over it, and
 * one sync() at the end.
 * usage: replace-floor EXTRA FILE... */
#define _DEFAULT_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static char buf[1 << 16], zeros[1 << 16];

int main(int argc, char **argv) {
  char tmp[4096];
  ssize_t n;
  int i;
  size_t extra;
  if (argc < 2) {
    fprintf(stderr, "usage: replace-floor EXTRA FILE...\n");
    return 2;
  }
  extra = (size_t)strtoul(argv[1], NULL, 10);
  if (extra > sizeof zeros) extra = sizeof zeros;
  for (i = 2; i < argc; i++) {
    int in, out;
    snprintf(tmp, sizeof tmp, "%s.reftmp", argv[i]);
    in = open(argv[i], O_RDONLY);
    out = open(tmp, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (in < 0 || out < 0) {
      perror(argv[i]);
      return 1;
    }
    while ((n = read(in, buf, sizeof buf)) > 0)
      if (write(out, buf, (size_t)n) != n) return 1;
    if (write(out, zeros, extra) != (ssize_t)extra) return 1;
    close(in);
    close(out);
    if (rename(tmp, argv[i]) != 0) return 1;
  }
  sync();
  return 0;
}
