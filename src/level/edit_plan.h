#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "level/edit_chunk.h"
#include "level/key_index.h"
#include "level/level_edit.h"
#include "support/memory.h"

inline std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// New data for a chunk: a FILE's bytes, or the text of a --set.
struct payload {
  std::span<const std::uint8_t> bytes;
  std::string text;
  bool is_text = false;
  bool borrowed = false;  // `bytes` outlive the image, which may refer to them
  std::span<const std::uint8_t> data() const { return is_text ? bytes_of(text) : bytes; }
};

struct appended_chunk {
  std::uint8_t type[4];
  std::size_t payload;
  bool removed;
};

// The edit is planned on the side and only applied to the image once every
// operation has succeeded, so that a failed edit leaves the image as it was.
// Each chunk read has a fate: kept (0), removed (-1), or new data (payload
// k - 1 for k > 0). Planning is in edit_planning.cc, the commit in
// edit_commit.cc, the rebuilt chunk list in edit_rebuild.cc.
class edit_plan {
 public:
  // `longest_key`: the longest key of the operations (key_index).
  edit_plan(level_image& image, std::size_t longest_key)
      : image_(image), count_(image.chunks.count), keys_(longest_key) {
    fate_ = static_cast<std::int32_t*>(mem_alloc_zeroed(static_cast<std::int32_t>(count_ * 4)));
  }
  ~edit_plan() { mem_release(fate_); }
  edit_plan(const edit_plan&) = delete;
  edit_plan& operator=(const edit_plan&) = delete;

  status apply(const edit_operation& op);
  void note_fates(std::vector<std::int8_t>& fates) const;
  void commit(edit_summary& summary);

 private:
  std::size_t plain_payload(const edit_operation& op);
  status append(const std::uint8_t type[4], std::size_t payload_index);
  bool live(chunk_slot slot) const;
  status build_keys();
  status unset_indexed(const std::string& key);
  void take_text_or_remove(chunk_slot slot, std::size_t text, bool already_found);
  status set(const std::string& key, const std::string& value);
  status check_index(std::uint64_t index) const;
  void remove(chunk_slot slot);
  template <typename Visit>
  status for_each_live(Visit&& visit);

  static std::span<const std::uint8_t> data_in_memory(const chunk_record* record, const chunk_source* source) {
    if (source != nullptr) return {source->bytes, static_cast<std::size_t>(source->length)};
    return {chunk_record_bytes(record) + chunk_header_size, chunk_record_length(record)};
  }
  static void append_data(chunk_list& list, const std::uint8_t type[4], const payload& data);
  void append_live(chunk_list& list, edit_summary& summary);
  // A kept chunk keeps its record byte for byte, padding included, so that
  // an edit that changes nothing writes the file as it was.
  void rebuild(edit_summary& summary);

  level_image& image_;
  const std::int64_t count_;
  key_index keys_;
  std::int32_t* fate_;
  std::vector<payload> payloads_;
  std::vector<appended_chunk> appended_;
  std::span<const std::uint8_t> tileset_;
  bool new_tileset_ = false;
};
