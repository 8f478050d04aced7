#pragma once

// Prints "Unrecoverable error (<status>): " and the formatted message to
// standard error, after the lines already reported on standard output, then
// a newline, and exits with `status`.
[[noreturn]] void fail_fatal(int status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Runs `program`; memory running out anywhere in it ends the process with
// status 3 and mapgraft's line for it, once every owner on the way has let
// go (a temporary file is removed).
int run_to_exhaustion(int argc, char** argv, int (*program)(int argc, char** argv));
