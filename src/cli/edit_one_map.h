#pragma once

#include <span>
#include <string>

#include "cli/edit_options.h"
#include "lib/format_terms.h"
#include "support/status.h"

// Edits one map; on failure returns the reason, and the map is as it was.
// With `row`, the map first takes the attributes it describes.
status edit_map(const command& c, const std::string& path, std::span<const edit_operation> operations,
                const attribute_row* row = nullptr);
