/* The C tests' one check: it counts a failure and says where, and the test
 * goes on. */
#ifndef MAPGRAFT_C_CHECK_H
#define MAPGRAFT_C_CHECK_H

#include <stdio.h>

static int failures = 0;
#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                        \
    }                                                                    \
  } while (0)

#endif
