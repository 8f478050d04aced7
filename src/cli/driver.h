#pragma once

// Runs one invocation of mapgraft and returns its exit status:
// 0 the target was rewritten (or help was shown), 1 the run ended without
// writing the target, 2 usage. Memory exhaustion ends the process with 3.
int mapgraft_main(int argc, char** argv);
