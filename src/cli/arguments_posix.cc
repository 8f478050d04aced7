#include "cli/arguments.h"

int run_with_utf8_arguments(int argc, char** argv, int (*program)(int argc, char** argv)) { return program(argc, argv); }
