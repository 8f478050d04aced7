#include "level/level_writer.h"

#include <cstdint>
#include <limits>

#include "level/level_summary.h"
#include "support/byte_order.h"

namespace {

constexpr std::int64_t max_file_size = std::numeric_limits<std::int32_t>::max();

struct layout {
  std::int64_t bitmap = 0;    // P: padded bitmap length, the metadata block's offset
  std::int64_t metadata = 0;  // T: the whole metadata block
  int chunks = 0;
};

status plan_layout(const level_image& image, layout& out) {
  out.bitmap = tileset_padded_length(image.tileset);
  if (out.bitmap > max_metadata_offset)
    return status::failure(format_line("the tileset bitmap takes %lld bytes, more than the %d that the metadata offset can hold",
                                       static_cast<long long>(out.bitmap), max_metadata_offset));
  if (out.bitmap > image.tileset_size) return status::failure("the tileset bitmap is damaged");
  out.metadata = elvl_header_size;
  chunk_list_for_each(image.chunks, [&](const chunk_record* record) {
    out.metadata += chunk_record_size(record);
    ++out.chunks;
  });
  const std::int64_t header_size = out.bitmap + out.metadata;
  if (header_size > max_file_size)
    return status::failure(format_line("the bitmap and metadata block would take %lld bytes, more than %lld",
                                       static_cast<long long>(header_size), static_cast<long long>(max_file_size)));
  if (header_size + image.map_length > max_file_size)
    return status::failure(format_line("the map file would take %lld bytes, more than %lld",
                                       static_cast<long long>(header_size + image.map_length),
                                       static_cast<long long>(max_file_size)));
  return status::ok();
}

status write_bytes(byte_sink& out, const std::uint8_t* bytes, std::int64_t length) {
  return out.write({bytes, static_cast<std::size_t>(length)});
}

status write_planned(level_image& image, const layout& plan, byte_sink& out, report_sink& report) {
  std::uint8_t* bitmap = image.tileset;
  report.report(report_kind::writing, "patching bmp header");
  write_u16le(bitmap + 6, static_cast<std::uint16_t>(plan.bitmap));
  write_u32le(bitmap + 2, static_cast<std::uint32_t>(plan.bitmap + plan.metadata));
  report.report(report_kind::writing, "writing " + tileset_summary(bitmap, plan.bitmap));
  if (status s = write_bytes(out, bitmap, plan.bitmap); !s.is_ok()) return s;

  report.report(report_kind::writing, format_line("writing elvl: %d + %d bytes %d chunks", elvl_header_size,
                                                  static_cast<int>(plan.metadata - elvl_header_size), plan.chunks));
  std::uint8_t header[elvl_header_size] = {'e', 'l', 'v', 'l'};
  write_u32le(header + 4, static_cast<std::uint32_t>(plan.metadata));
  if (status s = write_bytes(out, header, elvl_header_size); !s.is_ok()) return s;

  for (chunk_list_node* node = image.chunks.head; node != nullptr; node = node->next) {
    const chunk_record* record = node->item;
    const std::int64_t size = chunk_record_size(record);
    report.report(report_kind::writing, format_line("writing chunk: type:'%s' size:%d/%d", type_text(chunk_record_type(record)).c_str(),
                                                    static_cast<int>(chunk_record_length(record)),
                                                    static_cast<int>(size - chunk_header_size)));
    if (status s = write_bytes(out, chunk_record_bytes(record), size); !s.is_ok()) return s;
  }

  report.report(report_kind::writing, "writing " + map_summary(image.map_length));
  return write_bytes(out, image.map_data, image.map_length);
}

}  // namespace

status level_write_to(level_image& image, byte_sink& out, report_sink& report) {
  layout plan;
  if (status s = plan_layout(image, plan); !s.is_ok()) return s;
  return write_planned(image, plan, out, report);
}

status level_write(level_image& image, const edit_target& target, replacement_file& file, report_sink& report) {
  layout plan;
  if (status s = plan_layout(image, plan); !s.is_ok()) return s;
  if (status s = file.begin(target); !s.is_ok()) return s;
  if (status s = write_planned(image, plan, file, report); !s.is_ok()) return s;
  return file.commit();
}
