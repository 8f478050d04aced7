#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "support/status.h"

// Why a bitmap of that padded length cannot be a map's tileset: the 16-bit
// metadata offset cannot point past it. The writer refuses such a tileset in
// the same words.
std::string tileset_too_large_text(std::int64_t padded_length);

// Checks a bitmap given for --tileset: it starts with "BM", is at least 34
// bytes long, declares a size S with 34 <= S <= its length, its first
// reserved field is 0 (a map is not a bitmap), and round4(S) is at most
// 65,532. On success `bitmap_length` is S: the bytes the tileset takes. A
// failure is bad_tileset, or too_large for a bitmap only too large.
status tileset_file_check(std::span<const std::uint8_t> file, std::uint32_t& bitmap_length);
