#include <algorithm>
#include <cstring>

#include "level/edit_plan.h"

void edit_plan::append_data(chunk_list& list, const std::uint8_t type[4], const payload& data) {
  const std::span<const std::uint8_t> bytes = data.data();
  if (data.borrowed && !bytes.empty()) {
    chunk_source source;
    source.length = bytes.size();
    source.bytes = bytes.data();
    chunk_list_append_source(list, type, source);
    return;
  }
  chunk_record* record = chunk_list_append(list, type, static_cast<std::uint32_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(chunk_record_bytes(record) + chunk_header_size, bytes.data(), bytes.size());
}

void edit_plan::append_live(chunk_list& list, edit_summary& summary) {
  for (const appended_chunk& chunk : appended_) {
    if (chunk.removed) continue;
    ++summary.added;
    append_data(list, chunk.type, payloads_[chunk.payload]);
  }
}

void edit_plan::rebuild(edit_summary& summary) {
  chunk_list rebuilt;
  chunk_list_init(rebuilt);
  std::int64_t position = 0;
  chunk_list_for_each(image_.chunks, [&](const chunk_record* record, const chunk_source* source) {
    const std::int32_t fate = fate_[position++];
    if (fate < 0) {
      ++summary.removed;
      return;
    }
    if (fate > 0) {
      const payload& data = payloads_[static_cast<std::size_t>(fate - 1)];
      const bool comparable = source == nullptr || source->bytes != nullptr;
      const std::span<const std::uint8_t> old = comparable ? data_in_memory(record, source) : std::span<const std::uint8_t>{};
      const std::span<const std::uint8_t> now = data.data();
      const bool same = comparable && std::equal(now.begin(), now.end(), old.begin(), old.end());
      if (!same) {
        ++summary.replaced;
        append_data(rebuilt, chunk_record_type(record), data);
        return;
      }
    }
    if (source != nullptr) {
      chunk_list_append_source(rebuilt, chunk_record_type(record), *source);
      return;
    }
    chunk_record* copy = chunk_list_append(rebuilt, chunk_record_type(record), chunk_record_length(record));
    std::memcpy(chunk_record_bytes(copy), chunk_record_bytes(record), static_cast<std::size_t>(chunk_record_size(record)));
  });
  append_live(rebuilt, summary);
  chunk_list_clear(image_.chunks);
  image_.chunks = rebuilt;
}
