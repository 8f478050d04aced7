#include "cli/arguments.h"
#include "cli/edit_batch.h"

int main(int argc, char** argv) { return run_with_utf8_arguments(argc, argv, mapgraft_edit_main); }
