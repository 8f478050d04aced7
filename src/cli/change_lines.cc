#include "cli/change_lines.h"

#include <cstdint>
#include <vector>

#include "lib/format_terms.h"

namespace {

// The reader's line for a chunk, as mapgraft-inspect prints it.
class line_capture final : public report_sink {
 public:
  void report(report_kind, std::string_view text) override { line = text; }
  std::string line;
};

std::string chunk_line(std::int64_t index, const chunk_record* record, const chunk_source* source) {
  chunk_found found{index, 0, chunk_record_bytes(record)};
  // Data still in their FILE are not read back for a line.
  if (source != nullptr && (source->bytes == nullptr || !chunk_shows_text(found.record)))
    return std::string(chunk_line_head(found).view());
  std::vector<std::uint8_t> whole;
  if (source != nullptr) {
    whole.assign(found.record, found.record + chunk_header_size);
    whole.insert(whole.end(), source->bytes, source->bytes + source->length);
    found.record = whole.data();
  }
  line_capture capture;
  capture.report_sink::chunk(found);
  return capture.line;
}

std::vector<std::string> chunk_lines(const level_image& image) {
  std::vector<std::string> lines;
  chunk_list_for_each(image.chunks, [&lines](const chunk_record* record, const chunk_source* source) {
    lines.push_back(chunk_line(static_cast<std::int64_t>(lines.size()), record, source));
  });
  return lines;
}

std::string tileset_text(const level_image& image) {
  if (!image.own_tileset) return "none";
  const std::string line = tileset_summary(image.tileset, tileset_padded_length(image.tileset));
  const std::string prefix = "bmp tileset: ";
  return line.starts_with(prefix) ? line.substr(prefix.size()) : line;
}

}  // namespace

void change_lines::before(const level_image& image) {
  old_chunks_ = chunk_lines(image);
  old_tileset_ = tileset_text(image);
}

std::vector<std::string> change_lines::after(const level_image& image, const edit_summary& summary,
                                             const std::vector<std::int8_t>& fates) const {
  const std::vector<std::string> now = chunk_lines(image);
  std::vector<std::string> lines;
  std::size_t next = 0;  // the chunk in the result that the next chunk kept became
  for (std::size_t i = 0; i < old_chunks_.size() && i < fates.size(); ++i) {
    if (fates[i] < 0) {
      lines.push_back("- " + old_chunks_[i]);
      continue;
    }
    if (next >= now.size()) break;
    const std::string& changed = now[next++];
    if (fates[i] == 0) continue;
    // The same line under the old number: data set to what they were.
    const std::string old_number = "chunk " + std::to_string(i) + ":";
    const std::string new_number = "chunk " + std::to_string(next - 1) + ":";
    if (old_number + changed.substr(new_number.size()) == old_chunks_[i]) continue;
    lines.push_back("- " + old_chunks_[i]);
    lines.push_back("+ " + changed);
  }
  for (; next < now.size(); ++next) lines.push_back("+ " + now[next]);
  if (summary.tileset_replaced) lines.push_back("~ tileset: " + old_tileset_ + " -> " + tileset_text(image));
  return lines;
}
