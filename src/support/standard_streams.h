#pragma once

// Run first thing in each program. On POSIX systems it opens /dev/null on any
// of descriptors 0, 1 and 2 that is closed, so that no file the program opens
// later takes a standard stream's number and receives its output, and it
// ignores SIGPIPE, so that a reader that goes away costs the report, never
// the edit, and SIGXFSZ, so that a write past a file size limit fails with
// EFBIG like any failed write. On Windows it does nothing.
void standard_streams_prepare();

// Standard input in binary mode (Windows would turn CR LF into LF).
void standard_input_binary();
