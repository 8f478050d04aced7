#include "cli/csv_text.h"

#include "support/format_line.h"

std::string csv_cell(std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(cell);
  std::string quoted = "\"";
  for (const char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

namespace {

class csv_reader {
 public:
  explicit csv_reader(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  status rows(std::vector<csv_row>& out) {
    while (pos_ < text_.size()) {
      csv_row row;
      row.line = line_;
      for (;;) {
        std::string cell;
        if (status s = read_cell(cell); !s.is_ok()) return s;
        row.cells.push_back(std::move(cell));
        if (pos_ < text_.size() && text_[pos_] == ',') {
          ++pos_;
          continue;
        }
        end_line();
        break;
      }
      out.push_back(std::move(row));
    }
    return status::ok();
  }

 private:
  bool at_line_end() const { return pos_ >= text_.size() || text_[pos_] == '\r' || text_[pos_] == '\n'; }

  // CR LF, LF or CR, as the writers of the world end lines.
  void end_line() {
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  }

  status read_cell(std::string& cell) {
    if (pos_ >= text_.size() || text_[pos_] != '"') {
      while (!at_line_end() && text_[pos_] != ',') {
        if (text_[pos_] == '"') return refused("a quote inside a cell that does not start with one");
        cell += text_[pos_++];
      }
      return status::ok();
    }
    const std::size_t opened = line_;
    for (++pos_;; ++pos_) {
      if (pos_ >= text_.size())
        return status::failure(error_code::argument, format_line("line %llu: a quote is never closed", static_cast<unsigned long long>(opened)));
      const char c = text_[pos_];
      if (c == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          cell += '"';
          ++pos_;
          continue;
        }
        ++pos_;
        break;
      }
      if (c == '\n' || (c == '\r' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '\n'))) ++line_;
      cell += c;
    }
    if (!at_line_end() && text_[pos_] != ',') return refused("a quoted cell goes on after its closing quote");
    return status::ok();
  }

  status refused(const char* why) const {
    return status::failure(error_code::argument, format_line("line %llu: %s", static_cast<unsigned long long>(line_), why));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

}  // namespace

status csv_rows(std::string_view text, std::vector<csv_row>& rows) { return csv_reader(text).rows(rows); }
