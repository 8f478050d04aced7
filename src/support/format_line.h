#pragma once

#include <string>

// printf into a string, for the rare lines.
std::string format_line(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
