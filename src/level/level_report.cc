#include "level/level_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "level/level_image.h"
#include "support/byte_order.h"

void append_type(line_text& line, const std::uint8_t type[4]) {
  char shown[4];
  std::size_t length = 0;
  printable_pieces(type, 4, [&](std::string_view piece) {
    piece.copy(shown + length, piece.size());
    length += piece.size();
  });
  for (std::size_t pad = length; pad < 4; ++pad) line << ' ';
  line << std::string_view(shown, length);
}

std::string type_text(const std::uint8_t type[4]) {
  line_text line;
  append_type(line, type);
  return std::string(line.view());
}

bool chunk_shows_text(const std::uint8_t* record) { return std::memcmp(record, "ATTR", 4) == 0; }

line_text chunk_line_head(const chunk_found& found) {
  const std::int64_t length = read_u32le(found.record + 4);
  line_text line;
  line << "chunk " << found.index << ": type:'";
  append_type(line, found.record);
  // Lengths print as the signed 32-bit numbers they are in the file's sums.
  line << "' size:" << std::int64_t{static_cast<std::int32_t>(length)} << '/'
       << std::int64_t{static_cast<std::int32_t>(round4(length))};
  return line;
}

line_text chunk_written_line(const chunk_record* record) {
  const std::int64_t length = chunk_record_length(record);
  line_text line;
  line << "writing chunk: type:'";
  append_type(line, chunk_record_type(record));
  line << "' size:" << std::int64_t{static_cast<std::int32_t>(length)} << '/'
       << std::int64_t{static_cast<std::int32_t>(round4(length))};
  return line;
}

line_text metadata_line(const metadata_found& found) {
  line_text line;
  line << "metadata: type:'elvl' size:" << std::int64_t{static_cast<std::int32_t>(found.size)}
       << " maxsize:" << std::int64_t{static_cast<std::int32_t>(found.maxsize)};
  return line;
}

line_text damage_line(const damage_found& found) {
  line_text line;
  if (found.what == damage_found::kind::chunk_past_block)
    line << "chunk " << found.chunk_index << " runs " << found.amount << " bytes past the metadata block";
  else
    line << "bmp size field " << found.amount << " differs from the metadata block's end " << found.expected;
  return line;
}

void report_sink::metadata(const metadata_found& found) { report(report_kind::metadata, metadata_line(found).view()); }

void report_sink::chunk(const chunk_found& found) {
  const line_text head = chunk_line_head(found);
  if (!chunk_shows_text(found.record)) {
    report(report_kind::chunk, head.view());
    return;
  }
  std::string line(head.view());
  line += " data:'";
  printable_pieces(found.record + chunk_header_size, read_u32le(found.record + 4),
                   [&](std::string_view piece) { line += piece; });
  line += '\'';
  report(report_kind::chunk, line);
}

void report_sink::chunk_written(const chunk_record* record) {
  report(report_kind::writing, chunk_written_line(record).view());
}

std::string printable_text(const std::uint8_t* bytes, std::size_t max_length) {
  std::string text;
  printable_pieces(bytes, max_length, [&](std::string_view piece) { text += piece; });
  return text;
}
