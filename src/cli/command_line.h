#pragma once

#include <string>
#include <vector>

// The program's arguments after its name, as UTF-8: on Windows taken from
// the UTF-16 command line, elsewhere as given.
std::vector<std::string> command_line_arguments(int argc, char** argv);

// On Windows, whose shells leave wildcards to the program, each argument
// with `*` or `?` becomes the names of the files it matches, sorted; one
// that matches nothing stays as it is. Elsewhere the shell has done it and
// nothing changes.
std::vector<std::string> expand_wildcards(const std::vector<std::string>& arguments);
