#pragma once

#include <cstdint>
#include <string>

#include "level/level_image.h"
#include "level/level_report.h"
#include "support/edit_target.h"
#include "support/replacement_file.h"
#include "support/status.h"

// Writes the image in the extended shape through `file` over `target`, the
// map as opened for the edit, replacing it only once the whole new file is
// safely on disk. Sizes the format cannot describe are refused before
// anything is printed or opened for writing. The image is left as it was,
// so it can be written again to the same bytes. The caller keeps `target` open until this returns, and reads the
// file's warnings afterwards.
status level_write(const level_image& image, const edit_target& target, replacement_file& file, report_sink& report);

// Why a bitmap of that padded length cannot be a map's tileset: the 16-bit
// metadata offset cannot point past it.
std::string tileset_too_large_text(std::int64_t padded_length);

// Checks the sizes, then writes the extended-shape bytes to `out`, reporting
// each part.
status level_write_to(const level_image& image, byte_sink& out, report_sink& report);
