#pragma once

#include <cstdint>
#include <span>

#include "level/level_image.h"

// A chunk as an edit stands: its type, and its data in memory, or in the
// file of `source` for a chunk whose data stay there until written.
struct chunk_view {
  const std::uint8_t* type;
  std::span<const std::uint8_t> data;
  const chunk_source* source;
};

// Which chunk a walk is at: a chunk as read, by its index, or one appended.
struct chunk_slot {
  bool appended;
  std::int64_t index;
};

inline constexpr std::uint8_t attr_type[4] = {'A', 'T', 'T', 'R'};
