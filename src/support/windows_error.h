#pragma once

#include <string>

// The system's text for a Windows error code (GetLastError), as one line
// without the closing full stop, in the style of strerror.
std::string windows_error_text(unsigned long code);
