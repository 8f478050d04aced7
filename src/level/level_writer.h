#pragma once

#include <cstdint>
#include <string>

#include "level/level_image.h"
#include "level/level_report.h"
#include "support/byte_sink.h"
#include "support/status.h"

// Checks the sizes (a size refused is too_large), then writes the
// extended-shape bytes to `out`, reporting each part; a failure of `out` is
// passed on as it is.
status level_write_to(const level_image& image, byte_sink& out, report_sink& report);
