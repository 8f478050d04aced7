#include "level/level_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "level/level_summary.h"
#include "level/tileset_file.h"
#include "support/byte_order.h"
#include "support/memory.h"

namespace {

constexpr std::int64_t max_file_size = std::numeric_limits<std::int32_t>::max();

struct layout {
  std::int64_t bitmap = 0;    // P: padded bitmap length, the metadata block's offset
  std::int64_t metadata = 0;  // T: the whole metadata block
  std::int64_t chunks = 0;
};

status plan_layout(const level_image& image, layout& out) {
  out.bitmap = tileset_padded_length(image.tileset);
  if (out.bitmap > max_metadata_offset) return status::failure(error_code::too_large, tileset_too_large_text(out.bitmap));
  if (out.bitmap > image.tileset_size || out.bitmap < bmp_header_size) return status::failure(error_code::too_large, "the tileset bitmap is damaged");
  out.metadata = elvl_header_size;
  chunk_list_for_each(image.chunks, [&](const chunk_record* record) { out.metadata += chunk_record_size(record); });
  out.chunks = image.chunks.count;
  const std::int64_t header_size = out.bitmap + out.metadata;
  if (header_size > max_file_size)
    return status::failure(error_code::too_large, format_line("the bitmap and metadata block would take %lld bytes, more than %lld",
                                       static_cast<long long>(header_size), static_cast<long long>(max_file_size)));
  if (header_size + image.map_length > max_file_size)
    return status::failure(error_code::too_large, format_line("the map file would take %lld bytes, more than %lld",
                                       static_cast<long long>(header_size + image.map_length),
                                       static_cast<long long>(max_file_size)));
  return status::ok();
}

// Gathers small writes (a map of millions of chunks is millions of records)
// into blocks of 1 MiB; large ones go through as they are. A smaller map
// gets a block of its size: a batch of 10,000 small maps spent 40% of its
// time clearing blocks of 1 MiB.
class gathered_output {
 public:
  gathered_output(byte_sink& out, std::int64_t total)
      : out_(out), capacity_(static_cast<std::int32_t>(std::clamp<std::int64_t>(total, 1, buffer_size))) {}
  gathered_output(const gathered_output&) = delete;
  gathered_output& operator=(const gathered_output&) = delete;
  ~gathered_output() { mem_release(buffer_); }

  status write(const std::uint8_t* bytes, std::int64_t length) {
    const auto size = static_cast<std::size_t>(length);
    if (size >= buffer_size / 2) {
      if (status s = flush(); !s.is_ok()) return s;
      return out_.write({bytes, size});
    }
    if (static_cast<std::size_t>(capacity_) - used_ < size)
      if (status s = flush(); !s.is_ok()) return s;
    if (buffer_ == nullptr) buffer_ = static_cast<std::uint8_t*>(mem_alloc_zeroed(capacity_));
    std::memcpy(buffer_ + used_, bytes, size);
    used_ += size;
    return status::ok();
  }

  status copy(const chunk_source& source) {
    if (source.bytes != nullptr) return write(source.bytes, static_cast<std::int64_t>(source.length));
    if (status s = flush(); !s.is_ok()) return s;
    if (status s = out_.copy(source); !s.is_ok()) return s;
    // The length field written before the data must match them.
    return file_source_check_length(source);
  }

  status flush() {
    const std::size_t used = used_;
    used_ = 0;
    return used == 0 ? status::ok() : out_.write({buffer_, used});
  }

 private:
  static constexpr std::int32_t buffer_size = 1 << 20;
  byte_sink& out_;
  const std::int32_t capacity_;
  std::uint8_t* buffer_ = nullptr;
  std::size_t used_ = 0;
};

status write_planned(const level_image& image, const layout& plan, byte_sink& sink, report_sink& report) {
  gathered_output out(sink, plan.bitmap + plan.metadata + image.map_length);
  const std::uint8_t* bitmap = image.tileset;
  // The header is patched in a copy: the image stays as read, so it can be
  // written again to the same bytes.
  report.report(report_kind::writing, "patching bmp header");
  std::uint8_t patched[8];
  std::memcpy(patched, bitmap, sizeof patched);
  write_u16le(patched + 6, static_cast<std::uint16_t>(plan.bitmap));
  write_u32le(patched + 2, static_cast<std::uint32_t>(plan.bitmap + plan.metadata));
  report.report(report_kind::writing, "writing " + tileset_summary(bitmap, plan.bitmap));
  if (status s = out.write(patched, sizeof patched); !s.is_ok()) return s;
  if (status s = out.write(bitmap + sizeof patched, plan.bitmap - static_cast<std::int64_t>(sizeof patched)); !s.is_ok())
    return s;

  line_text elvl_line;
  elvl_line << "writing elvl: " << std::int64_t{elvl_header_size} << " + "
            << std::int64_t{static_cast<std::int32_t>(plan.metadata - elvl_header_size)} << " bytes "
            << std::int64_t{static_cast<std::int32_t>(plan.chunks)} << " chunks";
  report.report(report_kind::writing, elvl_line.view());
  std::uint8_t header[elvl_header_size] = {'e', 'l', 'v', 'l'};
  write_u32le(header + 4, static_cast<std::uint32_t>(plan.metadata));
  if (status s = out.write(header, elvl_header_size); !s.is_ok()) return s;

  status result = status::ok();
  chunk_list_for_each(image.chunks, [&](const chunk_record* record, const chunk_source* source) {
    if (!result.is_ok()) return;
    report.chunk_written(record);
    if (source == nullptr) {
      result = out.write(chunk_record_bytes(record), chunk_record_size(record));
      return;
    }
    result = out.write(chunk_record_bytes(record), chunk_header_size);
    if (result.is_ok()) result = out.copy(*source);
    static constexpr std::uint8_t padding[3] = {};
    if (result.is_ok()) result = out.write(padding, round4(source->length) - static_cast<std::int64_t>(source->length));
  });
  if (!result.is_ok()) return result;

  report.report(report_kind::writing, "writing " + map_summary(image.map_length));
  if (status s = out.write(image.map_data, image.map_length); !s.is_ok()) return s;
  return out.flush();
}

}  // namespace

status level_write_to(const level_image& image, byte_sink& out, report_sink& report) {
  layout plan;
  if (status s = plan_layout(image, plan); !s.is_ok()) return s;
  return write_planned(image, plan, out, report);
}
