#pragma once

#include <cstdint>
#include <span>
#include <string>

// Runs mapgraft-edit's cycle in memory on untrusted bytes: the first byte
// says how many operations follow (0 to 7), three bytes each, and the rest is
// the map. The operations (add, set, unset, remove, remove-type, replace,
// tileset), their data cut from the map's last bytes or made up as bitmaps,
// are applied to the image as read, which is then written and read back.
// Returns an empty string when the result reads back, undamaged, to exactly
// the tileset, chunks and map data that a model of the operations predicts
// (or, when the model says an index is gone, the edit failed and left the
// image as it was) and rewrites to itself; else what broke.
std::string edit_ops_roundtrip_fault(std::span<const std::uint8_t> data);

// The map part of such an input: what follows the operations' bytes.
std::span<const std::uint8_t> edit_ops_map(std::span<const std::uint8_t> data);

// The bytes that steer one operation, for seeds and tests: kind 0 to 6 in
// the order above, then two parameters.
struct edit_ops_step {
  std::uint8_t kind;
  std::uint8_t a;
  std::uint8_t b;
};
