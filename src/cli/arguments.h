#pragma once

// Runs `program` with the command line's arguments in UTF-8, and returns its
// status. On POSIX they are the bytes argv holds already. On Windows they
// are taken from the UTF-16 command line (GetCommandLineW), split as
// CommandLineToArgvW splits it: the `argv` main is given has been through
// the ANSI code page, which spells names it cannot hold as other names.
// Arguments that are not valid UTF-16 are kept as WTF-8 (support/utf8.h).
int run_with_utf8_arguments(int argc, char** argv, int (*program)(int argc, char** argv));
