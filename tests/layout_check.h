#pragma once

#include <cstdint>
#include <span>
#include <string>

// Checks that `file` is a well-formed extended map: "BM", the metadata offset
// P a multiple of 4 at which "elvl" stands, a file size field of P plus the
// block's length, chunk records that fill the block exactly, the map data
// after it. Returns an empty string when it is, else what is wrong.
std::string extended_layout_fault(std::span<const std::uint8_t> file);
