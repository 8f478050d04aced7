#include "cli/inspector.h"

int main(int argc, char** argv) { return mapgraft_inspect_main(argc, argv); }
