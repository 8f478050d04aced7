#pragma once

#include <string_view>

#include "lib/format_terms.h"

// Prints every line on standard output, buffered until the stage is done.
class stdout_report final : public report_sink {
 public:
  void report(report_kind kind, std::string_view line) override;
  void chunk(const chunk_found& found) override;
  void chunk_written(const chunk_record* record) override;
  void flush() override;
};
