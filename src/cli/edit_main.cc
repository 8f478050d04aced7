#include "cli/editor.h"

int main(int argc, char** argv) { return mapgraft_edit_main(argc, argv); }
