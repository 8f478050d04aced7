#include "lib/map_file.h"

#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "level/level_reader.h"
#include "mapgraft.h"
#include "support/byte_order.h"
#include "support/edit_target.h"
#include "support/format_line.h"
#include "support/memory.h"

namespace {

// Passes every event on, and keeps the first damage in mapgraft-inspect's
// words: the one place that decides what a map's damage is called.
class damage_note final : public report_sink {
 public:
  explicit damage_note(report_sink& next) : next_(next) {}

  void report(report_kind kind, std::string_view line) override {
    if (kind == report_kind::overflow) note(line);
    next_.report(kind, line);
  }
  void shape(const level_image& image) override { next_.shape(image); }
  void metadata(const metadata_found& found) override { next_.metadata(found); }
  void chunk(const chunk_found& found) override { next_.chunk(found); }
  void damage(const damage_found& found) override {
    note(damage_line(found).view());
    next_.damage(found);
  }
  void chunk_written(const chunk_record* record) override { next_.chunk_written(record); }
  void flush() override { next_.flush(); }

  std::optional<std::string> first;

 private:
  void note(std::string_view line) {
    if (!first) first = std::string(line);
  }

  report_sink& next_;
};

}  // namespace

map_file::map_file() = default;

map_file::~map_file() { level_image_release(image_); }

status map_file::read(std::span<const std::uint8_t> input, const map_read_options& options) {
  if (input.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return status::failure(error_code::too_large, "the file takes 2 GiB or more");
  null_report quiet;
  damage_note report(options.report != nullptr ? *options.report : quiet);
  if (level_read(image_, input, report, options.chunks_in_input ? read_copies::tileset_only : read_copies::all) ==
      read_result::rejected)
    return status::failure(error_code::not_a_map, "not a tarvex map file");
  damage_ = std::move(report.first);
  const bool forced = (options.flags & MG_READ_FORCE) != 0;
  if (damage_ && !forced) return status::failure(error_code::damaged, *damage_);
  if (image_.shape == level_shape::plain && input.size() % 4 != 0)
    unlike_a_map_ = format_line("no bitmap, no metadata block, and %lld bytes are not whole 4-byte tiles",
                                static_cast<long long>(input.size()));
  if (!unlike_a_map_.empty() && (options.flags & MG_READ_STRICT) != 0 && !forced)
    return status::failure(error_code::not_a_map, unlike_a_map_);
  shape_as_read_ = image_.shape;
  indexed_ = options.index_chunks;
  chunks_in_input_ = options.chunks_in_input;
  refresh();
  return status::ok();
}

status map_file::read_file(const char* path, const map_read_options& options) {
  std::uint8_t* bytes = nullptr;
  std::size_t length = 0;
  file_origin origin;
  const status taken = file_origin_read(path, bytes, length, origin);
  const std::unique_ptr<std::uint8_t, void (*)(void*)> held(bytes, mem_release);
  if (!taken.is_ok()) return taken;
  if (status s = read({bytes, length}, options); !s.is_ok()) return s;
  origin_ = origin;
  return status::ok();
}

status map_file::open_for_edit(const char* path, const std::function<void()>& on_wait) {
  opened_ = std::make_unique<edit_target>();
  return opened_->open(path, on_wait);
}

status map_file::open_for_edit_if_free(const char* path, bool& busy) {
  opened_ = std::make_unique<edit_target>();
  return opened_->open_if_free(path, busy);
}

status map_file::read_opened(const map_read_options& options) { return read(opened_->bytes(), options); }

bool map_file::changed_while_waiting() const { return opened_ != nullptr && opened_->changed_while_waiting(); }

std::span<const std::uint8_t> map_file::bytes_opened() const {
  return opened_ != nullptr ? opened_->bytes() : std::span<const std::uint8_t>{};
}

void map_file::release_bytes() {
  if (opened_ != nullptr) opened_->release_bytes();
}

void map_file::refresh() {
  attr_keys_.clear();
  attr_keys_built_ = false;
  records_.clear();
  if (indexed_) {
    records_.reserve(static_cast<std::size_t>(image_.chunks.count));
    chunk_list_for_each(image_.chunks, [this](const chunk_record* record) { records_.push_back(record); });
  }
  tileset_.clear();
  if (!image_.own_tileset) return;
  // As mapgraft-inspect --tileset writes it: the size field says how long
  // the bitmap is, and the field that points at a metadata block is cleared.
  // An extended map's bitmap keeps its padding, so that it goes back into
  // the map as it came out.
  const std::uint8_t* bitmap = image_.tileset;
  const std::uint32_t length = shape_as_read_ == level_shape::extended && !tileset_replaced_
                                   ? static_cast<std::uint32_t>(tileset_padded_length(bitmap))
                                   : read_u32le(bitmap + 2);
  tileset_.assign(bitmap, bitmap + length);
  write_u32le(tileset_.data() + 2, length);
  write_u16le(tileset_.data() + 6, 0);
}
