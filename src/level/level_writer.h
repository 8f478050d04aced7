#pragma once

#include <cstdint>
#include <string>

#include "level/level_image.h"
#include "level/level_report.h"
#include "support/byte_sink.h"
#include "support/status.h"

// Why a bitmap of that padded length cannot be a map's tileset: the 16-bit
// metadata offset cannot point past it.
std::string tileset_too_large_text(std::int64_t padded_length);

// Checks the sizes, then writes the extended-shape bytes to `out`, reporting
// each part.
status level_write_to(const level_image& image, byte_sink& out, report_sink& report);
