#include <algorithm>
#include <cstring>

#include "level/edit_plan.h"
#include "support/memory.h"

void edit_plan::commit(edit_summary& summary) {
  summary = edit_summary{};
  // Chunks only appended go after the others as they are: the list is
  // rebuilt, which costs a copy of it, only when a chunk read changes.
  if (std::any_of(fate_, fate_ + count_, [](std::int32_t f) { return f != 0; })) {
    rebuild(summary);
  } else {
    append_live(image_.chunks, summary);
  }
  summary.chunks = image_.chunks.count;
  if (new_tileset_) {
    const auto size = static_cast<std::int32_t>(round4(static_cast<std::int64_t>(tileset_.size())));
    auto* bitmap = static_cast<std::uint8_t*>(mem_alloc_zeroed(size));
    std::memcpy(bitmap, tileset_.data(), tileset_.size());
    mem_release(image_.tileset);
    image_.tileset = bitmap;
    image_.tileset_size = size;
    image_.own_tileset = true;
    summary.tileset_replaced = true;
  }
}
