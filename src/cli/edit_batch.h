#pragma once

// Runs one invocation of mapgraft-edit and returns its exit status: 0 every
// map was written or is unchanged (or, for a dry run, would be), or help or
// the version was shown; 1 a map or a FILE failed; 2 usage. Memory
// exhaustion ends the process with 3.
int mapgraft_edit_main(int argc, char** argv);
