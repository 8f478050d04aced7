#include "support/output_stream.h"

#include <algorithm>
#include <string>

#include "support/console.h"

namespace {

void (*before_write)(int stream) = nullptr;

}  // namespace

void set_before_standard_write(void (*before)(int stream)) { before_write = before; }

void output_stream::send(const char* bytes, std::size_t length) {
  if (error_ != 0 || length == 0) return;
  if (before_write != nullptr) before_write(stream_);
  error_ = console_write(stream_, bytes, length);
}

void output_stream::flush() {
  send(buffer_, used_);
  used_ = 0;
}

// The buffer is filled to the brim before it goes, so that every write but
// the last of a stage is a whole block.
void output_stream::write_through(std::string_view text) {
  while (!text.empty()) {
    const std::size_t part = std::min(text.size(), sizeof buffer_ - used_);
    text.copy(buffer_ + used_, part);
    used_ += part;
    text.remove_prefix(part);
    if (used_ == sizeof buffer_) flush();
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
  if (before_write != nullptr) before_write(2);
  console_write(2, text.data(), text.size());
}
