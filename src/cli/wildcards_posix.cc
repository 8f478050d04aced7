#include "cli/command_line.h"

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

std::vector<std::string> expand_wildcards(const std::vector<std::string>& arguments) { return arguments; }
