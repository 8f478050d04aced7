#include "level/level_edit.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "level/edit_plan.h"
#include "level/tileset_file.h"
#include "support/byte_order.h"
#include "support/format_line.h"

namespace {

status data_starts_with(const chunk_view& chunk, std::string_view prefix, bool& starts) {
  if (chunk.source == nullptr) {
    starts = chunk.data.size() >= prefix.size() && std::memcmp(chunk.data.data(), prefix.data(), prefix.size()) == 0;
    return status::ok();
  }
  starts = false;
  if (chunk.source->length < prefix.size()) return status::ok();
  std::string head(prefix.size(), '\0');
  if (status s = file_read_at(chunk.source->file, 0, {reinterpret_cast<std::uint8_t*>(head.data()), head.size()});
      !s.is_ok())
    return s;
  starts = head == prefix;
  return status::ok();
}

status too_large() { return status::failure(error_code::too_large, "the chunk would not fit a map file"); }

}  // namespace

// Calls visit(slot, chunk) for each chunk the edit still holds, in order,
// until it fails.
template <typename Visit>
status edit_plan::for_each_live(Visit&& visit) {
  status result = status::ok();
  std::int64_t position = 0;
  chunk_list_for_each(image_.chunks, [&](const chunk_record* record, const chunk_source* source) {
    const std::int64_t index = position++;
    if (!result.is_ok() || fate_[index] < 0) return;
    chunk_view chunk{chunk_record_type(record), {}, nullptr};
    if (fate_[index] > 0)
      chunk.data = payloads_[static_cast<std::size_t>(fate_[index] - 1)].data();
    else if (source != nullptr && source->bytes == nullptr)
      chunk.source = source;
    else
      chunk.data = data_in_memory(record, source);
    result = visit(chunk_slot{false, index}, chunk);
  });
  for (std::size_t i = 0; i < appended_.size() && result.is_ok(); ++i) {
    if (appended_[i].removed) continue;
    result = visit(chunk_slot{true, static_cast<std::int64_t>(i)},
                   chunk_view{appended_[i].type, payloads_[appended_[i].payload].data(), nullptr});
  }
  return result;
}

status edit_plan::apply(const edit_operation& op) {
  switch (op.what) {
    case edit_operation::kind::add: return append(op.type, plain_payload(op));
    case edit_operation::kind::set: return set(op.key, op.value);
    case edit_operation::kind::unset: {
      if (key_index::indexable(op.key)) return unset_indexed(op.key);
      const std::string prefix = op.key + "=";
      return for_each_live([&](chunk_slot slot, const chunk_view& chunk) {
        bool matches = false;
        if (std::memcmp(chunk.type, attr_type, 4) != 0) return status::ok();
        if (status s = data_starts_with(chunk, prefix, matches); !s.is_ok() || !matches) return s;
        remove(slot);
        return status::ok();
      });
    }
    case edit_operation::kind::remove:
      for (const std::uint64_t index : op.indexes)
        if (status s = check_index(index); !s.is_ok()) return s;
      for (const std::uint64_t index : op.indexes) remove({false, static_cast<std::int64_t>(index)});
      return status::ok();
    case edit_operation::kind::remove_type:
      return for_each_live([&](chunk_slot slot, const chunk_view& chunk) {
        if (std::memcmp(chunk.type, op.type, 4) == 0) remove(slot);
        return status::ok();
      });
    case edit_operation::kind::replace: {
      if (op.indexes.empty()) return status::failure(error_code::argument, "no chunk given to replace");
      if (status s = check_index(op.indexes[0]); !s.is_ok()) return s;
      if (op.data.size() > max_chunk_length) return too_large();
      fate_[op.indexes[0]] = static_cast<std::int32_t>(plain_payload(op) + 1);
      keys_.forget();  // the chunk's key may have changed
      return status::ok();
    }
    case edit_operation::kind::tileset: {
      std::uint32_t length = 0;
      if (status s = tileset_file_check(op.data, length); !s.is_ok()) return s;
      tileset_ = op.data.first(length);
      new_tileset_ = true;
      return status::ok();
    }
  }
  return status::failure(error_code::argument, "unknown operation");
}

void edit_plan::note_fates(std::vector<std::int8_t>& fates) const {
  fates.clear();
  for (std::int64_t i = 0; i < count_; ++i) fates.push_back(static_cast<std::int8_t>(fate_[i] == 0 ? 0 : fate_[i] < 0 ? -1 : 1));
}


