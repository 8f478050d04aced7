#include "cli/driver.h"

int main(int argc, char** argv) { return mapgraft_main(argc, argv); }
