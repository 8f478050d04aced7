#pragma once

#include <string>
#include <vector>

// On Windows, whose shells leave wildcards to the program, each argument
// with `*` or `?` becomes the names of the files it matches, sorted; one
// that matches nothing stays as it is. Elsewhere the shell has done it and
// nothing changes.
std::vector<std::string> expand_wildcards(const std::vector<std::string>& arguments);
