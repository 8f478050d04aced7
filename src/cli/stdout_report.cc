#include "cli/stdout_report.h"

#include "lib/format_terms.h"
#include "support/byte_order.h"
#include "support/output_stream.h"

void stdout_report::report(report_kind, std::string_view line) {
  output_stream& out = standard_output();
  out.write(line);
  out.put('\n');
}

void stdout_report::chunk(const chunk_found& found) {
  output_stream& out = standard_output();
  out.write(chunk_line_head(found).view());
  if (chunk_shows_text(found.record)) {
    out.write(" data:'");
    printable_pieces(found.record + chunk_header_size, read_u32le(found.record + 4),
                     [&](std::string_view piece) { out.write(piece); });
    out.put('\'');
  }
  out.put('\n');
}

void stdout_report::chunk_written(const chunk_record* record) {
  output_stream& out = standard_output();
  out.write(chunk_written_line(record).view());
  out.put('\n');
}

void stdout_report::flush() { standard_output().flush(); }
