#include "cli/command_line.h"

std::vector<std::string> expand_wildcards(const std::vector<std::string>& arguments) { return arguments; }
