#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "support/status.h"

// Tables as RFC 4180 has them, the form every spreadsheet reads and writes:
// cells parted by commas, rows ended by CR LF, a cell that holds a comma, a
// quote, CR or LF in quotes with its quotes doubled.

// `cell` as it goes into a row, quoted where it must be.
std::string csv_cell(std::string_view cell);

struct csv_row {
  std::size_t line = 0;  // the line the row starts on, from 1
  std::vector<std::string> cells;
};

// Every row of `text`. Rows may also end with a bare LF, as some writers end
// them; a UTF-8 byte order mark before the first row and an empty last line
// are not rows. A quote that is never closed, or one inside a cell that does
// not start with one, is refused with the line it is on.
status csv_rows(std::string_view text, std::vector<csv_row>& rows);
