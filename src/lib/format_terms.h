#pragma once

// The format's words that the library's users speak: the report a reader and
// a writer give, the edit operations, the image they are about and its
// summaries. The programs reach them here, and nothing else of src/level:
// their include root holds no level/ folder, so these are named from this
// folder, and each includes its neighbours by their bare names.
#include "../level/attribute_text.h"
#include "../level/level_edit.h"
#include "../level/level_image.h"
#include "../level/level_report.h"
#include "../level/level_summary.h"
