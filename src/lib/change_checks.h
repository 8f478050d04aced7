#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "support/status.h"

// What a change is refused for before it touches a map, in the words the
// programs print and mg_map_errmsg() gives.

// An ATTR chunk's key: not empty, and without '='. The reason names the key.
status attribute_key_check(const std::string& key);

// Whether `file` can become a map's tileset; on success `bitmap_length` is
// the bytes it takes. A failure is bad_tileset, or too_large for a bitmap
// only too large for the metadata offset.
status tileset_check(std::span<const std::uint8_t> file, std::uint32_t& bitmap_length);