std::size_t edit_plan::plain_payload(const edit_operation& op) {
  payloads_.push_back({op.data, {}, false, op.borrow_data});
  return payloads_.size() - 1;
}

status edit_plan::append(const std::uint8_t type[4], std::size_t payload_index) {
  if (payloads_[payload_index].data().size() > max_chunk_length) return too_large();
  appended_chunk chunk{{}, payload_index, false};
  std::memcpy(chunk.type, type, 4);
  appended_.push_back(chunk);
  return keys_.note({true, static_cast<std::int64_t>(appended_.size() - 1)},
                    chunk_view{appended_.back().type, payloads_[payload_index].data(), nullptr});
}

bool edit_plan::live(chunk_slot slot) const {
  return slot.appended ? !appended_[static_cast<std::size_t>(slot.index)].removed : fate_[slot.index] >= 0;
}

status edit_plan::build_keys() {
  return keys_.build([this](auto&& visit) { return for_each_live(visit); });
}

status edit_plan::unset_indexed(const std::string& key) {
  if (!keys_.built())
    if (status s = build_keys(); !s.is_ok()) return s;
  for (const chunk_slot slot : keys_.slots(key)) remove(slot);
  keys_.erase(key);
  return status::ok();
}

// The first ATTR chunk of a key takes the new text; every later one goes.
void edit_plan::take_text_or_remove(chunk_slot slot, std::size_t text, bool already_found) {
  if (already_found) {
    remove(slot);
  } else if (slot.appended) {
    appended_[static_cast<std::size_t>(slot.index)].payload = text;
  } else {
    fate_[slot.index] = static_cast<std::int32_t>(text + 1);
  }
}

status edit_plan::set(const std::string& key, const std::string& value) {
  const std::string prefix = key + "=";
  payloads_.push_back({{}, prefix + value, true});
  const std::size_t text = payloads_.size() - 1;
  if (key_index::indexable(key)) {
    if (!keys_.built())
      if (status s = build_keys(); !s.is_ok()) return s;
    std::vector<chunk_slot>& slots = keys_.slots(key);
    bool found = false;
    for (const chunk_slot slot : slots) {
      if (!live(slot)) continue;
      take_text_or_remove(slot, text, found);
      if (!found) slots.front() = slot;
      found = true;
    }
    if (found) {
      slots.resize(1);
      return status::ok();
    }
    slots.clear();
    keys_.forget();  // append() would add the slot a second time
    if (status s = append(attr_type, text); !s.is_ok()) return s;
    keys_.slots(key).push_back({true, static_cast<std::int64_t>(appended_.size() - 1)});
    keys_.take_as_built();
    return status::ok();
  }
  bool found = false;
  status result = for_each_live([&](chunk_slot slot, const chunk_view& chunk) {
    bool matches = false;
    if (std::memcmp(chunk.type, attr_type, 4) != 0) return status::ok();
    if (status s = data_starts_with(chunk, prefix, matches); !s.is_ok() || !matches) return s;
    take_text_or_remove(slot, text, found);
    found = true;
    return status::ok();
  });
  if (!result.is_ok() || found) return result;
  return append(attr_type, text);
}

status edit_plan::check_index(std::uint64_t index) const {
  if (index >= static_cast<std::uint64_t>(count_))
    return status::failure(error_code::no_chunk, format_line("no chunk %llu", static_cast<unsigned long long>(index)));
  if (fate_[index] < 0)
    return status::failure(error_code::no_chunk, format_line("chunk %llu was already removed", static_cast<unsigned long long>(index)));
  return status::ok();
}

void edit_plan::remove(chunk_slot slot) {
  if (slot.appended)
    appended_[static_cast<std::size_t>(slot.index)].removed = true;
  else
    fate_[slot.index] = -1;
}

status level_apply_edits(level_image& image, std::span<const edit_operation> operations, edit_summary& summary,
                         std::vector<std::int8_t>* fates) {
  std::size_t longest_key = 0;
  for (const edit_operation& op : operations)
    if (op.what == edit_operation::kind::set || op.what == edit_operation::kind::unset)
      longest_key = std::max(longest_key, op.key.size());
  edit_plan plan(image, longest_key);
  for (const edit_operation& op : operations)
    if (status s = plan.apply(op); !s.is_ok()) return s;
  if (fates != nullptr) plan.note_fates(*fates);
  plan.commit(summary);
  return status::ok();
}
