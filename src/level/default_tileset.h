#pragma once

#include <array>
#include <cstdint>

// The tileset given to a map that has none of its own: a 304 x 160, 8-bit
// bitmap of 190 tiles, 19 across and 10 down. Each 16 x 16 tile is its own
// colour with a darker border and carries its tile number, 1 to 190 row by row
// from the top-left, so a map drawn with it shows which tile is which.
inline constexpr std::int32_t default_tileset_size = 49718;

extern const std::array<std::uint8_t, default_tileset_size> default_tileset;
