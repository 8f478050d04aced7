#pragma once

#include <string>
#include <utility>
#include <vector>

#include "level/level_report.h"

// Keeps every reported line for comparison.
class report_capture final : public report_sink {
 public:
  void report(report_kind kind, std::string_view line) override {
    lines.emplace_back(line);
    kinds.push_back(kind);
  }
  std::vector<std::string> lines;
  std::vector<report_kind> kinds;
};
