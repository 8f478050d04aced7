#pragma once

#include <cstddef>

// Writes all of `bytes` to standard output (stream 1) or standard error
// (stream 2), bypassing the C library's buffers: flush stdout first where it
// holds output that must come before. Returns 0, or a number that
// system_error_text (support/replacement_file.h) turns into the reason: an
// errno value on POSIX, a Windows error code negated on Windows.
//
// The bytes are UTF-8. On Windows a stream that is a console gets them as
// UTF-16 (WriteConsoleW), whatever the console's code page, which is never
// changed; a sequence cut short at the end of one call is completed by the
// next call on that stream. A file or pipe gets the bytes as they are. While
// the C library has the stream in text mode (the default) each LF goes out
// as CR LF, as its own writes would; after _setmode(fd, _O_BINARY) nothing
// is changed.
int console_write(int stream, const char* bytes, std::size_t length);
