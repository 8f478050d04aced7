#pragma once

#include <string>
#include <vector>

#include "support/edit_target.h"

// Gives the open file `to` the owner, group, permission bits, extended
// attributes and access control list that `was` describes and the open file
// `from` holds, as far as the system allows. Called after the last write,
// which would clear the set-user-ID and set-group-ID bits of a file an
// unprivileged user writes, and before the flush, so that the attributes
// reach the disk with the contents. What could not be kept is appended to
// `warnings`, one finished line each without the program's name, naming the
// file as `shown`, already quoted (support/shell_quote.h).
void file_attributes_keep(int from, int to, const file_facts& was, const std::string& shown,
                          std::vector<std::string>& warnings);
