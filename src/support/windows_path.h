#pragma once

#include <cstdint>
#include <string>

// Paths stay UTF-8 inside the program and become UTF-16 only at the Windows
// API, always through its W functions: the A functions would pass them
// through the ANSI code page, whose "best fit" turns names it cannot spell
// into other names (a fullwidth "ｍap.lvl" into "map.lvl").
//
// A path whose full form is too long for the classic limit (MAX_PATH) is
// given in the full \\?\ form, which the file system takes up to its own
// limit; shorter paths are passed as they are, so that names Windows treats
// specially (NUL, CON) and relative paths behave as everywhere else.
std::wstring windows_path(const std::string& path);

// A path from the Windows API, back in UTF-8.
std::string utf8_path(const std::wstring& path);

// The path of the file an open handle reads, links followed, in the long
// form Windows gives ("\\?\C:\..."); false, with GetLastError saying why,
// when Windows cannot tell.
bool final_path_of(std::intptr_t handle, std::string& path);
