#include "cli/inspect_report.h"

#include <charconv>
#include <cstring>

#include "lib/format_terms.h"
#include "support/byte_order.h"
#include "support/json_text.h"
#include "support/output_stream.h"

namespace {

const char* shape_name(level_shape shape) {
  switch (shape) {
    case level_shape::plain: return "plain";
    case level_shape::tileset: return "tileset";
    case level_shape::extended: return "extended";
  }
  return "unknown";
}

// The pieces of one JSON line, written to standard output as they come.
void put(std::string_view text) { standard_output().write(text); }

void put_number(std::int64_t number) {
  char digits[24];
  put({digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits)});
}

void put_string(std::string_view text) {
  put("\"");
  json_escaped_pieces(text, put);
  put("\"");
}

// `"name":` with the comma that goes before every field but the first.
void put_field(std::string_view name, bool first = false) {
  if (!first) put(",");
  put("\"");
  put(name);
  put("\":");
}

// The name as text, and its exact bytes where the text could not hold them.
void put_file_fields(std::string_view path) {
  put_field("file", true);
  put_string(path);
  put_field("file_bytes");
  if (json_text_is_exact(path)) {
    put("null");
    return;
  }
  put("\"");
  put(base64_text(path));
  put("\"");
}

std::string json_string_text(std::string_view text) {
  std::string out;
  json_escaped_pieces(text, [&out](std::string_view piece) { out += piece; });
  return out;
}

void put_number_field(std::string_view name, std::int64_t number, bool first = false) {
  put_field(name, first);
  put_number(number);
}

}  // namespace

void inspect_sink::report(report_kind kind, std::string_view line) {
  // The reader stops at the damaged record, which would have been chunk
  // number `chunks_`.
  if (kind != report_kind::overflow) return;
  damaged_ = true;
  on_damage(chunks_, line);
}

void inspect_sink::chunk(const chunk_found& found) {
  ++chunks_;
  on_chunk(found);
}

void inspect_sink::damage(const damage_found& found) {
  damaged_ = true;
  on_damage(found.what == damage_found::kind::chunk_past_block ? found.chunk_index : -1, damage_line(found).view());
}

bool attribute_of(const chunk_found& found, attribute& out) {
  const std::uint8_t* record = found.record;
  if (std::memcmp(record, "ATTR", 4) != 0) return false;
  const std::string_view data(reinterpret_cast<const char*>(record + chunk_header_size), read_u32le(record + 4));
  return attribute_text(data, out.key, out.value);
}

void attribute_inspection::on_chunk(const chunk_found& found) {
  attribute found_attribute;
  if (!attribute_of(found, found_attribute)) return;
  if (seen_.insert(found_attribute.key).second) attributes_.push_back(found_attribute);
}

void text_inspection::shape(const level_image& image) {
  put("shape: ");
  put(shape_name(image.shape));
  put("\n");
  put(image.own_tileset ? tileset_summary(image.tileset, tileset_padded_length(image.tileset)) : "bmp tileset: none");
  put("\n");
}

void text_inspection::metadata(const metadata_found& found) { printer_.report(report_kind::metadata, metadata_line(found).view()); }

void text_inspection::on_chunk(const chunk_found& found) { printer_.chunk(found); }

void text_inspection::on_damage(std::int64_t, std::string_view line) { printer_.report(report_kind::overflow, line); }

void text_inspection::finish(const level_image& image) {
  put(map_summary(image.map_length));
  put("\n");
}

void json_inspection::shape(const level_image& image) {
  put("{");
  put_file_fields(path_);
  put_field("shape");
  put_string(shape_name(image.shape));
  put_field("tileset");
  if (!image.own_tileset) {
    put("null");
    return;
  }
  const std::uint8_t* bitmap = image.tileset;
  put("{");
  put_number_field("bytes", tileset_padded_length(bitmap), true);
  put_number_field("width", read_u32le(bitmap + 18));
  put_number_field("height", read_u32le(bitmap + 22));
  put_number_field("bpp", read_u16le(bitmap + 28));
  put_field("compression");
  put_string(tileset_compression_name(bitmap));
  put("}");
}

void json_inspection::metadata(const metadata_found& found) {
  put_field("metadata");
  put("{");
  put_number_field("offset", found.offset, true);
  put_number_field("size", found.size);
  put_number_field("maxsize", found.maxsize);
  put("}");
  put_field("chunks");
  put("[");
  in_block_ = true;
}

void json_inspection::on_chunk(const chunk_found& found) {
  const std::uint8_t* record = found.record;
  const std::uint32_t length = read_u32le(record + 4);
  put(first_chunk_ ? "{" : ",{");
  first_chunk_ = false;
  put_number_field("index", found.index, true);
  put_field("type");
  put_string(latin1_to_utf8(record, 4));
  put_field("type_hex");
  constexpr char hex[] = "0123456789abcdef";
  char type_hex[10] = {'"'};
  for (int i = 0; i < 4; ++i) {
    type_hex[1 + 2 * i] = hex[record[i] >> 4];
    type_hex[2 + 2 * i] = hex[record[i] & 0xF];
  }
  type_hex[9] = '"';
  put({type_hex, sizeof type_hex});
  put_number_field("offset", found.offset);
  put_number_field("length", length);
  put_number_field("padded", round4(length));
  put_field("text");
  if (chunk_shows_text(record)) {
    const auto* data = reinterpret_cast<const char*>(record + chunk_header_size);
    const void* zero = std::memchr(data, 0, length);
    put_string({data, zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : length});
  } else {
    put("null");
  }
  put("}");
  attribute found_attribute;
  if (!attribute_of(found, found_attribute)) return;
  std::string key = json_string_text(found_attribute.key);
  if (!seen_keys_.insert(key).second) return;
  attributes_.emplace_back(std::move(key), found_attribute);
}

void json_inspection::on_damage(std::int64_t near_chunk, std::string_view line) {
  if (damage_noted_) return;
  damage_noted_ = true;
  damage_chunk_ = near_chunk;
  damage_line_ = line;
}

void json_inspection::finish(const level_image& image, std::int64_t file_length) {
  if (in_block_) {
    put("]");
    put_field("attrs");
    put("{");
    for (std::size_t i = 0; i < attributes_.size(); ++i) {
      put(i == 0 ? "\"" : ",\"");
      put(attributes_[i].first);
      put("\":");
      put_string(attributes_[i].second.value);
    }
    put("}");
  } else {
    for (const char* name : {"metadata", "chunks", "attrs"}) {
      put_field(name);
      put("null");
    }
  }
  put_field("damage");
  if (damage_noted_) {
    put("{");
    put_field("near_chunk", true);
    if (damage_chunk_ >= 0)
      put_number(damage_chunk_);
    else
      put("null");
    put_field("reason");
    put_string(damage_line_);
    put("}");
  } else {
    put("null");
  }
  put_field("map");
  put("{");
  put_number_field("offset", file_length - image.map_length, true);
  put_number_field("bytes", image.map_length);
  put_number_field("tiles", image.map_length / 4);
  put("}");
  put_field("error");
  put("null}\n");
}

void json_inspection::failed(std::string_view why) {
  put("{");
  put_file_fields(path_);
  for (const char* name : {"shape", "tileset", "metadata", "chunks", "attrs", "damage", "map"}) {
    put_field(name);
    put("null");
  }
  put_field("error");
  put_string(why);
  put("}\n");
}
