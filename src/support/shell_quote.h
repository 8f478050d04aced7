#pragma once

#include <string>
#include <string_view>

// File names in the programs' text lines. A name that holds a control
// character, a quote or bytes that are not UTF-8 could forge a line or drive
// the terminal, so it is shown as GNU ls --quoting-style=shell-escape shows
// it ('nl'$'\n''x.lvl'), a form a shell reads back as the same bytes.
// Every other name is shown as it is.
bool name_needs_escaping(std::string_view name);
std::string shell_escaped_name(std::string_view name);

// The name as it is, or escaped.
std::string shown_name(std::string_view name);
// The name in single quotes, or escaped.
std::string quoted_name(std::string_view name);
