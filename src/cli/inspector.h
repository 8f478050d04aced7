#pragma once

// Runs one invocation of mapgraft-inspect, which only ever reads the map, and
// returns its exit status: 0 the map was read without damage (or help was
// shown), 1 it cannot be opened, is not a map, has a damaged metadata block
// or lacks the chunk asked for, 2 usage. Memory exhaustion ends the process
// with 3.
int mapgraft_inspect_main(int argc, char** argv);
