#include "cli/arguments.h"

#include "cli/fatal_error.h"

int run_with_utf8_arguments(int argc, char** argv, int (*program)(int argc, char** argv)) {
  return run_to_exhaustion(argc, argv, program);
}
