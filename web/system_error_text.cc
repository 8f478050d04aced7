// The one function of the Linux replacement file that the rest of the
// support layer needs; WebAssembly builds leave that file out.
#include "support/replacement_file.h"

#include <cstring>

std::string system_error_text(int error) { return std::strerror(error); }
