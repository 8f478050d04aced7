#include "level/key_index.h"

#include <algorithm>
#include <cstring>

#include "level/attribute_text.h"
#include "support/file_io.h"

status key_index::note(chunk_slot slot, const chunk_view& chunk) {
  if (!built_) return status::ok();
  std::string key;
  bool has_key = false;
  if (status s = key_of(chunk, key, has_key); !s.is_ok()) return s;
  if (has_key) keys_[key].push_back(slot);
  return status::ok();
}

status key_index::key_of(const chunk_view& chunk, std::string& key, bool& has_key) const {
  has_key = false;
  if (std::memcmp(chunk.type, attr_type, 4) != 0) return status::ok();
  if (chunk.source == nullptr) {
    const std::size_t room = std::min(room_, chunk.data.size());
    key.assign(reinterpret_cast<const char*>(chunk.data.data()), room);
  } else {
    key.assign(static_cast<std::size_t>(std::min<std::uint64_t>(room_, chunk.source->length)), '\0');
    if (status s = file_read_at(chunk.source->file, 0, {reinterpret_cast<std::uint8_t*>(key.data()), key.size()}); !s.is_ok())
      return s;
  }
  std::string_view name, value;
  if (!attribute_text(key, name, value)) return status::ok();
  key.resize(name.size());
  has_key = true;
  return status::ok();
}
