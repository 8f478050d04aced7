#include "support/replacement_file.h"

#include <cstring>

std::string system_error_text(int error) { return std::strerror(error); }
