#include "cli/fatal_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "support/memory.h"
#include "support/output_stream.h"

void fail_fatal(int status, const char* format, ...) {
  standard_output().flush();
  std::fprintf(stderr, "Unrecoverable error (%i): ", status);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputs("\n", stderr);
  std::exit(status);
}

int run_to_exhaustion(int argc, char** argv, int (*program)(int argc, char** argv)) {
  try {
    return program(argc, argv);
  } catch (const out_of_memory& exhausted) {
    fail_fatal(3, "malloc error: requested %i bytes\n", static_cast<int>(exhausted.requested));
  }
}
