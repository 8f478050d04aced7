#include "support/output_stream.h"

#include <string>

#include "support/console.h"

void output_stream::send(const char* bytes, std::size_t length) {
  if (error_ == 0 && length > 0) error_ = console_write(1, bytes, length);
}

void output_stream::flush() {
  send(buffer_, used_);
  used_ = 0;
}

void output_stream::write_through(std::string_view text) {
  flush();
  if (text.size() < sizeof buffer_) {
    text.copy(buffer_, text.size());
    used_ = text.size();
  } else {
    send(text.data(), text.size());
  }
}

output_stream& standard_output() {
  static output_stream stream;
  return stream;
}

void print_error_line(std::string_view line) {
  standard_output().flush();
  std::string text(line);
  text += '\n';
  console_write(2, text.data(), text.size());
}
