#include "cli/per_map_operations.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

#include "cli/edit_options.h"
#include "cli/edit_texts.h"
#include "cli/import_plan.h"
#include "mapgraft.h"
#include "support/shell_quote.h"

namespace {

std::string_view data_of(const chunk_record* record) {
  return {reinterpret_cast<const char*>(chunk_record_bytes(record) + chunk_header_size), chunk_record_length(record)};
}

bool is_attr(const chunk_record* record) { return std::memcmp(chunk_record_type(record), "ATTR", 4) == 0; }

// The first value of each key, in chunk order.
std::vector<map_attribute> attributes_of(const level_image& image) {
  std::vector<map_attribute> attributes;
  std::unordered_set<std::string_view> seen;
  chunk_list_for_each(image.chunks, [&](const chunk_record* record) {
    if (!is_attr(record)) return;
    std::string_view key, value;
    if (!attribute_text(data_of(record), key, value) || !seen.insert(key).second) return;
    attributes.push_back({std::string(key), std::string(value)});
  });
  return attributes;
}

edit_operation attribute_operation(attribute_change change) {
  edit_operation op{};
  op.what = change.value ? edit_operation::kind::set : edit_operation::kind::unset;
  op.key = std::move(change.key);
  if (change.value) op.value = std::move(*change.value);
  return op;
}

// A chunk by its type and bytes: its whole record, which holds both.
std::string_view chunk_key(const chunk_record* record) {
  return {reinterpret_cast<const char*>(chunk_record_bytes(record)), chunk_header_size + std::size_t{chunk_record_length(record)}};
}

void copy_operations(const copy_source& source, const level_image& image, std::vector<edit_operation>& out) {
  for (map_attribute& a : attributes_of(source.map->image())) out.push_back(attribute_operation({a.key, a.value}));
  std::unordered_set<std::string_view> held;
  chunk_list_for_each(image.chunks, [&](const chunk_record* record) {
    if (!is_attr(record)) held.insert(chunk_key(record));
  });
  chunk_list_for_each(source.map->image().chunks, [&](const chunk_record* record) {
    if (is_attr(record) || held.count(chunk_key(record)) != 0) return;
    edit_operation op{};
    op.what = edit_operation::kind::add;
    std::memcpy(op.type, chunk_record_type(record), 4);
    op.data = {chunk_record_bytes(record) + chunk_header_size, chunk_record_length(record)};
    op.borrow_data = true;  // the source outlives every map of the run
    out.push_back(std::move(op));
  });
}

}  // namespace

status copy_sources_read(command& c, const std::function<status(const std::string&, std::span<const std::uint8_t>&)>& read) {
  for (copy_source& source : c.copy_sources) {
    std::span<const std::uint8_t> bytes;
    if (status s = read(source.path, bytes); !s.is_ok()) return s;
    source.map = std::make_shared<map_file>();
    map_read_options options;
    options.flags = c.force ? MG_READ_FORCE : MG_READ_STRICT;
    const status s = source.map->read(bytes, options);
    if (s.is_ok()) continue;
    const std::string name = quoted_name(source.path);
    if (s.code() == error_code::damaged)
      return status::failure(s.code(), format_line(failure_line, name.c_str(), format_line(damaged_map, s.why().c_str()).c_str()));
    if (source.map->unlike_a_map() != nullptr)
      return status::failure(s.code(), format_line(failure_line, name.c_str(), format_line(unlike_a_map, s.why().c_str()).c_str()));
    return status::failure(s.code(), format_line(failure_line, name.c_str(), not_a_map));
  }
  return status::ok();
}

std::vector<edit_operation> per_map_operations(const command& c, const level_image& image, const attribute_row* row) {
  std::vector<edit_operation> operations;
  if (row != nullptr)
    for (attribute_change& change : import_changes(*row, attributes_of(image))) operations.push_back(attribute_operation(std::move(change)));
  std::size_t next_source = 0;
  for (std::size_t i = 0; i <= c.operations.size(); ++i) {
    for (; next_source < c.copy_sources.size() && c.copy_sources[next_source].position == i; ++next_source)
      copy_operations(c.copy_sources[next_source], image, operations);
    if (i < c.operations.size()) operations.push_back(c.operations[i]);
  }
  return operations;
}
